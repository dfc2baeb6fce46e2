#include "ui/main/main_dialog.h"

#include <unistd.h>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QThread>
#include <QVBoxLayout>
#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "ui/latin1.h"
#include "ui/main/list_box.h"
#include "ui/strings.h"

namespace tonalis::ui {

namespace ids = main_ids;

using list_box::HasSelection;

MainDialog::MainDialog(const MainDialogSeams& seams, QWidget* parent)
    : QDialog(parent),
      ui_(seams.ui),
      fileDialog_(seams.fileDialog),
      spooler_(seams.spooler),
      strings_(seams.strings),
      initialPpd_(seams.initialPpd),
      showHelp_(seams.showHelp),
      runEditor_(seams.runEditor),
      chooseItem_(seams.chooseItem),
      template_(ids::kDialog, this),
      workspace_(WorkspaceSeams{.ui = seams.ui,
                                .strings = seams.strings,
                                .libraryPath = seams.libraryPath,
                                .language = seams.language,
                                .queueRecords = seams.queueRecords}) {
  // A fixed-size window without minimise and maximise buttons, sized by its
  // layout so that it follows the texts and the font. A window, not a
  // dialog: a dialog without a parent is made transient for a hidden window
  // and gets no task-bar entry.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(template_.root());
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setWindowTitle(template_.root()->windowTitle());

  BindControls();
  ConnectControls();
}

MainDialog::~MainDialog() {
  StopDiscovery();
}

QString MainDialog::LoadString(int id) const {
  return ui::LoadString(strings_, id);
}

void MainDialog::BindControls() {
  libraryList_ = template_.Control<QListWidget>(ids::kLibraryList);
  printerListBox_ = template_.Control<QListWidget>(ids::kPrinterList);
  newButton_ = template_.Control<QPushButton>(ids::kNew);
  copyButton_ = template_.Control<QPushButton>(ids::kCopy);
  addButton_ = template_.Control<QPushButton>(ids::kAdd);
  pickOutButton_ = template_.Control<QPushButton>(ids::kPickOut);
  editButton_ = template_.Control<QPushButton>(ids::kEdit);
  deleteButton_ = template_.Control<QPushButton>(ids::kDelete);
  selectPrinter_ = template_.Control<QRadioButton>(ids::kSelectPrinter);
  printerCombo_ = template_.Control<QComboBox>(ids::kPrinterCombo);
  selectPpd_ = template_.Control<QRadioButton>(ids::kSelectPpd);
  browseButton_ = template_.Control<QPushButton>(ids::kBrowse);
  ppdNameField_ = template_.Control<QLineEdit>(ids::kPpdName);
  exitButton_ = template_.Control<QPushButton>(ids::kExit);
  cancelButton_ = template_.Control<QPushButton>(ids::kCancel);
  applyButton_ = template_.Control<QPushButton>(ids::kApply);
  helpButton_ = template_.Control<QPushButton>(ids::kHelp);
  // Captions only; fail now rather than at start-up when one is missing.
  template_.Control<QGroupBox>(ids::kLibraryGroup);
  template_.Control<QLabel>(ids::kLibraryLabel);
  template_.Control<QGroupBox>(ids::kPrinterGroup);
  template_.Control<QLabel>(ids::kPrinterLabel);

  // The library list sorts itself (see ShowLibrary); the printer list keeps
  // slot order. One entry at a time in each.
  libraryList_->setSortingEnabled(false);
  libraryList_->setSelectionMode(QAbstractItemView::SingleSelection);
  printerListBox_->setSortingEnabled(false);
  printerListBox_->setSelectionMode(QAbstractItemView::SingleSelection);
  printerCombo_->setEditable(false);
  ppdNameField_->setReadOnly(true);
  exitButton_->setDefault(true);
}

void MainDialog::ConnectControls() {
  connect(libraryList_, &QListWidget::itemSelectionChanged, this,
          &MainDialog::LibrarySelectionChanged);
  connect(printerListBox_, &QListWidget::itemSelectionChanged, this,
          &MainDialog::PrinterSelectionChanged);
  // A double-click on an entry is Edit. It runs once the list has finished
  // with the mouse event, as Edit takes the entry out of the list and opens
  // the modal editor.
  connect(
      libraryList_, &QListWidget::itemDoubleClicked, this, [this] { OnEdit(); },
      Qt::QueuedConnection);
  connect(
      printerListBox_, &QListWidget::itemDoubleClicked, this, [this] { OnEdit(); },
      Qt::QueuedConnection);

  connect(newButton_, &QPushButton::clicked, this, [this] { OnNew(); });
  connect(copyButton_, &QPushButton::clicked, this, [this] { OnCopy(); });
  connect(addButton_, &QPushButton::clicked, this, [this] { OnAdd(); });
  connect(pickOutButton_, &QPushButton::clicked, this, [this] { OnPickOut(); });
  connect(editButton_, &QPushButton::clicked, this, [this] { OnEdit(); });
  connect(deleteButton_, &QPushButton::clicked, this, [this] { OnDelete(); });

  // A click checks the radio button before these run; clicking the checked
  // one runs them too (the target is read again).
  connect(selectPrinter_, &QRadioButton::clicked, this, &MainDialog::OnSelectPrinter);
  connect(selectPpd_, &QRadioButton::clicked, this, &MainDialog::OnSelectPpdFile);
  // Every choice by the user, the same printer again included.
  connect(printerCombo_, &QComboBox::activated, this, &MainDialog::OnPrinterChosen);
  connect(browseButton_, &QPushButton::clicked, this, &MainDialog::OnRefer);

  connect(exitButton_, &QPushButton::clicked, this, &MainDialog::OnExit);
  connect(cancelButton_, &QPushButton::clicked, this, &MainDialog::OnCancel);
  connect(applyButton_, &QPushButton::clicked, this, &MainDialog::OnApply);
  connect(helpButton_, &QPushButton::clicked, this, &MainDialog::OnHelp);
  // F1 is the Help button.
  connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, helpButton_,
          &QPushButton::click);
}

