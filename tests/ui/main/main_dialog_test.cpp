// The main window on PPD files: start-up, the two lists and their enable
// rules, Apply, the ways to end it, and Browse.
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "ui/main/main_window_fixture.h"

namespace tonalis::test {
namespace {

// A machine without printers, started on demo.ppd.
class PpdFileWindow : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Write("demo.ppd", PpdText("Demo Color PS", {"Warm", "Cool"}));
    Write("QR_grad.dat", LibraryImage({"Vivid", "Soft", "Neutral"}));
  }
  bool StartOnDemo() { return Start("demo.ppd"); }
  // A machine whose only printer is of another make, started on it.
  bool StartOnPrinters() {
    spooler.Add({"Other", "Other Make PS", PpdText("Other PS", {}, "")});
    return Start();
  }
};

// "[id]" for the captions, to see which string each control shows.
class NumberedStrings : public StringSource {
 public:
  explicit NumberedStrings(bool about) : about_(about) {}
  std::string Load(int id) const override {
    if (id == sid::kAbout && !about_)
      return {};
    if (id > 30 && id < 57)
      return "[" + std::to_string(id) + "]";
    return DefaultStrings().Load(id);
  }

 private:
  bool about_;
};

TEST_F(PpdFileWindow, CaptionsComeFromTheStringTableAndAboutSitsInTheContextMenu) {
  NumberedStrings strings(true);
  ASSERT_TRUE(Start("demo.ppd", strings));
  EXPECT_EQ(window().windowTitle(), "[31]");
  EXPECT_EQ(Control<QGroupBox>(ids::kLibraryGroup)->title(), "[32]");
  EXPECT_EQ(Control<QLabel>(ids::kLibraryLabel)->text(), "[33]");
  EXPECT_EQ(Control<QGroupBox>(ids::kPrinterGroup)->title(), "[40]");
  EXPECT_EQ(Control<QLabel>(ids::kPrinterLabel)->text(), "[41]");
  for (auto [id, string] : {std::pair{ids::kNew, 34},
                            {ids::kCopy, 35},
                            {ids::kAdd, 36},
                            {ids::kPickOut, 37},
                            {ids::kEdit, 38},
                            {ids::kDelete, 39},
                            {ids::kSelectPrinter, 42},
                            {ids::kSelectPpd, 43},
                            {ids::kBrowse, 44},
                            {ids::kExit, 45},
                            {ids::kCancel, 46},
                            {ids::kApply, 47},
                            {ids::kHelp, 48}}) {
    EXPECT_EQ(Control<QAbstractButton>(id)->text(), QStringLiteral("[%1]").arg(string)) << id;
  }

  ASSERT_EQ(window().actions().size(), 1);
  EXPECT_EQ(window().contextMenuPolicy(), Qt::ActionsContextMenu);
  EXPECT_EQ(window().actions().front()->text(), "[56]");
  bool asked = false;
  QObject::connect(&window(), &ui::MainDialog::aboutRequested, [&] { asked = true; });
  window().actions().front()->trigger();
  EXPECT_TRUE(asked);
  // From the keyboard too.
  QApplication::setActiveWindow(&window());
  QTest::keyClick(&window(), Qt::Key_F10, Qt::ShiftModifier);
  auto* menu = window().findChild<QMenu*>();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  EXPECT_EQ(menu->actions(), window().actions());
  menu->close();

  NumberedStrings withoutAbout(false);
  ASSERT_TRUE(Start("demo.ppd", withoutAbout));
  EXPECT_TRUE(window().actions().isEmpty());
}

