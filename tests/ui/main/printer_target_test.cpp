// The main window on printers of a fake spooler: start-up with and without
// printers, the printer combo box, the radio buttons, and switching targets
// with unsaved changes.
#include <QApplication>

#include "ui/main/main_window_fixture.h"

namespace tonalis::test {
namespace {

constexpr int kServiceUnavailable = 0x0502;

class PrinterWindow : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    WriteFile(Path("QR_grad.dat"), LibraryImage({"Vivid", "Soft"}));
  }

  // Alpha (default) and Beta are supported, Plain is of another make.
  void AddUsualQueues() {
    spooler.Add({"Alpha", "Tonalis Alpha PS", PpdText("Alpha PS", {"Std", "Dark"})})
        .Add({"Plain", "Other Make PS", PpdText("Plain PS", {}, "")})
        .Add({"Beta", "Tonalis Beta PS", PpdText("Beta PS", {"Light"})});
    spooler.defaultQueue = "Alpha";
  }

  std::vector<std::string> ComboTexts() {
    std::vector<std::string> texts;
    for (int i = 0; i < Combo()->count(); ++i) texts.push_back(Combo()->itemText(i).toStdString());
    return texts;
  }

  std::vector<std::string> DefinitionsOfQueue(const std::string& queue) {
    const fs::path copy = Path(queue + ".copy.ppd");
    WriteFile(copy, spooler.Ppd(queue));
    return DefinitionsIn(copy);
  }
};

TEST_F(PrinterWindow, NoPrinterAtAllEndsTheWindowBeforeItIsShown) {
  EXPECT_FALSE(Start());
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kNoPrinter});
  EXPECT_EQ(interaction.shown().front().kind, MessageKind::Information);
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), QDialog::Rejected);
  EXPECT_FALSE(window().libraryFileOpen());
}

TEST_F(PrinterWindow, AFailedListingStopsStartUpButLeavesTheWindow) {
  AddUsualQueues();
  spooler.listFailure[SpoolerScope::Connections] =
      FakeSpooler::Fail(kServiceUnavailable, "scheduler gone");
  EXPECT_TRUE(Start());
  ASSERT_EQ(interaction.shown().size(), 1u);
  EXPECT_EQ(interaction.shown().front().kind, MessageKind::Stop);
  EXPECT_EQ(interaction.shown().front().text, "OnInitDialog : EnumPrinters(2) = 502");
  EXPECT_FALSE(window().ended());
  // Incomplete: no library, no printers; Exit still ends it.
  EXPECT_FALSE(window().libraryFileOpen());
  EXPECT_EQ(Combo()->count(), 0);
  Button(ids::kExit)->click();
  EXPECT_TRUE(window().ended());
}

TEST_F(PrinterWindow, TheDefaultPrinterIsShownAtOnce) {
  AddUsualQueues();
  ASSERT_TRUE(Start());
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(ComboTexts(), (std::vector<std::string>{"Alpha (Tonalis Alpha PS)",
                                                     "Beta (Tonalis Beta PS)"}));
  EXPECT_EQ(Combo()->currentIndex(), 0);
  EXPECT_EQ(PrinterEntries(), (std::vector<std::string>{"Std", "Dark"}));
  EXPECT_EQ(window().targetMode, ui::TargetMode::Printer);
  EXPECT_TRUE(Enabled(ids::kPrinterCombo));
  EXPECT_FALSE(Enabled(ids::kBrowse));
  EXPECT_TRUE(Enabled(ids::kPpdName));
  EXPECT_EQ(Commands(), "N-----");
  SelectLibrary("Soft");
  EXPECT_EQ(Commands(), "NCA-ED");
}

TEST_F(PrinterWindow, WithoutADefaultNothingIsChosenAndAddStaysOff) {
  AddUsualQueues();
  spooler.defaultQueue.clear();
  ASSERT_TRUE(Start());
  EXPECT_EQ(Combo()->currentIndex(), -1);
  EXPECT_TRUE(PrinterEntries().empty());
  SelectLibrary("Soft");
  EXPECT_EQ(Commands(), "NC--ED");
  // Picking a printer reads it and enables Add at once.
  ChoosePrinter(1);
  EXPECT_EQ(PrinterEntries(), std::vector<std::string>{"Light"});
  EXPECT_TRUE(Enabled(ids::kAdd));
}