// --- Start-up ---------------------------------------------------------------

bool MainDialog::Initialize() {
  AddCalibrationEntries();
  AddAboutEntry();
  workingDefinition = NewDefinition();

  selectPrinter_->setChecked(true);
  targetMode = TargetMode::Printer;

  // The printers are listed on a worker thread while the window is already
  // up with its library (and the PPD file it was started on): a large or
  // slow server must not hold the window back. FinishDiscovery fills the
  // printer list when the worker is done.
  LoadLibrary();
  SetCaptions();
  PushBoundTexts();
  StartDiscovery();

  if (initialPpd_)
    StartOnPpdFile(*initialPpd_);
  return true;
}

int MainDialog::Run() {
  if (!Initialize())
    return result();
  return exec();
}

void MainDialog::AddAboutEntry() {
  // Window managers do not take entries into their window menu, so the About
  // entry lives in the window's context menu (right button or the menu key).
  const QString text = LoadString(sid::kAbout);
  if (text.isEmpty())
    return;
  aboutAction_ = new QAction(text, this);
  aboutAction_->setObjectName(QStringLiteral("aboutAction"));
  connect(aboutAction_, &QAction::triggered, this, &MainDialog::aboutRequested);
  addAction(aboutAction_);
  setContextMenuPolicy(Qt::ActionsContextMenu);
  // Shift+F10 opens it too, for keyboards without a menu key.
  auto* shortcut = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
  connect(shortcut, &QShortcut::activated, this, [this] {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addActions(actions());
    menu->popup(mapToGlobal(rect().center()));
  });
}

namespace {

// Swallows the messages of a printer count whose failure does not matter.
class Unheard final : public UserInteraction {
 public:
  void Show(const Message&) override {}
  bool Ask(const Message&) override { return false; }
};

}  // namespace

// What the worker thread hands back: the count, the entries and the default
// queue's PPD. Only the worker touches it until the thread has finished.
struct MainDialog::DiscoveryRun {
  std::optional<std::size_t> count;
  PrinterDiscovery discovery;
  std::unique_ptr<PrinterDefinitionList> list = std::make_unique<PrinterDefinitionList>();
  // Set on the GUI thread when the window goes away: the worker's remaining
  // messages and questions are then dropped (a question counts as No).
  std::atomic<bool> abandoned{false};
};

namespace {

// The worker's messages and questions, shown by the window's own
// interaction on the GUI thread while the worker waits for the answer.
class RelayedInteraction final : public UserInteraction {
 public:
  RelayedInteraction(UserInteraction& target, QObject& context, const std::atomic<bool>& abandoned)
      : target_(target), context_(context), abandoned_(abandoned) {}
  void Show(const Message& message) override {
    if (!abandoned_)
      QMetaObject::invokeMethod(
          &context_, [&] { if (!abandoned_) target_.Show(message); },
          Qt::BlockingQueuedConnection);
  }
  bool Ask(const Message& message) override {
    bool answer = false;
    if (!abandoned_)
      QMetaObject::invokeMethod(
          &context_, [&] { answer = !abandoned_ && target_.Ask(message); },
          Qt::BlockingQueuedConnection);
    return answer;
  }

