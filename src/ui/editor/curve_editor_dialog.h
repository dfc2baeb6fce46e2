// The curve editor: the modal dialog in which one density definition is made
// or changed.
//
// It shows the definition's name, and the thirteen point values and the
// gamma of one colour channel as text fields; the colour buttons pick the
// channel, the all-colours box switches to one curve for all four colours.
// The graph on the left draws the curves and takes the mouse: a click sets
// the point of the column under the pointer, a drag moves it up and down, a
// double-click removes it (or puts an end point back).
//
// The editor works on the caller's definition in place: typing, the mouse,
// the all-colours box, Reset and Gamma-setting change it at once. Accept
// checks the fields of the channel on show and writes them into it.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "model/density_def.h"
#include "model/string_table.h"
#include "platform/interaction.h"
#include "ui/dialog_template.h"
#include "ui/editor/curve_graph.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QPaintEvent;
class QPushButton;
class QRadioButton;

namespace tonalis::ui {

class QtInteraction;
class NameValidator;

// Control ids of the editor's template (dialog 129).
namespace editor_ids {
inline constexpr int kDialog = 129;
inline constexpr int kName = 1001;
// The fields of points[0] to points[12]; there is no 1018.
inline constexpr std::array<int, kPointCount> kPointFields = {
    1011, 1012, 1013, 1014, 1015, 1016, 1017, 1019, 1020, 1021, 1022, 1023, 1024};
inline constexpr int kGamma = 1028;
inline constexpr int kGammaSetting = 1002;
inline constexpr int kGraphAnchor = 1006;
// The colour buttons, in channel order cyan, magenta, yellow, black.
inline constexpr std::array<int, kChannelCount> kColourButtons = {1030, 1031, 1032, 1033};
inline constexpr int kAllColours = 1034;
inline constexpr int kColourGroup = 1036;
inline constexpr int kNameLabel = 1040;
inline constexpr int kGammaLabel = 1041;
inline constexpr int kAccept = 1027;
inline constexpr int kCancel = 2;
inline constexpr int kReset = 1000;
inline constexpr int kHelp = 57670;
}  // namespace editor_ids

// Results of Run.
inline constexpr int kEditorAccepted = 1;
inline constexpr int kEditorCancelled = 2;
// The editor's help topic.
inline constexpr int kEditorHelpContext = 5003;

// Field limits, in characters (the name's in bytes of ISO 8859-1, one byte
// per character).
inline constexpr int kNameFieldLimit = static_cast<int>(kMaxNameLength);
inline constexpr int kValueFieldLimit = 5;

struct CurveEditorSeams {
  // Where the editor's messages go; null: message boxes owned by the editor.
  UserInteraction* ui = nullptr;
  const StringSource& strings = DefaultStrings();
  // Called with kEditorHelpContext by the Help button; empty: Help does
  // nothing.
  std::function<void(int helpContext)> showHelp;
};

class CurveEditorDialog : public QDialog {
  Q_OBJECT

 public:
  // Loads the editor's template; throws TemplateError when it is broken.
  explicit CurveEditorDialog(const CurveEditorSeams& seams = {}, QWidget* parent = nullptr);
  ~CurveEditorDialog() override;

  // The entry point of the list commands. Fills the fields from
  // `workingDefinition` (its name, and the cyan channel's points and gamma),
  // runs the editor modally on it and returns
  //  - kEditorAccepted: the fields passed the checks and were written into
  //    `workingDefinition`, which is the definition to keep;
  //  - kEditorCancelled (Cancel, Escape, or a close whose Accept refused):
  //    `workingDefinition` may hold changes made while the editor was open
  //    and is not to be used.
  // It may be run again on the same or another definition (after a name
  // clash, say): each run starts from the definition's own values.
  int Run(DensityDef& workingDefinition);

  // What Run does before its modal loop: fills the fields and initialises
  // the editor on `workingDefinition`, which must stay alive while the editor
  // is open. For callers that show the editor themselves, and for tests.
  void Open(DensityDef& workingDefinition);

  // The definition the graph draws: the working definition, or during a
  // drag the preview of the point being dragged.
  const DensityDef& displayDefinition() const { return displayDefinition_; }
  // The channel the commands work on: cyan in all-colours mode, otherwise
  // the checked colour button's.
  int activeChannel() const;
  // The plot's origin (the top-left corner of the graph anchor) in the
  // dialog's coordinates.
  QPoint GraphOrigin() const;
  // The part of the dialog the graph paints, in the dialog's coordinates.
  QRect GraphArea() const;

  const DialogTemplate& controls() const { return template_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The title bar's close button: runs Accept.
  void closeEvent(QCloseEvent* event) override;
  // Escape.
  void reject() override;

 private:
  void BindControls();
  void ConnectControls();
  void MakeRoomForGraph();
  void Initialize();
  QString LoadString(int id) const;
  void Warn(int stringId);

  // Commands.
  void OnPointFieldChanged(int index);
  void OnGammaFieldChanged();
  void OnShowChannel(int channel);
  void OnAllColours();
  void OnReset();
  void OnGammaSetting();
  // Returns whether the editor ended with kEditorAccepted.
  bool OnAccept();
  void OnCancel();
  void OnHelp();
  void OnNameRejected();

  // The graph and the mouse.
  void RedrawGraph();
  void PaintGraph(QPaintEvent* event);
  void OnMousePress(const QMouseEvent& event);
  void OnMouseMove(const QMouseEvent& event);
  void OnMouseRelease(const QMouseEvent& event);
  void OnMouseDoubleClick(const QMouseEvent& event);
  // The pointer's position relative to the plot's origin.
  QPoint PlotPosition(const QMouseEvent& event) const;

  // Field helpers. Text set here is not a user change: it does not run the
  // field-change commands, which follow the fields' edit-only signal.
  void ShowPoints(const ToneCurve& curve);
  void ShowChannelFields(const ToneCurve& curve);
  void SetColourButtonsEnabled(bool enabled);
  void UpdateGammaSettingEnabled();
  void ShowWorkingDefinition();

  std::unique_ptr<QtInteraction> ownInteraction_;
  UserInteraction& ui_;
  const StringSource& strings_;
  std::function<void(int)> showHelp_;

  DialogTemplate template_;
  CurveGraph graph_;
  QRect graphExtent_;  // relative to the plot's origin

  // The definition being edited; the editor's own blank one until Open.
  DensityDef blank_ = NewDefinition();
  DensityDef* working_ = &blank_;
  DensityDef displayDefinition_ = blank_;

  // Mouse state.
  int dragPoint_ = 0;
  int moveCount_ = 0;
  bool pressPending_ = false;

  QLineEdit* nameField_ = nullptr;
  std::array<QLineEdit*, kPointCount> pointFields_{};
  QLineEdit* gammaField_ = nullptr;
  QPushButton* gammaSettingButton_ = nullptr;
  QLabel* graphAnchor_ = nullptr;
  std::array<QRadioButton*, kChannelCount> colourButtons_{};
  QCheckBox* allColoursBox_ = nullptr;
  QPushButton* acceptButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QPushButton* resetButton_ = nullptr;
  QPushButton* helpButton_ = nullptr;
  NameValidator* nameValidator_ = nullptr;
};

}  // namespace tonalis::ui