TEST_F(PrinterWindow, PrintersAllOfOtherMakesGiveAnEmptyChoice) {
  spooler.Add({"Plain", "Other Make PS", PpdText("Plain PS", {}, "")});
  spooler.defaultQueue = "Plain";
  ASSERT_TRUE(Start());
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(Combo()->count(), 0);
  EXPECT_TRUE(PrinterEntries().empty());
  SelectLibrary("Vivid");
  EXPECT_FALSE(Enabled(ids::kAdd));
}

TEST_F(PrinterWindow, ChoosingAPrinterReadsItEvenTheSameOneAgain) {
  AddUsualQueues();
  ASSERT_TRUE(Start());
  ChoosePrinter(1);
  EXPECT_EQ(PrinterEntries(), std::vector<std::string>{"Light"});
  const std::size_t fetches = spooler.fetched.size();
  ChoosePrinter(1);
  EXPECT_GT(spooler.fetched.size(), fetches);
  EXPECT_EQ(spooler.fetched.back(), "Beta");
  EXPECT_TRUE(interaction.Empty());
}

TEST_F(PrinterWindow, SwitchingWithUnsavedChangesYesWritesThePreviousPrinterFirst) {
  AddUsualQueues();
  ASSERT_TRUE(Start());
  AddToPrinterList("Vivid");
  interaction.Answer(true);
  ChoosePrinter(1);
  EXPECT_EQ(interaction.Ids(), (std::vector<int>{sid::kSaveBeforeSwitch, sid::kPpdWritten}));
  EXPECT_EQ(interaction.shown().front().kind, MessageKind::YesNo);
  EXPECT_EQ(spooler.replaced, std::vector<std::string>{"Alpha"});
  EXPECT_EQ(spooler.fetched.back(), "Beta");
  EXPECT_FALSE(window().printerListModified);
  EXPECT_EQ(PrinterEntries(), std::vector<std::string>{"Light"});
  EXPECT_EQ(DefinitionsOfQueue("Alpha"), (std::vector<std::string>{"Std", "Dark", "Vivid"}));
}

TEST_F(PrinterWindow, SwitchingWithUnsavedChangesNoDropsThem) {
  AddUsualQueues();
  ASSERT_TRUE(Start());
  const std::string alpha = spooler.Ppd("Alpha");
  AddToPrinterList("Vivid");
  interaction.Answer(false);
  ChoosePrinter(1);
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kSaveBeforeSwitch});
  EXPECT_TRUE(spooler.replaced.empty());
  EXPECT_EQ(spooler.Ppd("Alpha"), alpha);
  EXPECT_FALSE(window().printerListModified);
  // Nothing is left to ask at Exit.
  interaction.Clear();
  Button(ids::kExit)->click();
  EXPECT_TRUE(interaction.Empty());
}

TEST_F(PrinterWindow, APrinterWhosePpdIsOfAnotherMakeIsRefusedWhenChosen) {
  AddUsualQueues();
  // Listed for its make and model, but its PPD is not a supported one.
  spooler.Add({"Odd", "OEM XXX Mono", PpdText("Odd PS", {"Theirs"}, "")});
  ASSERT_TRUE(Start());
  SelectLibrary("Soft");
  ASSERT_TRUE(Enabled(ids::kAdd));
  ChoosePrinter(2);
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kUnsupportedPpd});
  EXPECT_TRUE(PrinterEntries().empty());
  EXPECT_FALSE(window().loadedPpd().has_value());
  EXPECT_FALSE(Enabled(ids::kAdd));
  SelectLibrary("Vivid");
  EXPECT_FALSE(Enabled(ids::kAdd));
}