 private:
  UserInteraction& target_;
  QObject& context_;
  const std::atomic<bool>& abandoned_;
};

}  // namespace

void MainDialog::StartDiscovery() {
  auto run = std::make_shared<DiscoveryRun>();
  run_ = run;
  printerCombo_->setEnabled(false);
  worker_ = QThread::create([this, run] {
    RelayedInteraction ui(ui_, *this, run->abandoned);
    // With a PPD file to start on, printers are optional: a scheduler that
    // cannot be reached counts as none, silently.
    if (initialPpd_) {
      Unheard unheard;
      run->count = CountPrinters(spooler_, unheard);
    } else {
      run->count = CountPrinters(spooler_, ui);  // a failure is reported here, once
    }
    if (!run->count || *run->count == 0 || run->abandoned)
      return;
    run->discovery.room = *run->count;
    VerdictCache verdicts(VerdictCache::DefaultPath());
    run->discovery.verdicts = &verdicts;
    EmptyTable(*run->list);
    // A listing that fails half-way has been reported; the queues listed
    // before it are kept.
    DiscoverPrinters(spooler_, run->discovery, *run->list, {ui, strings_});
    run->discovery.verdicts = nullptr;
  });
  connect(worker_, &QThread::finished, this, [this, run] { FinishDiscovery(*run); });
  worker_->start();
}

void MainDialog::StopDiscovery() {
  if (!worker_)
    return;
  if (auto run = run_.lock())
    run->abandoned = true;
  disconnect(worker_, nullptr, this, nullptr);
  // A worker waiting for the GUI thread (a message, a question) is let go by
  // running what it waits for, which returns at once now.
  while (!worker_->wait(20))
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  delete worker_;
  worker_ = nullptr;
}

void MainDialog::FinishDiscovery(DiscoveryRun& run) {
  worker_->deleteLater();
  worker_ = nullptr;
  if (targetMode == TargetMode::Printer)
    printerCombo_->setEnabled(true);
  if (!ended_)
    ShowDiscovery(run);
  Q_EMIT printersListed();
}

void MainDialog::ShowDiscovery(DiscoveryRun& run) {
  // Without printers on a scheduler that answers, the window ends. A
  // scheduler that cannot be reached has been reported; the window then
  // works on PPD files, with the library, so that nothing is lost.
  if (!run.count) {
    if (!initialPpd_ && targetMode == TargetMode::Printer)
      StartOnPpdFiles();
    return;
  }
  if (*run.count == 0) {
    if (!initialPpd_) {
      ui_.Show(StringMessage(strings_, sid::kNoPrinter));
      EndWindow(QDialog::Rejected);
    }
    return;
  }
  PrinterDiscovery& discovery = run.discovery;
  printerPpdPaths = std::move(discovery.entries);
  {
    const QSignalBlocker block(printerCombo_);
    for (const PrinterEntry& entry : printerPpdPaths)
      printerCombo_->addItem(ToQString(entry.Text()));
    // No printer is chosen until the default one is found or the user picks.
    printerCombo_->setCurrentIndex(-1);
  }
  if (!discovery.loaded)
    return;
  selectedPrinterText = discovery.selectedPrinterText;
  PushBoundTexts();
  // The default printer becomes the target unless the user has gone on to
  // something else meanwhile (a PPD file, or another printer).
  if (targetMode == TargetMode::Printer && !workspace_.hasTarget()) {
    workspace_.AdoptTarget(std::move(*discovery.loaded), *run.list);
    workspace_.OfferRestore();
    ShowPrinterList();
    PrinterSelectionChanged();
  }
}

void MainDialog::LoadLibrary() {
  workspace_.OpenLibrary();
  ShowLibrary();
  if (libraryList_->count() >= kLibraryCapacity)
    newButton_->setEnabled(false);
}