TEST_F(PpdFileWindow, StartsOnTheGivenPpdWithTheLibrarySortedWithoutRegardToCase) {
  Write("QR_grad.dat", LibraryImage({"beta", "ABC", "\xE4rger", "Alpha", "abc", "_x"}));
  ASSERT_TRUE(StartOnDemo());
  EXPECT_TRUE(interaction.Empty());
  EXPECT_TRUE(Control<QRadioButton>(ids::kSelectPpd)->isChecked());
  EXPECT_EQ(window().targetMode, ui::TargetMode::PpdFile);
  EXPECT_FALSE(Enabled(ids::kPrinterCombo));
  EXPECT_TRUE(Enabled(ids::kBrowse));
  EXPECT_EQ(NicknameField(), "Demo Color PS");
  EXPECT_EQ(PrinterEntries(), (Names{"Warm", "Cool"}));
  EXPECT_EQ(Commands(), "N-----");
  // abc and ABC side by side, each kept as written.
  EXPECT_EQ(LibraryEntries(), (Names{"_x", "ABC", "abc", "Alpha", "beta", "\xE4rger"}));
  // Names are Latin-1 bytes.
  EXPECT_EQ(LibraryBox()->item(5)->text(), QString::fromUtf8("\xC3\xA4rger"));
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

  // Six on the right: selecting leaves Add as it was, a read enables it.
  Write("six.ppd", PpdText("Six", {"1", "2", "3", "4", "5", "6"}));
  Browse("six.ppd");
  SelectLibrary("Soft");
  EXPECT_EQ(Commands(), "NC--ED");
  Browse("six.ppd");
  EXPECT_EQ(Commands(), "NCA-ED");
}

TEST_F(PpdFileWindow, AFullLibraryDisablesNewAndNeverEnablesCopyOrPickOut) {
  Names names;
  for (int i = 0; i < 100; ++i) names.push_back("Def " + std::to_string(i));
  Write("QR_grad.dat", LibraryImage(names));
  ASSERT_TRUE(StartOnDemo());
  EXPECT_EQ(Commands(), "------");
  SelectLibrary("Def 42");
  EXPECT_EQ(Commands(), "--A-ED");
  SelectPrinterEntry(0);
  EXPECT_EQ(Commands(), "----ED");
}

TEST_F(PpdFileWindow, ApplyWritesWhatChangedAndNothingElse) {
  const std::string library = Read("QR_grad.dat");
  ASSERT_TRUE(StartOnDemo());
  const auto ppdTime = fs::last_write_time(Path("demo.ppd"));
  Click(ids::kApply);
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(Read("QR_grad.dat"), library);
  EXPECT_EQ(fs::last_write_time(Path("demo.ppd")), ppdTime);

  AddToLibrary("Bright");
  AddToPrinterList("Vivid");
  Click(ids::kApply);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kPpdWritten});
  EXPECT_FALSE(window().libraryModified || window().printerListModified);
  EXPECT_EQ(DefinitionsIn(Read("demo.ppd")), (Names{"Warm", "Cool", "Vivid"}));
  EXPECT_EQ(fs::file_size(Path("QR_grad.dat")), kLibraryFileBytes);
  EXPECT_NE(Read("QR_grad.dat").find("Bright"), std::string::npos);
}

TEST_F(PpdFileWindow, ExitAsksWhenEitherListChangedAndYesWritesOnlyWhatChanged) {
  ASSERT_TRUE(StartOnDemo());
  const std::string ppd = Read("demo.ppd");
  AddToLibrary("Bright");
  interaction.Answer(true);
  Click(ids::kExit);
  ASSERT_EQ(interaction.Ids(), Ids{sid::kSaveBeforeExit});
  EXPECT_EQ(interaction.shown().front().kind, MessageKind::YesNo);
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), QDialog::Accepted);
  EXPECT_FALSE(window().libraryFileOpen());
  EXPECT_EQ(Read("demo.ppd"), ppd);
  EXPECT_NE(Read("QR_grad.dat").find("Bright"), std::string::npos);

  // Closing from the title bar is Exit.
  interaction.Clear();
  ASSERT_TRUE(StartOnDemo());
  AddToPrinterList("Vivid");
  interaction.Answer(true);
  window().close();
  EXPECT_EQ(interaction.Ids(), (Ids{sid::kSaveBeforeExit, sid::kPpdWritten}));
  EXPECT_TRUE(window().ended());
  EXPECT_FALSE(window().isVisible());
  EXPECT_EQ(DefinitionsIn(Read("demo.ppd")), (Names{"Warm", "Cool", "Vivid"}));
}