TEST_F(PrinterWindow, APrinterWhosePpdCannotBeFetchedCannotBeWritten) {
  AddUsualQueues();
  ASSERT_TRUE(Start());
  spooler.fetchFailure["Beta"] = FakeSpooler::Fail(0x0406, "Not Found");
  ChoosePrinter(1);
  // Once from the keyword check, once from the read.
  EXPECT_EQ(interaction.Ids(), (std::vector<int>{sid::kPpdOpenFailed, sid::kPpdOpenFailed}));
  EXPECT_FALSE(window().loadedPpd().has_value());
  EXPECT_FALSE(Enabled(ids::kAdd));
  interaction.Clear();
  window().printerListModified = true;
  Button(ids::kApply)->click();
  EXPECT_EQ(interaction.Ids(), std::vector<int>{sid::kPpdWriteFailed});
  EXPECT_TRUE(spooler.replaced.empty());
}

TEST_F(PrinterWindow, TheRadioButtonsSwitchTargetsAndAskFirst) {
  AddUsualQueues();
  WriteFile(Path("demo.ppd"), PpdText("Demo PS", {"Warm"}));
  ASSERT_TRUE(Start());
  ChoosePrinter(1);

  // To the PPD file: nothing browsed yet, so an empty list and no Add.
  AddToPrinterList("Vivid");
  interaction.Answer(true);
  Control<QRadioButton>(ids::kSelectPpd)->click();
  EXPECT_EQ(interaction.Ids(), (std::vector<int>{sid::kSaveBeforeSwitch, sid::kPpdWritten}));
  EXPECT_EQ(spooler.replaced, std::vector<std::string>{"Beta"});
  EXPECT_EQ(window().targetMode, ui::TargetMode::PpdFile);
  EXPECT_FALSE(Enabled(ids::kPrinterCombo));
  EXPECT_TRUE(Enabled(ids::kBrowse));
  EXPECT_TRUE(PrinterEntries().empty());

  fileDialog.Choose(QString::fromStdString(Path("demo.ppd").string()));
  Button(ids::kBrowse)->click();
  EXPECT_EQ(PrinterEntries(), std::vector<std::string>{"Warm"});
  // The combo box keeps the printer chosen before.
  EXPECT_EQ(Combo()->currentIndex(), 1);

  // Back to printers: the one still selected is read again.
  interaction.Clear();
  Control<QRadioButton>(ids::kSelectPrinter)->click();
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(window().targetMode, ui::TargetMode::Printer);
  EXPECT_EQ(PrinterEntries(), (std::vector<std::string>{"Light", "Vivid"}));
  EXPECT_TRUE(Enabled(ids::kPrinterCombo));
  EXPECT_FALSE(Enabled(ids::kBrowse));
  EXPECT_FALSE(Enabled(ids::kPpdName));
  EXPECT_EQ(NicknameField(), "Demo PS");
}

TEST_F(PrinterWindow, StartingOnAPpdFileStillListsThePrinters) {
  AddUsualQueues();
  WriteFile(Path("demo.ppd"), PpdText("Demo PS", {"Warm"}));
  ASSERT_TRUE(Start(Path("demo.ppd").string()));
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(Combo()->count(), 2);
  EXPECT_FALSE(Enabled(ids::kPrinterCombo));
  EXPECT_EQ(PrinterEntries(), std::vector<std::string>{"Warm"});
  // Written back into the file, not into the default printer read first.
  AddToPrinterList("Vivid");
  Button(ids::kApply)->click();
  EXPECT_TRUE(spooler.replaced.empty());
  EXPECT_EQ(DefinitionsIn(Path("demo.ppd")), (std::vector<std::string>{"Warm", "Vivid"}));
}

TEST_F(PrinterWindow, StartingOnAPpdFileWithoutAScheduler) {
  spooler.listFailure[SpoolerScope::Local] = FakeSpooler::Fail(kServiceUnavailable, "gone");
  WriteFile(Path("demo.ppd"), PpdText("Demo PS", {"Warm"}));
  ASSERT_TRUE(Start(Path("demo.ppd").string()));
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(Combo()->count(), 0);
  EXPECT_EQ(PrinterEntries(), std::vector<std::string>{"Warm"});
  EXPECT_TRUE(window().libraryFileOpen());
}

}  // namespace
}  // namespace tonalis::test
