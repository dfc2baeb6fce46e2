// The main window on PPD files: start-up, the two lists and their enable
// rules, Apply, the three ways to end, Browse and the PPD-file mode.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "ui/main/main_window_fixture.h"

namespace tonalis::test {
namespace {

// A machine without printers (or with one of another make), started on a
// PPD file.
class PpdFileWindow : public MainWindowTest {
 protected:
  // A demo PPD with two definitions and a library with three.
  void SetUp() override {
    MainWindowTest::SetUp();
    WriteFile(Path("demo.ppd"), PpdText("Demo Color PS", {"Warm", "Cool"}));
    WriteFile(Path("QR_grad.dat"), LibraryImage({"Vivid", "Soft", "Neutral"}));
  }

  bool StartOnDemo() { return Start(Path("demo.ppd").string()); }
};

// Texts "[id]" for every string, to see which string each control shows.
class NumberedStrings : public StringSource {
 public:
  explicit NumberedStrings(bool withAbout) : withAbout_(withAbout) {}
  std::string Load(int id) const override {
    if (id == sid::kAbout && !withAbout_) return {};
    if (id > 30 && id < 57) return "[" + std::to_string(id) + "]";
    return DefaultStrings().Load(id);
  }

 private:
  bool withAbout_;
};

TEST_F(PpdFileWindow, CaptionsComeFromTheStringTableAndAboutSitsInTheContextMenu) {
  NumberedStrings strings(true);
  ASSERT_TRUE(Start(Path("demo.ppd").string(), strings));
  EXPECT_EQ(window().windowTitle(), "[31]");
  EXPECT_EQ(Control<QGroupBox>(ids::kLibraryGroup)->title(), "[32]");
  EXPECT_EQ(Control<QLabel>(ids::kLibraryLabel)->text(), "[33]");
  const std::pair<int, int> buttons[] = {{ids::kNew, 34},    {ids::kCopy, 35},  {ids::kAdd, 36},
                                         {ids::kPickOut, 37}, {ids::kEdit, 38},  {ids::kDelete, 39},
                                         {ids::kBrowse, 44},  {ids::kExit, 45},  {ids::kCancel, 46},
                                         {ids::kApply, 47},   {ids::kHelp, 48}};
  for (auto [id, string] : buttons) {
    EXPECT_EQ(Button(id)->text(), QStringLiteral("[%1]").arg(string)) << "control " << id;
  }
  EXPECT_EQ(Control<QGroupBox>(ids::kPrinterGroup)->title(), "[40]");
  EXPECT_EQ(Control<QLabel>(ids::kPrinterLabel)->text(), "[41]");
  EXPECT_EQ(Control<QRadioButton>(ids::kSelectPrinter)->text(), "[42]");
  EXPECT_EQ(Control<QRadioButton>(ids::kSelectPpd)->text(), "[43]");

  EXPECT_EQ(window().contextMenuPolicy(), Qt::ActionsContextMenu);
  ASSERT_EQ(window().actions().size(), 1);
  EXPECT_EQ(window().actions().front()->text(), "[56]");
  bool asked = false;
  QObject::connect(&window(), &ui::MainDialog::aboutRequested, [&] { asked = true; });
  window().actions().front()->trigger();
  EXPECT_TRUE(asked);

  // From the keyboard.
  QApplication::setActiveWindow(&window());
  QTest::keyClick(&window(), Qt::Key_F10, Qt::ShiftModifier);
  auto* menu = window().findChild<QMenu*>();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  EXPECT_EQ(menu->actions(), window().actions());
  menu->close();
}

TEST_F(PpdFileWindow, WithoutAnAboutTextThereIsNoAboutEntry) {
  NumberedStrings strings(false);
  ASSERT_TRUE(Start(Path("demo.ppd").string(), strings));
  EXPECT_TRUE(window().actions().isEmpty());
  EXPECT_NE(window().contextMenuPolicy(), Qt::ActionsContextMenu);
}

TEST_F(PpdFileWindow, StartsOnTheGivenPpdAsIfBrowsed) {
  ASSERT_TRUE(StartOnDemo());
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(window().targetMode, ui::TargetMode::PpdFile);
  EXPECT_TRUE(Control<QRadioButton>(ids::kSelectPpd)->isChecked());
  EXPECT_FALSE(Enabled(ids::kPrinterCombo));
  EXPECT_TRUE(Enabled(ids::kBrowse));
  EXPECT_TRUE(Enabled(ids::kPpdName));
  EXPECT_EQ(NicknameField(), "Demo Color PS");
  EXPECT_EQ(window().browsedPpdPath, Path("demo.ppd").string());
  EXPECT_EQ(PrinterEntries(), (std::vector<std::string>{"Warm", "Cool"}));
  EXPECT_TRUE(window().loadedPpd().has_value());
  // Nothing selected: only New.
  EXPECT_EQ(Commands(), "N-----");
  EXPECT_FALSE(window().libraryModified);
  EXPECT_FALSE(window().printerListModified);
}

TEST_F(PpdFileWindow, TheLibraryListSortsWithoutRegardToCaseAndKeepsEachName) {
  WriteFile(Path("QR_grad.dat"), LibraryImage({"beta", "ABC", "Alpha", "abc", "Zulu", "_x"}));
  ASSERT_TRUE(StartOnDemo());
  const std::vector<std::string> entries = LibraryEntries();
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries[0], "_x");
  // abc and ABC side by side, each as it was written.
  EXPECT_EQ((std::vector<std::string>{entries[1], entries[2]}),
            (std::vector<std::string>{"ABC", "abc"}));
  EXPECT_EQ((std::vector<std::string>{entries[3], entries[4], entries[5]}),
            (std::vector<std::string>{"Alpha", "beta", "Zulu"}));
  EXPECT_TRUE(window().libraryFileOpen());
}

TEST_F(PpdFileWindow, SelectionIsExclusiveAndDrivesTheCommands) {
  ASSERT_TRUE(StartOnDemo());
  SelectLibrary("Soft");
  EXPECT_EQ(Commands(), "NCA-ED");
  SelectPrinterEntry(1);
  EXPECT_TRUE(LibraryBox()->selectedItems().isEmpty());
  EXPECT_EQ(Commands(), "N--PED");
  SelectLibrary("Vivid");
  EXPECT_TRUE(PrinterBox()->selectedItems().isEmpty());
  EXPECT_EQ(Commands(), "NCA-ED");
  LibraryBox()->clearSelection();
  EXPECT_EQ(Commands(), "N-----");
}

TEST_F(PpdFileWindow, AFullPrinterListLeavesAddAsItWas) {
  WriteFile(Path("demo.ppd"), PpdText("Six", {"1", "2", "3", "4", "5", "6"}));
  ASSERT_TRUE(StartOnDemo());
  SelectLibrary("Soft");
  EXPECT_EQ(Commands(), "NC--ED");
  // A read enables Add whatever the count; Add itself then reports the
  // full list.
  fileDialog.Choose(QString::fromStdString(Path("demo.ppd").string()));
  Button(ids::kBrowse)->click();
  SelectLibrary("Vivid");
  EXPECT_EQ(Commands(), "NCA-ED");
}

TEST_F(PpdFileWindow, AFullLibraryDisablesNewAndNeverEnablesCopyOrPickOut) {
  std::vector<std::string> names;
  for (int i = 0; i < 100; ++i) names.push_back("Def " + std::to_string(i));
  WriteFile(Path("QR_grad.dat"), LibraryImage(names));
  ASSERT_TRUE(StartOnDemo());
  EXPECT_EQ(LibraryBox()->count(), 100);
  EXPECT_EQ(Commands(), "------");
  SelectLibrary("Def 42");
  EXPECT_EQ(Commands(), "--A-ED");
  SelectPrinterEntry(0);
  EXPECT_EQ(Commands(), "----ED");
}

TEST_F(PpdFileWindow, ApplyWithNothingChangedShowsAndWritesNothing) {
  const std::string library = ReadFile(Path("QR_grad.dat"));
  ASSERT_TRUE(StartOnDemo());
  const std::string ppd = ReadFile(Path("demo.ppd"));
  const auto ppdTime = fs::last_write_time(Path("demo.ppd"));
  Button(ids::kApply)->click();
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(ReadFile(Path("QR_grad.dat")), library);
  EXPECT_EQ(ReadFile(Path("demo.ppd")), ppd);
  EXPECT_EQ(fs::last_write_time(Path("demo.ppd")), ppdTime);
  EXPECT_FALSE(window().ended());
}

TEST_F(PpdFileWindow, ApplyWritesWhatChangedAndClearsTheFlags) {
  ASSERT_TRUE(StartOnDemo());
  AddToLibrary("Bright");
  AddToPrinterList("Vivid");
  Button(ids::kApply)->click();
  // The PPD writer reports its success; the library is written silently.
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kPpdWritten});
  EXPECT_FALSE(window().libraryModified);
  EXPECT_FALSE(window().printerListModified);
  EXPECT_EQ(DefinitionsIn(Path("demo.ppd")), (std::vector<std::string>{"Warm", "Cool", "Vivid"}));
  auto library = std::make_unique<DefinitionLibrary>();
  const std::string image = ReadFile(Path("QR_grad.dat"));
  DecodeLibrary({reinterpret_cast<const uint8_t*>(image.data()), image.size()}, *library);
  EXPECT_EQ(library->count, 4);
  EXPECT_TRUE(FindDefinition(*library, "Bright").has_value());

  interaction.Clear();
  Button(ids::kApply)->click();
  EXPECT_TRUE(interaction.Empty());
}

