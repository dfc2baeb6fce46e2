// The curve editor: the modal dialog in which one density definition is made
// or changed.
//
// It shows the definition's name, and the thirteen point values and the
// gamma of one colour channel as text fields; the colour buttons pick the
// channel, the all-colours box switches to one curve for all four colours.
// The graph on the left draws the curves and takes the mouse: a click sets
// the point of the column under the pointer, a drag moves it up and down, a
// double-click removes it (or puts an end point back). Under the graph a
// strip shows the inks as they will print, and a note says where the curves
// drawn leave what the printer can follow (the dashed parts of the graph).
//
// The rules are the edit session's (workspace/curve_edit.h): the dialog
// hands it each change of a control and each mouse command, and shows its
// state. Accept checks the whole definition; a refusal is shown and the
// dialog goes to the channel and the field concerned.
//
// Undo (Ctrl+Z) and Redo (Ctrl+Shift+Z, Ctrl+Y) are the session's, in the
// whole window: the fields' own undo never runs, their texts are the
// session's.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "model/density_def.h"
#include "model/string_table.h"
#include "platform/interaction.h"
#include "ui/dialog_template.h"
#include "ui/editor/curve_graph.h"
#include "workspace/curve_edit.h"

class QAction;
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
class GradientStrip;

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
  //  - kEditorAccepted: the definition passed the checks and was written
  //    into `workingDefinition`, which is the definition to keep;
  //  - kEditorCancelled (Cancel, Escape, or a close whose Accept refused):
  //    `workingDefinition` is not to be used.
  // It may be run again on the same or another definition (after a name
  // clash, say): each run starts from the definition's own values.
  int Run(DensityDef& workingDefinition);

  // What Run does before its modal loop: starts an edit session on
  // `workingDefinition`, which must stay alive while the editor is open and
  // receives the definition when Accept succeeds. For callers that show the
  // editor themselves, and for tests.
  void Open(DensityDef& workingDefinition);

  // The edit session on show.
  const CurveEdit& edit() const { return edit_; }
  // The definition the graph draws: the session's, or during a drag the
  // preview of the point being dragged.
  const DensityDef& displayDefinition() const { return displayDefinition_; }
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
  // Value texts between the fields and the session (see the .cpp).
  QChar DecimalSeparator() const;
  std::string ValueText(const QString& field) const;
  QString FieldText(const std::string& valueText) const;

  // Commands.
  void OnShowChannel(int channel);
  void OnAllColours();
  void OnGammaSetting();
  // Returns whether the editor ended with kEditorAccepted.
  bool OnAccept();
  void OnNameRejected();
  // Shows a refusal and goes to the field concerned.
  void Refuse(const Refusal& refusal);

  // The graph and the mouse.
  void RedrawGraph();
  // The strip and the note under the graph, for the definition on show.
  void ShowWhatPrints();
  void PaintGraph(QPaintEvent* event);
  void OnMousePress(const QMouseEvent& event);
  void OnMouseMove(const QMouseEvent& event);
  void OnMouseRelease(const QMouseEvent& event);
  void OnMouseDoubleClick(const QMouseEvent& event);
  // The pointer's position relative to the plot's origin.
  QPoint PlotPosition(const QMouseEvent& event) const;

  // Undo and Redo: the actions, and the session shown afresh after either.
  void SetUpUndo();
  void OnUndoRedo(bool redo);
  void UpdateUndoActions();

  // Shows the session's state: fields, buttons, graph. Text set here is not
  // a user change: the field commands follow the fields' edit-only signal.
  // `previewPoints` stands in for the point fields during a drag.
  void ShowEdit(const ToneCurve* previewPoints = nullptr);

  std::unique_ptr<QtInteraction> ownInteraction_;
  UserInteraction& ui_;
  const StringSource& strings_;
  std::function<void(int)> showHelp_;

  DialogTemplate template_;
  CurveGraph graph_;
  QRect graphExtent_;  // relative to the plot's origin

  CurveEdit edit_;
  // Where Accept writes; the editor's own blank one until Open.
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
  // Under the graph, made by the editor: a language module's layout need
  // not know them.
  GradientStrip* gradientStrip_ = nullptr;
  QLabel* graphNote_ = nullptr;
  std::array<QRadioButton*, kChannelCount> colourButtons_{};
  QCheckBox* allColoursBox_ = nullptr;
  QPushButton* acceptButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QPushButton* resetButton_ = nullptr;
  QPushButton* helpButton_ = nullptr;
  NameValidator* nameValidator_ = nullptr;
  QAction* undoAction_ = nullptr;
  QAction* redoAction_ = nullptr;
};

}  // namespace tonalis::ui