void MainDialog::SetCaptions() {
  setWindowTitle(LoadString(sid::kMainTitle));
  template_.Control<QGroupBox>(ids::kLibraryGroup)->setTitle(LoadString(32));
  template_.Control<QLabel>(ids::kLibraryLabel)->setText(LoadString(33));
  newButton_->setText(LoadString(34));
  copyButton_->setText(LoadString(35));
  addButton_->setText(LoadString(36));
  pickOutButton_->setText(LoadString(37));
  editButton_->setText(LoadString(38));
  deleteButton_->setText(LoadString(39));
  template_.Control<QGroupBox>(ids::kPrinterGroup)->setTitle(LoadString(40));
  template_.Control<QLabel>(ids::kPrinterLabel)->setText(LoadString(41));
  selectPrinter_->setText(LoadString(42));
  selectPpd_->setText(LoadString(43));
  browseButton_->setText(LoadString(44));
  exitButton_->setText(LoadString(45));
  cancelButton_->setText(LoadString(46));
  applyButton_->setText(LoadString(47));
  helpButton_->setText(LoadString(48));
}

void MainDialog::StartOnPpdFiles() {
  selectPpd_->setChecked(true);
  targetMode = TargetMode::PpdFile;
  printerCombo_->setEnabled(false);
  browseButton_->setEnabled(true);
  ppdNameField_->setEnabled(true);
}

void MainDialog::StartOnPpdFile(const std::string& path) {
  StartOnPpdFiles();
  const QString absolute = QFileInfo(QFile::decodeName(path.c_str())).absoluteFilePath();
  ReadBrowsedFile(QFile::encodeName(absolute).toStdString());
}

// --- The two lists ----------------------------------------------------------

void MainDialog::ShowLibrary() {
  const QSignalBlocker block(libraryList_);
  libraryList_->clear();
  for (std::string_view name : workspace_.Names(Side::Library))
    list_box::AddSorted(*libraryList_, name);
}

void MainDialog::ShowPrinterList() {
  const QSignalBlocker block(printerListBox_);
  printerListBox_->clear();
  for (std::string_view name : workspace_.Names(Side::Target))
    list_box::Append(*printerListBox_, name);
}

std::string MainDialog::EntryName(const QListWidget& list, int row) {
  return list_box::EntryName(list, row);
}

int MainDialog::RowOf(const QListWidget& box, std::string_view name) {
  for (int row = 0; row < box.count(); ++row) {
    if (list_box::EntryName(box, row) == name)
      return row;
  }
  return -1;
}

bool MainDialog::AddAllowed() const {
  if (!workspace_.hasTarget())
    return false;
  if (targetMode == TargetMode::Printer)
    return !selectedPrinterText.empty();
  return !ppdDisplayName.empty();
}

void MainDialog::LibrarySelectionChanged() {
  if (HasSelection(*libraryList_)) {
    list_box::Select(*printerListBox_, -1);
    if (libraryList_->count() < kLibraryCapacity)
      copyButton_->setEnabled(true);
    if (printerListBox_->count() < kPrinterListCapacity && AddAllowed()) {
      addButton_->setEnabled(true);
    }
    pickOutButton_->setEnabled(false);
    editButton_->setEnabled(true);
    deleteButton_->setEnabled(true);
  } else {
    copyButton_->setEnabled(false);
    addButton_->setEnabled(false);
    if (!HasSelection(*printerListBox_)) {
      editButton_->setEnabled(false);
      deleteButton_->setEnabled(false);
    }
  }
}

void MainDialog::PrinterSelectionChanged() {
  if (HasSelection(*printerListBox_)) {
    list_box::Select(*libraryList_, -1);
    copyButton_->setEnabled(false);
    addButton_->setEnabled(false);
    if (libraryList_->count() < kLibraryCapacity)
      pickOutButton_->setEnabled(true);
    editButton_->setEnabled(true);
    deleteButton_->setEnabled(true);
  } else {
    pickOutButton_->setEnabled(false);
    if (!HasSelection(*libraryList_)) {
      editButton_->setEnabled(false);
      deleteButton_->setEnabled(false);
    }
  }
}

void MainDialog::PushBoundTexts() {
  ppdNameField_->setText(ToQString(ppdDisplayName));
  if (selectedPrinterText.empty())
    return;
  // The first entry that begins with the text, whatever the case; none
  // leaves the selection as it is.
  const QString text = ToQString(selectedPrinterText);
  for (int i = 0; i < printerCombo_->count(); ++i) {
    if (printerCombo_->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
      printerCombo_->setCurrentIndex(i);
      return;
    }
  }
}

// --- Reading and writing the target ------------------------------------------

int MainDialog::ReadTarget(std::shared_ptr<PpdTarget> target) {
  const int result = workspace_.ReadTarget(std::move(target));
  if (result != kPpdLoaded)
    addButton_->setEnabled(false);
  return result;
}