TEST_F(PpdFileWindow, ExitWithLibraryChangesOnlyAsksAndYesWritesOnlyTheLibrary) {
  ASSERT_TRUE(StartOnDemo());
  const std::string ppd = ReadFile(Path("demo.ppd"));
  AddToLibrary("Bright");
  interaction.Answer(true);
  Button(ids::kExit)->click();
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kSaveBeforeExit});
  EXPECT_EQ(interaction.shown().front().kind, MessageKind::YesNo);
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), QDialog::Accepted);
  EXPECT_FALSE(window().libraryFileOpen());
  EXPECT_EQ(ReadFile(Path("demo.ppd")), ppd);
  EXPECT_EQ(fs::file_size(Path("QR_grad.dat")), kLibraryFileBytes);
  EXPECT_NE(ReadFile(Path("QR_grad.dat")).find("Bright"), std::string::npos);
}

TEST_F(PpdFileWindow, ExitAnsweredNoWritesNothing) {
  const std::string library = ReadFile(Path("QR_grad.dat"));
  ASSERT_TRUE(StartOnDemo());
  const std::string ppd = ReadFile(Path("demo.ppd"));
  AddToLibrary("Bright");
  AddToPrinterList("Vivid");
  interaction.Answer(false);
  Button(ids::kExit)->click();
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kSaveBeforeExit});
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(ReadFile(Path("QR_grad.dat")), library);
  EXPECT_EQ(ReadFile(Path("demo.ppd")), ppd);
}

