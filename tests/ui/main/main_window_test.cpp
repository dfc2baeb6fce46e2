// The main window's wiring: each control reaches its workspace command (whose
// rules tests/workspace checks), the enable rules, start-up on printers or a
// PPD file, and a few whole sessions that end in the files.
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <future>
#include <deque>

#include "model/curve_fit.h"
#include "workspace/calibrate.h"
#include "ui/editor/curve_editor_dialog.h"
#include "ui/main/main_window_fixture.h"

namespace tonalis::test {
namespace {

// The curve editor stands in as a script: each pass records the definition
// it was opened on and accepts it under the next name ("" cancels).
class Window : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Write("demo.ppd", PpdText("Demo Color PS", {"Warm", "Cool"}));
    Write("QR_grad.dat", LibraryImage({"vivid", "Soft", "Neutral"}));
    runEditor = [this](DensityDef& def) {
      opened.push_back(def);
      if (names.empty()) ADD_FAILURE() << "the editor opened once more than scripted";
      const std::string name = names.empty() ? "" : names.front();
      if (!names.empty()) names.pop_front();
      if (!name.empty()) SetName(def, name);
      return name.empty() ? ui::kEditorCancelled : ui::kEditorAccepted;
    };
  }
  int Row(QListWidget* box) { return box->row(box->selectedItems().value(0)); }  // -1: none
  std::deque<std::string> names;
  std::vector<DensityDef> opened;
};

TEST_F(Window, StartsOnAPpdFileWithTheLibrarySortedAndSelectionDrivingTheCommands) {
  ASSERT_TRUE(Start("demo.ppd"));
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(Entries(LibraryBox()), (Names{"Neutral", "Soft", "vivid"}));
  EXPECT_EQ(Entries(PrinterBox()), (Names{"Warm", "Cool"}));
  EXPECT_EQ(Control<QLineEdit>(ids::kPpdName)->text(), "Demo Color PS");
  EXPECT_EQ(Commands(), "N-----");
  SelectLibrary("Soft");
  EXPECT_EQ(Commands(), "NCA-ED");
  PrinterBox()->setCurrentRow(1);
  EXPECT_EQ(Row(LibraryBox()), -1);
  EXPECT_EQ(Commands(), "N--PED");
  // F1 is Help (what a task bar sees of the window: tests/app/window_check).
  window().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
  QTest::keyClick(&window(), Qt::Key_F1);
  EXPECT_EQ(help, (std::vector<int>{ui::kMainHelpContext}));
}

TEST_F(Window, EachListCommandReachesTheWorkspace) {
  ASSERT_TRUE(Start("demo.ppd"));
  names = {"Fresh", "", "Soft", "Soft 2", "Hot"};
  Click(ids::kNew);  // stored, and selected
  EXPECT_EQ(Entries(LibraryBox()), (Names{"Fresh", "Neutral", "Soft", "vivid"}));
  EXPECT_EQ(Row(LibraryBox()), 0);
  EXPECT_EQ(opened.at(0), NewDefinition());

  SelectLibrary("Soft");
  Click(ids::kEdit);  // cancelled: as it was
  EXPECT_EQ(Entries(LibraryBox()), (Names{"Fresh", "Neutral", "Soft", "vivid"}));
  EXPECT_EQ(Row(LibraryBox()), 2);

  Click(ids::kCopy);  // the copy meets its source's name, then is renamed
  EXPECT_EQ(interaction.Ids(), Ids{sid::kNameTaken});
  EXPECT_EQ(Entries(LibraryBox()), (Names{"Fresh", "Neutral", "Soft", "Soft 2", "vivid"}));
  EXPECT_EQ(Row(LibraryBox()), -1);
  interaction.Clear();

  SelectLibrary("vivid");
  Click(ids::kAdd);
  EXPECT_EQ(Entries(PrinterBox()), (Names{"Warm", "Cool", "vivid"}));
  PrinterBox()->setCurrentRow(0);
  Click(ids::kPickOut);
  EXPECT_EQ(Entries(LibraryBox()), (Names{"Fresh", "Neutral", "Soft", "Soft 2", "vivid", "Warm"}));
  interaction.Answer(true);
  Click(ids::kDelete);
  EXPECT_EQ(Entries(PrinterBox()), (Names{"Cool", "vivid"}));
  EXPECT_EQ(interaction.Ids(), Ids{sid::kDeleteQuestion});
  EXPECT_TRUE(window().workspace().libraryModified());
  EXPECT_TRUE(window().workspace().targetModified());

  Click(ids::kApply);
  EXPECT_EQ(DefinitionsIn(Read("demo.ppd")), (Names{"Cool", "vivid"}));
  EXPECT_FALSE(window().workspace().libraryModified());

  PrinterBox()->setCurrentRow(0);
  Click(ids::kEdit);  // a printer entry keeps its place and the selection
  EXPECT_EQ(Entries(PrinterBox()), (Names{"Hot", "vivid"}));
  EXPECT_EQ(Row(PrinterBox()), 0);
}