TEST_F(PpdFileWindow, NoAtExitCancelAndEscapeWriteNothing) {
  const std::string library = Read("QR_grad.dat");
  const std::string ppd = Read("demo.ppd");
  for (const char* how : {"No", "Cancel", "Escape"}) {
    SCOPED_TRACE(how);
    interaction.Clear();
    ASSERT_TRUE(StartOnDemo());
    AddToLibrary("Bright");
    AddToPrinterList("Vivid");
    if (how == std::string("No")) {
      interaction.Answer(false);
      Click(ids::kExit);
      EXPECT_EQ(interaction.Ids(), Ids{sid::kSaveBeforeExit});
    } else {
      if (how == std::string("Cancel"))
        Click(ids::kCancel);
      else
        QTest::keyClick(&window(), Qt::Key_Escape);
      EXPECT_TRUE(interaction.Empty());
      EXPECT_EQ(window().result(), QDialog::Rejected);
    }
    EXPECT_TRUE(window().ended());
    EXPECT_EQ(Read("QR_grad.dat"), library);
    EXPECT_EQ(Read("demo.ppd"), ppd);
  }
}

TEST_F(PpdFileWindow, EnterIsExitUnlessAnotherButtonHasTheFocus) {
  ASSERT_TRUE(StartOnDemo());
  QApplication::setActiveWindow(&window());
  LibraryBox()->setFocus();
  QTest::keyClick(LibraryBox(), Qt::Key_Return);
  EXPECT_TRUE(interaction.Empty());
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), QDialog::Accepted);
}

TEST_F(PpdFileWindow, ASecondRunningCopyWorksOnWithAnEmptyLibrary) {
  LibraryFile first(Path("QR_grad.dat").string());
  auto held = std::make_unique<DefinitionLibrary>();
  ScriptedInteraction quiet;
  ASSERT_TRUE(first.Open(*held, quiet));
  const std::string before = Read("QR_grad.dat");

  ASSERT_TRUE(StartOnDemo());
  ASSERT_EQ(interaction.Ids(), Ids{sid::kLibraryOpenFailed});
  EXPECT_EQ(interaction.shown().front().text,
            "It failed to open a QR_grad.dat.\nThe definition of the density control isn't "
            "kept in QR_grad.dat.");
  EXPECT_EQ(LibraryBox()->count(), 0);
  EXPECT_EQ(PrinterEntries(), (Names{"Warm", "Cool"}));

  interaction.Clear();
  AddToLibrary("Bright");
  Click(ids::kApply);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kLibraryWriteFailed});
  EXPECT_FALSE(window().libraryModified);
  EXPECT_EQ(Read("QR_grad.dat"), before);
}

// --- Browse and the PPD-file mode --------------------------------------------

TEST_F(PpdFileWindow, BrowseStartsInTheCurrentFolderAndMovesToTheChosenFilesFolder) {
  fs::create_directory(Path("other"));
  Write("other/second.ppd", PpdText("Second PS", {"Night"}));
  ASSERT_TRUE(StartOnDemo());
  Browse("other/second.ppd");
  ASSERT_EQ(fileDialog.calls().size(), 1u);
  EXPECT_EQ(fileDialog.calls()[0].directory.toStdString(), Path("").parent_path().string());
  EXPECT_EQ(fileDialog.calls()[0].filters,
            QStringLiteral("Printer Definition Files (*.ppd *.spd);;All Files (*)"));
  EXPECT_EQ(NicknameField(), "Second PS");
  EXPECT_EQ(PrinterEntries(), Names{"Night"});
  EXPECT_TRUE(interaction.Empty());

  fileDialog.Cancel();
  Click(ids::kBrowse);
  EXPECT_EQ(fileDialog.calls()[1].directory.toStdString(), Path("other").string());
}