TEST_F(PpdFileWindow, ExitYesWritesBothAndClosingFromTheTitleBarIsExit) {
  ASSERT_TRUE(StartOnDemo());
  AddToLibrary("Bright");
  AddToPrinterList("Vivid");
  interaction.Answer(true);
  window().close();
  EXPECT_EQ(interaction.Ids(), (std::vector<int>{sid::kSaveBeforeExit, sid::kPpdWritten}));
  EXPECT_TRUE(window().ended());
  EXPECT_FALSE(window().isVisible());
  EXPECT_EQ(window().result(), QDialog::Accepted);
  EXPECT_EQ(DefinitionsIn(Path("demo.ppd")), (std::vector<std::string>{"Warm", "Cool", "Vivid"}));
  EXPECT_NE(ReadFile(Path("QR_grad.dat")).find("Bright"), std::string::npos);
}

TEST_F(PpdFileWindow, ExitWithoutChangesAsksNothing) {
  ASSERT_TRUE(StartOnDemo());
  // Enter with the focus away from the other buttons is Exit.
  QApplication::setActiveWindow(&window());
  LibraryBox()->setFocus();
  QTest::keyClick(LibraryBox(), Qt::Key_Return);
  EXPECT_TRUE(interaction.Empty());
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), QDialog::Accepted);
}