TEST_F(Window, ADoubleClickOnAnEntryEditsItButBelowTheLastOneNothing) {
  ASSERT_TRUE(Start("demo.ppd"));
  names = {""};
  QListWidget* printers = PrinterBox();
  QWidget* library = LibraryBox()->viewport();
  const QPoint cool = printers->visualItemRect(printers->item(1)).center();
  for (auto [widget, at] :
       {std::pair{printers->viewport(), cool}, {library, QPoint(5, library->height() - 3)}}) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
  }
  ASSERT_EQ(opened.size(), 1u);  // the printer entry's, not one for below the library's last
  EXPECT_EQ(NameOf(opened[0]), "Cool");
}

TEST_F(Window, AFullLibraryDisablesNew) {
  Names names;
  for (int i = 0; i < kLibraryCapacity; ++i) names.push_back("Def " + std::to_string(i));
  Write("QR_grad.dat", LibraryImage(names));
  ASSERT_TRUE(Start("demo.ppd"));
  SelectLibrary("Def 7");
  EXPECT_EQ(Commands(), "--A-ED");
  PrinterBox()->setCurrentRow(0);
  EXPECT_EQ(Commands(), "----ED");
}

TEST_F(Window, ExitAsksAndWritesCancelAndEscapeWriteNothing) {
  ASSERT_TRUE(Start("demo.ppd"));
  const std::string before = Read("demo.ppd");
  SelectLibrary("Soft");
  Click(ids::kAdd);
  QTest::keyClick(&window(), Qt::Key_Escape);
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(Read("demo.ppd"), before);

  ASSERT_TRUE(Start("demo.ppd"));
  SelectLibrary("Soft");
  Click(ids::kAdd);
  interaction.Answer(true);
  QApplication::setActiveWindow(&window());
  LibraryBox()->setFocus();  // no button has the focus: Enter is Exit
  QTest::keyClick(LibraryBox(), Qt::Key_Return);
  EXPECT_EQ(interaction.Ids(), (Ids{sid::kSaveBeforeExit, sid::kPpdWritten}));
  EXPECT_EQ(DefinitionsIn(Read("demo.ppd")), (Names{"Warm", "Cool", "Soft"}));
  EXPECT_FALSE(window().workspace().libraryOpen());
}

TEST_F(Window, BrowseStartsHereMovesToTheChosenFolderAndAnotherMakeIsNeverWritten) {
  ASSERT_TRUE(Start("demo.ppd"));
  fs::create_directory(Path("other"));
  Write("other/plain.ppd", PpdText("Plain PS", {"X"}, ""));
  fileDialog.path = QString::fromStdString(Path("other/plain.ppd").string());
  Click(ids::kBrowse);
  EXPECT_EQ(fileDialog.directories.at(0).toStdString(), Path("").parent_path().string());
  EXPECT_EQ(QDir::currentPath().toStdString(), Path("other").string());
  EXPECT_EQ(interaction.Ids(), Ids{sid::kUnsupportedPpd});
  EXPECT_EQ(Control<QLineEdit>(ids::kPpdName)->text(), "Demo Color PS");  // as read before
  EXPECT_FALSE(window().workspace().hasTarget());
  SelectLibrary("Soft");
  EXPECT_FALSE(Control(ids::kAdd)->isEnabled());
}

class PrinterWindow : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Write("QR_grad.dat", LibraryImage({"Vivid", "Soft"}));
    // "Beta" comes after a queue whose text holds it but does not begin
    // with it: the window must choose the one that begins with it.
    spooler.Add({"AlphaBeta", "Tonalis PS", PpdText("AB PS", {"Std"})})
        .Add({"Plain", "Other Make PS", PpdText("Plain PS", {}, "")})
        .Add({"Beta", "Tonalis PS", PpdText("Beta PS", {"Light"})});
    spooler.defaultQueue = "Beta";
  }
};

TEST_F(PrinterWindow, StartsOnTheDefaultPrinterAndLeavesOtherMakesOut) {
  ASSERT_TRUE(Start());
  EXPECT_TRUE(interaction.Empty());
  ASSERT_EQ(Combo()->count(), 2);
  EXPECT_EQ(Combo()->itemText(0), "AlphaBeta (Tonalis PS)");
  EXPECT_EQ(Combo()->currentIndex(), 1);
  EXPECT_EQ(Entries(PrinterBox()), Names{"Light"});
}