void MainDialog::DropTarget() {
  workspace_.DropTarget();
  const QSignalBlocker block(printerListBox_);
  printerListBox_->clear();
}

void MainDialog::ShowReadTarget() {
  ShowPrinterList();
  if (HasSelection(*libraryList_))
    addButton_->setEnabled(true);
}

// --- Target selection ---------------------------------------------------------

void MainDialog::OnPrinterChosen() {
  workspace_.SaveBeforeSwitch();
  ReadChosenPrinter();
}

void MainDialog::ReadChosenPrinter() {
  DropTarget();
  const int index = printerCombo_->currentIndex();
  if (index < 0 || static_cast<std::size_t>(index) >= printerPpdPaths.size())
    return;
  const PrinterEntry& entry = printerPpdPaths[static_cast<std::size_t>(index)];
  const int result = ReadTarget(entry.target);
  if (result == kPpdLoaded) {
    selectedPrinterText = entry.Text();
    workspace_.OfferRestore();
    ShowReadTarget();
    PrinterSelectionChanged();
  }
}

void MainDialog::OnSelectPrinter() {
  workspace_.SaveBeforeSwitch();
  targetMode = TargetMode::Printer;
  ReadChosenPrinter();
  printerCombo_->setEnabled(!discovering());
  browseButton_->setEnabled(false);
  ppdNameField_->setEnabled(false);
  if (printerCombo_->currentIndex() < 0)
    addButton_->setEnabled(false);
  PrinterSelectionChanged();
}

void MainDialog::OnSelectPpdFile() {
  workspace_.SaveBeforeSwitch();
  targetMode = TargetMode::PpdFile;
  printerCombo_->setEnabled(false);
  browseButton_->setEnabled(true);
  ppdNameField_->setEnabled(true);
  DropTarget();
  PrinterSelectionChanged();
  if (ppdDisplayName.empty()) {
    addButton_->setEnabled(false);
    return;
  }
  const int result = ReadTarget(FileTarget(browsedPpdPath));
  if (result == kPpdLoaded) {
    ShowReadTarget();
    PushBoundTexts();
    browseButton_->setFocus();
  }
}

void MainDialog::OnRefer() {
  const QString filters = ToQtFilter(LoadString(sid::kFileFilter));
  workspace_.SaveBeforeSwitch();

  // The dialog opens in the current folder; when that is gone (removed
  // while the window was open), in the home folder.
  const std::optional<QString> chosen = fileDialog_.OpenFile(this, StartFolder(), filters);
  if (!chosen) {
    OnSelectPpdFile();
    return;
  }
  // The folder where the user confirmed a file is where the next Browse
  // starts.
  const QFileInfo info(*chosen);
  QDir::setCurrent(info.absolutePath());
  ReadBrowsedFile(QFile::encodeName(info.absoluteFilePath()).toStdString());
}

void MainDialog::ReadBrowsedFile(const std::string& path) {
  DropTarget();
  browsedPpdPath = path;
  const int result = ReadTarget(FileTarget(path));
  if (result == kPpdLoaded) {
    // The field keeps the nickname of the file read before when this one
    // could not be read.
    ppdDisplayName = workspace_.nickName();
    ShowReadTarget();
    PrinterSelectionChanged();
    PushBoundTexts();
    browseButton_->setFocus();
  }
}

// --- Apply and the ends of the window -------------------------------------------

void MainDialog::OnApply() {
  workspace_.Apply();
  // Declining to overwrite another program's changes reads the PPD again:
  // the list shows it as it is now.
  ShowPrinterList();
  if (!workspace_.hasTarget())
    addButton_->setEnabled(false);
}

void MainDialog::OnExit() {
  workspace_.SaveBeforeExit();
  EndWindow(QDialog::Accepted);
}

void MainDialog::OnCancel() {
  EndWindow(QDialog::Rejected);
}

void MainDialog::OnHelp() {
  if (showHelp_)
    showHelp_(kMainHelpContext);
}

void MainDialog::reject() {
  OnCancel();
}

void MainDialog::closeEvent(QCloseEvent* event) {
  if (ended_) {
    event->accept();
    return;
  }
  // Closing from the title bar is Exit; Exit ends the window itself.
  event->ignore();
  OnExit();
}

void MainDialog::EndWindow(int result) {
  ended_ = true;
  done(result);
}

}  // namespace tonalis::ui