TEST_F(PpdFileWindow, CancelAndEscapeEndWithoutAskingOrWriting) {
  const std::string library = ReadFile(Path("QR_grad.dat"));
  for (bool escape : {false, true}) {
    ASSERT_TRUE(StartOnDemo());
    const std::string ppd = ReadFile(Path("demo.ppd"));
    AddToLibrary("Bright");
    AddToPrinterList("Vivid");
    if (escape) {
      QTest::keyClick(&window(), Qt::Key_Escape);
    } else {
      Button(ids::kCancel)->click();
    }
    EXPECT_TRUE(interaction.Empty());
    EXPECT_TRUE(window().ended());
    EXPECT_EQ(window().result(), QDialog::Rejected);
    EXPECT_EQ(ReadFile(Path("QR_grad.dat")), library);
    EXPECT_EQ(ReadFile(Path("demo.ppd")), ppd);
  }
}

TEST_F(PpdFileWindow, ASecondRunningCopyWorksOnWithAnEmptyLibrary) {
  LibraryFile first(Path("QR_grad.dat").string());
  auto held = std::make_unique<DefinitionLibrary>();
  ScriptedInteraction quiet;
  ASSERT_TRUE(first.Open(*held, quiet));
  const std::string before = ReadFile(Path("QR_grad.dat"));

  ASSERT_TRUE(StartOnDemo());
  ASSERT_EQ(interaction.Ids(), std::vector<int>{sid::kLibraryOpenFailed});
  EXPECT_EQ(interaction.shown().front().text,
            "It failed to open a QR_grad.dat.\nThe definition of the density control isn't "
            "kept in QR_grad.dat.");
  EXPECT_EQ(LibraryBox()->count(), 0);
  EXPECT_FALSE(window().libraryFileOpen());
  EXPECT_EQ(PrinterEntries(), (std::vector<std::string>{"Warm", "Cool"}));

  // Saving the library fails with string 28 and the flag is cleared.
  interaction.Clear();
  AddToLibrary("Bright");
  Button(ids::kApply)->click();
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kLibraryWriteFailed});
  EXPECT_FALSE(window().libraryModified);
  EXPECT_EQ(ReadFile(Path("QR_grad.dat")), before);
}

TEST_F(PpdFileWindow, AReadOnlyLibraryAsksFirst) {
  fs::permissions(Path("QR_grad.dat"), fs::perms::owner_write | fs::perms::group_write |
                                           fs::perms::others_write,
                  fs::perm_options::remove);
  interaction.Answer(true);
  ASSERT_TRUE(StartOnDemo());
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kLibraryReadOnly});
  EXPECT_EQ(interaction.shown().front().kind, MessageKind::Proceed);
  EXPECT_EQ(LibraryBox()->count(), 3);
}

// --- Browse --------------------------------------------------------------------

TEST_F(PpdFileWindow, BrowseOpensInTheCurrentFolderAndMovesToTheChosenFilesFolder) {
  fs::create_directory(Path("other"));
  WriteFile(Path("other/second.ppd"), PpdText("Second PS", {"Night"}));
  ASSERT_TRUE(StartOnDemo());
  fileDialog.Choose(QString::fromStdString(Path("other/second.ppd").string()));
  Button(ids::kBrowse)->click();
  ASSERT_EQ(fileDialog.calls().size(), 1u);
  EXPECT_EQ(fileDialog.calls()[0].directory.toStdString(), Dir().string());
  EXPECT_EQ(fileDialog.calls()[0].filters,
            QStringLiteral("Printer Definition Files (*.ppd *.spd);;All Files (*)"));
  EXPECT_EQ(QDir::currentPath().toStdString(), Path("other").string());
  EXPECT_EQ(NicknameField(), "Second PS");
  EXPECT_EQ(PrinterEntries(), std::vector<std::string>{"Night"});
  EXPECT_TRUE(interaction.Empty());

  fileDialog.Cancel();
  Button(ids::kBrowse)->click();
  EXPECT_EQ(fileDialog.calls()[1].directory.toStdString(), Path("other").string());
}