TEST_F(PrinterWindow, SwitchingWithChangesAsksAndYesWritesThePreviousPrinter) {
  ASSERT_TRUE(Start());
  SelectLibrary("Soft");
  Click(ids::kAdd);
  interaction.Answer(true);
  Combo()->setCurrentIndex(0);
  Q_EMIT Combo()->activated(0);
  EXPECT_EQ(interaction.Ids(), (Ids{sid::kSaveBeforeSwitch, sid::kPpdWritten}));
  EXPECT_EQ(DefinitionsIn(spooler.Ppd("Beta")), (Names{"Light", "Soft"}));
  EXPECT_EQ(Entries(PrinterBox()), Names{"Std"});
}

TEST_F(PrinterWindow, ApplyAsksBeforeOverwritingAnotherProgramsChangesAndNoShowsThem) {
  ASSERT_TRUE(Start());
  SelectLibrary("Soft");
  Click(ids::kAdd);
  spooler.ReplacePpd({"", "Beta"}, PpdText("Beta PS", {"Other"}));  // by another program
  const std::string theirs = spooler.Ppd("Beta");
  interaction.Answer(false);
  Click(ids::kApply);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kPpdChangedElsewhere});
  EXPECT_EQ(spooler.Ppd("Beta"), theirs);
  EXPECT_EQ(Entries(PrinterBox()), Names{"Other"});
  EXPECT_FALSE(window().workspace().targetModified());
}

TEST_F(PrinterWindow, NoPrinterEndsTheWindowAnUnreachableSchedulerLeavesItOnPpdFiles) {
  FakeSpooler none;
  activeSpooler = &none;
  EXPECT_FALSE(Start());
  EXPECT_EQ(interaction.Ids(), Ids{sid::kNoPrinter});
  EXPECT_EQ(window().result(), QDialog::Rejected);

  // Said once; the window opens with its library on PPD files, and keeps what is made.
  interaction.Clear();
  none.listFailure[SpoolerScope::Local] = FakeSpooler::Fail(0x0502, "Scheduler is not running.");
  runEditor = [](DensityDef& def) { return SetName(def, "Fresh"), ui::kEditorAccepted; };
  ASSERT_TRUE(Start());
  ASSERT_EQ(interaction.shown().size(), 1u);
  EXPECT_EQ(interaction.shown()[0].detail, "Scheduler is not running.");
  EXPECT_TRUE(Control<QRadioButton>(ids::kSelectPpd)->isChecked());
  EXPECT_TRUE(Control(ids::kBrowse)->isEnabled());
  Write("demo.ppd", PpdText("Demo Color PS", {"Warm"}));
  fileDialog.path = QString::fromStdString(Path("demo.ppd").string());
  Click(ids::kBrowse);
  EXPECT_EQ(Entries(PrinterBox()), Names{"Warm"});
  Click(ids::kNew);
  interaction.Answer(true);
  Click(ids::kExit);
  ASSERT_TRUE(Start("demo.ppd"));
  EXPECT_EQ(Entries(LibraryBox()), (Names{"Fresh", "Soft", "Vivid"}));

  // So does a scheduler that lists its queues but not its connections.
  interaction.Clear();
  activeSpooler = &spooler;
  spooler.listFailure[SpoolerScope::Connections] = FakeSpooler::Fail(0x0502, "gone");
  ASSERT_TRUE(Start());
  EXPECT_EQ(interaction.shown().size(), 1u);
  EXPECT_TRUE(window().workspace().libraryOpen());
}

TEST_F(PrinterWindow, ASlowServerFillsThePrinterListLaterAndClosingMeanwhileDropsItsMessages) {
  // The window is up with its library while the server has not answered.
  std::promise<void> answer;
  std::shared_future<void> answered = answer.get_future().share();
  spooler.beforeListing = [answered] { answered.wait(); };
  dialog_ = std::make_unique<ui::MainDialog>(
      ui::MainDialogSeams{.ui = interaction, .fileDialog = fileDialog, .spooler = spooler, .initialPpd = {}});
  ASSERT_TRUE(dialog_->Initialize());
  EXPECT_TRUE(window().discovering());
  EXPECT_EQ(Entries(LibraryBox()), (Names{"Soft", "Vivid"}));
  EXPECT_EQ(Combo()->count(), 0);
  EXPECT_FALSE(Combo()->isEnabled());
  answer.set_value();
  QSignalSpy listed(dialog_.get(), &ui::MainDialog::printersListed);
  ASSERT_TRUE(listed.wait(5000));
  EXPECT_EQ(Combo()->count(), 2);
  EXPECT_TRUE(Combo()->isEnabled());
  EXPECT_EQ(Entries(PrinterBox()), Names{"Light"});

  // A window that goes while the worker waits to report a failure neither
  // hangs nor shows the report afterwards.
  spooler.beforeListing = {};
  spooler.listFailure[SpoolerScope::Local] = FakeSpooler::Fail(0x0502, "Scheduler is not running.");
  interaction.Clear();
  dialog_ = std::make_unique<ui::MainDialog>(
      ui::MainDialogSeams{.ui = interaction, .fileDialog = fileDialog, .spooler = spooler, .initialPpd = {}});
  ASSERT_TRUE(dialog_->Initialize());
  dialog_.reset();
  EXPECT_TRUE(interaction.Empty());
}