TEST_F(PpdFileWindow, AFileOfAnotherMakeKeepsTheOldNicknameAndCanNeverBeWritten) {
  Write("foreign.ppd", PpdText("Foreign PS", {"Theirs"}, ""));
  const std::string foreign = Read("foreign.ppd");
  ASSERT_TRUE(StartOnDemo());
  SelectLibrary("Soft");
  Browse("foreign.ppd");
  EXPECT_EQ(interaction.Ids(), Ids{sid::kUnsupportedPpd});
  EXPECT_TRUE(PrinterEntries().empty());
  EXPECT_EQ(NicknameField(), "Demo Color PS");
  EXPECT_EQ(window().browsedPpdPath, Path("foreign.ppd").string());
  EXPECT_FALSE(Enabled(ids::kAdd));
  SelectLibrary("Vivid");
  EXPECT_FALSE(Enabled(ids::kAdd));
  // Even a change that slipped through has nowhere to go.
  interaction.Clear();
  window().printerListModified = true;
  Click(ids::kApply);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kPpdWriteFailed});
  EXPECT_EQ(Read("foreign.ppd"), foreign);
}

TEST_F(PpdFileWindow, APpdWithoutNicknameIsListedWithAnEmptyField) {
  Write("plain.ppd", PpdText("", {"Plain"}));
  ASSERT_TRUE(StartOnPrinters());
  SelectLibrary("Soft");
  Click(ids::kSelectPpd);
  Browse("plain.ppd");
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(PrinterEntries(), Names{"Plain"});
  EXPECT_EQ(NicknameField(), "");
  EXPECT_TRUE(Enabled(ids::kAdd));
}

TEST_F(PpdFileWindow, CancellingBrowseReadsTheEarlierFileAgainIfThereIsOne) {
  ASSERT_TRUE(StartOnDemo());
  Write("demo.ppd", PpdText("Demo Color PS", {"Warm", "Cool", "Late"}));
  fileDialog.Cancel();
  Click(ids::kBrowse);
  EXPECT_EQ(PrinterEntries(), (Names{"Warm", "Cool", "Late"}));

  ASSERT_TRUE(StartOnPrinters());
  Click(ids::kSelectPpd);
  EXPECT_FALSE(Enabled(ids::kPrinterCombo));
  EXPECT_TRUE(Enabled(ids::kBrowse));
  SelectLibrary("Soft");
  fileDialog.Cancel();
  Click(ids::kBrowse);
  EXPECT_TRUE(PrinterEntries().empty());
  EXPECT_FALSE(Enabled(ids::kAdd));
  EXPECT_TRUE(interaction.Empty());
}

TEST_F(PpdFileWindow, BrowsingWithUnsavedChangesOffersToSaveThemFirst) {
  Write("second.ppd", PpdText("Second PS", {"Night"}));
  for (bool save : {true, false}) {
    Write("demo.ppd", PpdText("Demo Color PS", {"Warm", "Cool"}));
    interaction.Clear();
    ASSERT_TRUE(StartOnDemo());
    AddToPrinterList("Vivid");
    interaction.Answer(save);
    Browse("second.ppd");
    EXPECT_EQ(interaction.Ids(),
              (save ? Ids{sid::kSaveBeforeSwitch, sid::kPpdWritten} : Ids{sid::kSaveBeforeSwitch}));
    EXPECT_FALSE(window().printerListModified);
    EXPECT_EQ(PrinterEntries(), Names{"Night"});
    EXPECT_EQ(DefinitionsIn(Read("demo.ppd")),
              (save ? Names{"Warm", "Cool", "Vivid"} : Names{"Warm", "Cool"}));
  }
}

}  // namespace
}  // namespace tonalis::test