TEST_F(PpdFileWindow, BrowsingAFileOfAnotherMakeKeepsTheOldNicknameAndForbidsAdd) {
  WriteFile(Path("foreign.ppd"), PpdText("Foreign PS", {"Theirs"}, ""));
  const std::string foreign = ReadFile(Path("foreign.ppd"));
  ASSERT_TRUE(StartOnDemo());
  SelectLibrary("Soft");
  ASSERT_EQ(Commands(), "NCA-ED");
  fileDialog.Choose(QString::fromStdString(Path("foreign.ppd").string()));
  Button(ids::kBrowse)->click();
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kUnsupportedPpd});
  EXPECT_EQ(interaction.shown().front().kind, MessageKind::Information);
  EXPECT_TRUE(PrinterEntries().empty());
  EXPECT_EQ(NicknameField(), "Demo Color PS");
  EXPECT_EQ(window().browsedPpdPath, Path("foreign.ppd").string());
  EXPECT_FALSE(window().loadedPpd().has_value());
  EXPECT_FALSE(Enabled(ids::kAdd));
  // Selecting again does not bring Add back; nothing can reach the file.
  SelectLibrary("Vivid");
  EXPECT_FALSE(Enabled(ids::kAdd));
  EXPECT_EQ(ReadFile(Path("foreign.ppd")), foreign);
}

TEST_F(PpdFileWindow, APpdWithoutNicknameIsListedWithAnEmptyField) {
  WriteFile(Path("plain.ppd"), PpdText("", {"Plain"}));
  spooler.Add({"Other", "Other Make PS", PpdText("Other PS", {}, "")});
  ASSERT_TRUE(Start());
  SelectLibrary("Soft");
  Control<QRadioButton>(ids::kSelectPpd)->click();
  fileDialog.Choose(QString::fromStdString(Path("plain.ppd").string()));
  Button(ids::kBrowse)->click();
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(PrinterEntries(), std::vector<std::string>{"Plain"});
  EXPECT_EQ(NicknameField(), "");
  // Add at once, since a library entry is selected.
  EXPECT_TRUE(Enabled(ids::kAdd));
}

TEST_F(PpdFileWindow, CancellingBrowseReadsTheEarlierFileAgain) {
  ASSERT_TRUE(StartOnDemo());
  // Another program changes the file in between; the re-read shows it.
  WriteFile(Path("demo.ppd"), PpdText("Demo Color PS", {"Warm", "Cool", "Late"}));
  fileDialog.Cancel();
  Button(ids::kBrowse)->click();
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(PrinterEntries(), (std::vector<std::string>{"Warm", "Cool", "Late"}));
  EXPECT_EQ(NicknameField(), "Demo Color PS");
}

TEST_F(PpdFileWindow, CancellingTheFirstBrowseLeavesTheListEmpty) {
  spooler.Add({"Other", "Other Make PS", PpdText("Other PS", {}, "")});
  ASSERT_TRUE(Start());
  Control<QRadioButton>(ids::kSelectPpd)->click();
  EXPECT_FALSE(Enabled(ids::kPrinterCombo));
  EXPECT_TRUE(Enabled(ids::kBrowse));
  SelectLibrary("Soft");
  EXPECT_FALSE(Enabled(ids::kAdd));
  fileDialog.Cancel();
  Button(ids::kBrowse)->click();
  EXPECT_TRUE(interaction.Empty());
  EXPECT_TRUE(PrinterEntries().empty());
  EXPECT_FALSE(Enabled(ids::kAdd));
}

