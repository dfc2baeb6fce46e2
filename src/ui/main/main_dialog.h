// The main window: the library on the left, the definitions of the chosen
// printer or PPD file on the right, the commands between them, and Exit,
// Cancel, Apply and Help at the bottom.
//
// The window shows a Workspace (the library, the target and their changes)
// and maps its controls onto the workspace's commands; the rules live there.
// Everything it shows or asks goes through the UserInteraction it is given,
// and printers come from the spooler it is given, so tests drive the real
// window with doubles.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/density_def.h"
#include "model/string_table.h"
#include "platform/interaction.h"
#include "printers/printer_discovery.h"
#include "printers/spooler.h"
#include "ui/dialog_template.h"
#include "ui/file_dialog.h"
#include "workspace/workspace.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QThread;

namespace tonalis::ui {

class CurveEditorDialog;

// Control ids of the main window's template (dialog 102).
namespace main_ids {
inline constexpr int kDialog = 102;
inline constexpr int kExit = 1;
inline constexpr int kCancel = 2;
inline constexpr int kAdd = 3;
inline constexpr int kEdit = 4;
inline constexpr int kCopy = 5;
inline constexpr int kDelete = 6;
inline constexpr int kNew = 12;
inline constexpr int kPickOut = 13;
inline constexpr int kLibraryList = 1001;
inline constexpr int kPrinterList = 1002;
inline constexpr int kSelectPrinter = 1005;
inline constexpr int kPrinterCombo = 1006;
inline constexpr int kSelectPpd = 1007;
inline constexpr int kPpdName = 1009;
inline constexpr int kBrowse = 1010;
inline constexpr int kLibraryGroup = 1035;
inline constexpr int kLibraryLabel = 1036;
inline constexpr int kPrinterGroup = 1037;
inline constexpr int kPrinterLabel = 1038;
inline constexpr int kApply = 12321;
inline constexpr int kHelp = 57670;
}  // namespace main_ids

// The main window's help topic.
inline constexpr int kMainHelpContext = 5002;

enum class TargetMode { Printer, PpdFile };

// What the window works with. All references must outlive the window.
struct MainDialogSeams {
  UserInteraction& ui;
  FileDialog& fileDialog;
  Spooler& spooler;
  const StringSource& strings = DefaultStrings();
  // The library file; a bare name lies in the current directory at start-up.
  std::string libraryPath = kLibraryFileName;
  // A PPD file to start on in PPD-file mode, as if it had been browsed.
  // Printers are then optional: the window opens without any, and a
  // scheduler that cannot be reached counts as none.
  std::optional<std::string> initialPpd;
  // The language of `strings` (a module's, "de"); empty: English.
  std::string language{};
  // Where writes to print queues are recorded (queue_records.h); empty:
  // nowhere.
  std::string queueRecords{};
  // (The two functions below have empty braces so that initialisers that
  // leave them out stay free of warnings.)
  // Shows a help topic: the window's Help button asks for kMainHelpContext,
  // the curve editor opened by New, Copy and Edit for its own. Empty: Help
  // does nothing.
  std::function<void(int context)> showHelp{};
  // Runs one pass of the curve editor on the working definition and returns
  // kEditorAccepted or kEditorCancelled. Empty: the real curve editor, one
  // per command, opened again on what the user confirmed after a name clash.
  std::function<int(DensityDef& workingDefinition)> runEditor{};
  // Asks the user to pick one of `items` under `label`, `current` picked at
  // first: its index, or nothing when cancelled. Empty: QInputDialog.
  std::function<std::optional<int>(const QString& label, const QStringList& items, int current)>
      chooseItem{};
};

class MainDialog : public QDialog {
  Q_OBJECT

 public:
  // Loads the window's template; throws TemplateError when it is broken.
  explicit MainDialog(const MainDialogSeams& seams, QWidget* parent = nullptr);
  ~MainDialog() override;

  // The start-up sequence: the library (and the PPD file to start on) at
  // once, the printers from a worker thread; printersListed() tells when
  // they are in. A scheduler that answers without a printer ends the window
  // then; one that cannot be reached is reported, and the window goes on
  // with its library on PPD files. Returns whether the window is to be
  // shown (true).
  bool Initialize();
  // Initialize, then run modally. Returns the dialog's result.
  int Run();

  // The window's state, for the list commands and for tests.
  TargetMode targetMode = TargetMode::Printer;
  std::string selectedPrinterText;
  std::string ppdDisplayName;
  std::string browsedPpdPath;
  // One entry per entry of the printer combo box, in the same order.
  std::vector<PrinterEntry> printerPpdPaths;
  DensityDef workingDefinition{};

  // The library, the target and their changes.
  const Workspace& workspace() const { return workspace_; }
  // Whether the window has ended (Exit, Cancel, closing, or no printer).
  bool ended() const { return ended_; }
  // Whether the printers are still being listed.
  bool discovering() const { return worker_ != nullptr; }

  // The controls by id (for the list commands and tests).
  const DialogTemplate& controls() const { return template_; }