// The context menu's calibration entries: the chart goes to the chosen printer
// with the control picked from those its PPD holds; measurements and curve
// files come in as new definitions through the editor; a definition's curves
// go out to a file and come back the same.
TEST_F(PrinterWindow, TheCalibrationEntriesPrintTheChartAndBringCurvesInAndOut) {
  std::vector<QStringList> offered;
  std::deque<std::optional<int>> picks{1, std::nullopt, 0, 0};
  chooseItem = [&](const QString&, const QStringList& items, int) {
    offered.push_back(items);
    const std::optional<int> pick = picks.front();
    picks.pop_front();
    return pick;
  };
  std::deque<std::string> names{"Measured", "Imported"};
  runEditor = [&](DensityDef& def) {
    SetName(def, names.front());
    names.pop_front();
    return ui::kEditorAccepted;
  };
  ASSERT_TRUE(Start());
  const auto trigger = [this](const char* name) {
    QAction* action = window().findChild<QAction*>(QString::fromLatin1(name));
    ASSERT_TRUE(action) << name;
    action->trigger();
  };
  trigger("printChartAction");
  trigger("printChartAction");  // cancelled
  spooler.printFailure = FakeSpooler::Fail(1281, "Printer not accepting jobs.");
  trigger("printChartAction");
  ASSERT_EQ(spooler.printed.size(), 1u);
  const PrintJob& job = spooler.printed[0];
  EXPECT_EQ(job.queue, "Beta");
  EXPECT_EQ(job.options, (std::vector<std::pair<std::string, std::string>>{{"VLTone", "Gumma1"}}));
  EXPECT_NE(job.document.find("Density control: Light"), std::string::npos);
  EXPECT_EQ(offered.front(), (QStringList{"No density control", "Light"}));
  EXPECT_EQ(interaction.Ids(), (Ids{sid::kChartSent, sid::kChartNotPrinted}));
  EXPECT_EQ(interaction.shown().back().detail, "Printer not accepting jobs.");

  fileDialog.path = QStringLiteral(TONALIS_TEST_DATA "/calibration/chartread.ti3");
  trigger("calibrateAction");
  const DensityDef* measured = window().workspace().Find(Side::Library, "Measured");
  ASSERT_TRUE(measured);
  const DensityDef aimed =
      CalibrateFile(TONALIS_TEST_DATA "/calibration/chartread.ti3", Aim{}, nullptr).definition;
  EXPECT_EQ(measured->allChannels, 0);
  for (int c = 0; c < kChannelCount; ++c) EXPECT_EQ(measured->channels[c], aimed.channels[c]) << c;

  SelectLibrary("Measured");
  fileDialog.savePath = QString::fromStdString(Path("out.cal").string());
  trigger("exportCurvesAction");
  EXPECT_EQ(fileDialog.suggested.back(), "Measured.cal");
  EXPECT_EQ(Read("out.cal").substr(0, 3), "CAL");
  fileDialog.path = QString::fromStdString(Path("out.cal").string());
  trigger("importCurvesAction");
  const DensityDef* imported = window().workspace().Find(Side::Library, "Imported");
  ASSERT_TRUE(imported);
  for (int c = 0; c < kChannelCount; ++c)
    EXPECT_EQ(CurveSamples(imported->channels[c]), CurveSamples(measured->channels[c])) << c;
  EXPECT_EQ(interaction.Ids().size(), 2u);
}

TEST_F(PrinterWindow, APpdFileToStartOnNeedsNoScheduler) {
  FakeSpooler none;
  none.listFailure[SpoolerScope::Local] = FakeSpooler::Fail(502, "gone");
  activeSpooler = &none;
  Write("demo.ppd", PpdText("Demo Color PS", {"Warm"}));
  ASSERT_TRUE(Start("demo.ppd"));
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(Entries(PrinterBox()), Names{"Warm"});
}

}  // namespace
}  // namespace tonalis::test