TEST_F(PpdFileWindow, BrowsingWithUnsavedChangesOffersToSaveThemFirst) {
  WriteFile(Path("second.ppd"), PpdText("Second PS", {"Night"}));
  for (bool save : {true, false}) {
    WriteFile(Path("demo.ppd"), PpdText("Demo Color PS", {"Warm", "Cool"}));
    ASSERT_TRUE(StartOnDemo());
    AddToPrinterList("Vivid");
    interaction.Answer(save);
    fileDialog.Choose(QString::fromStdString(Path("second.ppd").string()));
    Button(ids::kBrowse)->click();
    std::vector<int> expected{sid::kSaveBeforeSwitch};
    if (save) expected.push_back(sid::kPpdWritten);
    EXPECT_EQ(interaction.Ids(), expected);
    EXPECT_FALSE(window().printerListModified);
    EXPECT_EQ(PrinterEntries(), std::vector<std::string>{"Night"});
    const std::vector<std::string> demo =
        save ? std::vector<std::string>{"Warm", "Cool", "Vivid"}
             : std::vector<std::string>{"Warm", "Cool"};
    EXPECT_EQ(DefinitionsIn(Path("demo.ppd")), demo);
    EXPECT_EQ(DefinitionsIn(Path("second.ppd")), std::vector<std::string>{"Night"});
    interaction.Clear();
  }
}

TEST_F(PpdFileWindow, AFailedReadLeavesNothingThatCouldBeWritten) {
  // A section that is never closed: the reader reports string 23.
  std::string broken = PpdText("Broken PS", {"Half"});
  broken.erase(broken.find("*CloseUI: *VLTone"));
  WriteFile(Path("broken.ppd"), broken);
  ASSERT_TRUE(StartOnDemo());
  SelectLibrary("Soft");
  fileDialog.Choose(QString::fromStdString(Path("broken.ppd").string()));
  Button(ids::kBrowse)->click();
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kPpdConstructionError});
  EXPECT_TRUE(PrinterEntries().empty());
  EXPECT_FALSE(window().loadedPpd().has_value());
  EXPECT_FALSE(Enabled(ids::kAdd));
  SelectLibrary("Vivid");
  EXPECT_FALSE(Enabled(ids::kAdd));

  // Even a change that slipped through cannot be written anywhere.
  const std::string before = ReadFile(Path("broken.ppd"));
  const std::string demo = ReadFile(Path("demo.ppd"));
  interaction.Clear();
  window().printerListModified = true;
  Button(ids::kApply)->click();
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kPpdWriteFailed});
  EXPECT_EQ(ReadFile(Path("broken.ppd")), before);
  EXPECT_EQ(ReadFile(Path("demo.ppd")), demo);
}

TEST_F(PpdFileWindow, SelectPpdAgainReadsTheBrowsedFileAgain) {
  ASSERT_TRUE(StartOnDemo());
  WriteFile(Path("demo.ppd"), PpdText("Demo Color PS", {"Only"}));
  SelectLibrary("Soft");
  Control<QRadioButton>(ids::kSelectPpd)->click();
  EXPECT_EQ(PrinterEntries(), std::vector<std::string>{"Only"});
  EXPECT_TRUE(Enabled(ids::kAdd));
  EXPECT_TRUE(Button(ids::kBrowse)->hasFocus() || !window().isActiveWindow());
}

TEST_F(PpdFileWindow, BackToPrintersWithNoPrinterSelected) {
  ASSERT_TRUE(StartOnDemo());
  SelectLibrary("Soft");
  Control<QRadioButton>(ids::kSelectPrinter)->click();
  EXPECT_EQ(window().targetMode, ui::TargetMode::Printer);
  EXPECT_TRUE(Enabled(ids::kPrinterCombo));
  EXPECT_FALSE(Enabled(ids::kBrowse));
  EXPECT_FALSE(Enabled(ids::kPpdName));
  EXPECT_TRUE(PrinterEntries().empty());
  EXPECT_FALSE(Enabled(ids::kAdd));
  EXPECT_FALSE(window().loadedPpd().has_value());
  EXPECT_TRUE(interaction.Empty());
}

}  // namespace
}  // namespace tonalis::test