  // Shows a table in its list box: the library sorted by name without regard
  // to case, the printer list in slot order. Each entry keeps the name's
  // bytes, so that it is found by exactly its own letters.
  void ShowLibrary();
  void ShowPrinterList();
  // The name bytes behind a list entry.
  static std::string EntryName(const QListWidget& list, int row);

  // The enable rules after a selection change of either list.
  void LibrarySelectionChanged();
  void PrinterSelectionChanged();
  // Pushes the bound texts into their controls: ppdDisplayName into the
  // nickname field, selectedPrinterText into the printer combo box.
  void PushBoundTexts();

  // Event handlers.
  void OnApply();
  void OnExit();
  void OnCancel();
  void OnSelectPrinter();
  void OnSelectPpdFile();
  void OnPrinterChosen();
  void OnRefer();
  void OnHelp();
  // The list commands. New, Copy and Edit run the curve editor on
  // workingDefinition; Delete, Add and Pick out work without it. They change
  // the workspace's lists, not the files.
  void OnNew();
  void OnCopy();
  void OnEdit();
  void OnDelete();
  void OnAdd();
  void OnPickOut();
  // The context menu's calibration entries: the test chart printed on the
  // chosen printer; a new definition made from measurements or from another
  // tool's curves, through the curve editor; the selected definition's
  // curves written to a file.
  void OnPrintChart();
  void OnCalibrate();
  void OnImportCurves();
  void OnExportCurves();

 Q_SIGNALS:
  // The About entry of the context menu was chosen.
  void aboutRequested();
  // The printers have been listed and shown (or found missing).
  void printersListed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Escape: ends the window like Cancel.
  void reject() override;

 private:
  QString LoadString(int id) const;
  void BindControls();
  void ConnectControls();
  void AddAboutEntry();
  void AddCalibrationEntries();
  std::optional<int> ChooseItem(const QString& label, const QStringList& items, int current);
  // A definition made from a file: stored through the editor as for New,
  // or, with an `error`, string `failureId` shown with it.
  void StoreMadeDefinition(const std::string& error, const DensityDef& made, int failureId);
  // Where the calibration entries' file dialogs start: the current folder,
  // or the home folder when that is gone.
  static QString StartFolder();
  void SetCaptions();
  // Printer discovery on a worker thread, and what the GUI thread does with
  // its result. StopDiscovery abandons a run still going and waits for it.
  struct DiscoveryRun;
  void StartDiscovery();
  void StopDiscovery();
  void FinishDiscovery(DiscoveryRun& run);
  void ShowDiscovery(DiscoveryRun& run);
  void LoadLibrary();
  // The PPD-file side chosen, with nothing read yet; then `path` read.
  void StartOnPpdFiles();
  void StartOnPpdFile(const std::string& path);

  // Reads `target` into the workspace; without success Add is disabled.
  int ReadTarget(std::shared_ptr<PpdTarget> target);
  // Forgets the current target: empties the right list.
  void DropTarget();
  // After a successful read: shows the list and enables Add when a library
  // entry is selected.
  void ShowReadTarget();
  // The Printer chosen steps after the question.
  void ReadChosenPrinter();
  // OnRefer's steps for a confirmed file.
  void ReadBrowsedFile(const std::string& path);
  bool AddAllowed() const;
  void EndWindow(int result);

  // The list commands' editor passes: runs the editor on workingDefinition
  // and hands the result to `store`, again after each name clash, until it
  // is stored (true) or the user cancels or there is no room (false).
  bool StoreThroughEditor(const std::function<StoreResult(const DensityDef&)>& store);
  int RunEditorPass(std::unique_ptr<CurveEditorDialog>& editor);
  // Edit of the entry at `row` of `box`, the list box of `side`.
  void EditEntry(Side side, QListWidget& box, int row);
  // The row of the entry named `name` in `box`, or -1.
  static int RowOf(const QListWidget& box, std::string_view name);

  UserInteraction& ui_;
  FileDialog& fileDialog_;
  Spooler& spooler_;
  const StringSource& strings_;
  std::optional<std::string> initialPpd_;
  std::function<void(int)> showHelp_;
  std::function<int(DensityDef&)> runEditor_;
  std::function<std::optional<int>(const QString&, const QStringList&, int)> chooseItem_;

  DialogTemplate template_;
  Workspace workspace_;
  bool ended_ = false;
  QThread* worker_ = nullptr;
  std::weak_ptr<DiscoveryRun> run_;

  QAction* aboutAction_ = nullptr;
  QListWidget* libraryList_ = nullptr;
  QListWidget* printerListBox_ = nullptr;
  QPushButton* newButton_ = nullptr;
  QPushButton* copyButton_ = nullptr;
  QPushButton* addButton_ = nullptr;
  QPushButton* pickOutButton_ = nullptr;
  QPushButton* editButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  QRadioButton* selectPrinter_ = nullptr;
  QComboBox* printerCombo_ = nullptr;
  QRadioButton* selectPpd_ = nullptr;
  QPushButton* browseButton_ = nullptr;
  QLineEdit* ppdNameField_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QPushButton* applyButton_ = nullptr;
  QPushButton* helpButton_ = nullptr;
};

}  // namespace tonalis::ui
