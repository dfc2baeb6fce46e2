// The main window on the printers of a fake spooler: start-up with and
// without printers, the printer combo box, the radio buttons, and switching
// targets with unsaved changes.
#include "ui/main/main_window_fixture.h"

namespace tonalis::test {
namespace {

constexpr int kServiceUnavailable = 0x0502;

class PrinterWindow : public MainWindowTest {
 protected:
  // Alpha (the default) and Beta are supported, Plain is of another make.
  void SetUp() override {
    MainWindowTest::SetUp();
    Write("QR_grad.dat", LibraryImage({"Vivid", "Soft"}));
    spooler.Add({"Alpha", "Tonalis Alpha PS", PpdText("Alpha PS", {"Std", "Dark"})})
        .Add({"Plain", "Other Make PS", PpdText("Plain PS", {}, "")})
        .Add({"Beta", "Tonalis Beta PS", PpdText("Beta PS", {"Light"})});
    spooler.defaultQueue = "Alpha";
  }
};

TEST_F(PrinterWindow, NoPrinterAtAllEndsTheWindowBeforeItIsShown) {
  FakeSpooler none;
  activeSpooler = &none;
  EXPECT_FALSE(Start());
  EXPECT_EQ(interaction.Ids(), Ids{sid::kNoPrinter});
  EXPECT_EQ(interaction.shown().front().kind, MessageKind::Information);
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), QDialog::Rejected);
  EXPECT_FALSE(window().libraryFileOpen());
}

TEST_F(PrinterWindow, AFailedListingStopsStartUpButLeavesTheWindow) {
  spooler.listFailure[SpoolerScope::Connections] = FakeSpooler::Fail(kServiceUnavailable, "gone");
  EXPECT_TRUE(Start());
  ASSERT_EQ(interaction.shown().size(), 1u);
  EXPECT_EQ(interaction.shown().front().kind, MessageKind::Stop);
  EXPECT_EQ(interaction.shown().front().text, "OnInitDialog : EnumPrinters(2) = 502");
  EXPECT_FALSE(window().libraryFileOpen());
  EXPECT_EQ(Combo()->count(), 0);
  Click(ids::kExit);
  EXPECT_TRUE(window().ended());
}

TEST_F(PrinterWindow, TheDefaultPrinterIsShownAtOnceAndOtherMakesAreLeftOut) {
  ASSERT_TRUE(Start());
  EXPECT_TRUE(interaction.Empty());
  ASSERT_EQ(Combo()->count(), 2);
  EXPECT_EQ(Combo()->itemText(0), "Alpha (Tonalis Alpha PS)");
  EXPECT_EQ(Combo()->itemText(1), "Beta (Tonalis Beta PS)");
  EXPECT_EQ(Combo()->currentIndex(), 0);
  EXPECT_EQ(PrinterEntries(), (Names{"Std", "Dark"}));
  EXPECT_TRUE(Enabled(ids::kPrinterCombo));
  EXPECT_FALSE(Enabled(ids::kBrowse));
  EXPECT_TRUE(Enabled(ids::kPpdName));
  SelectLibrary("Soft");
  EXPECT_EQ(Commands(), "NCA-ED");
}

TEST_F(PrinterWindow, WithoutADefaultOrWithPrintersOfOtherMakesAddStaysOff) {
  spooler.defaultQueue.clear();
  ASSERT_TRUE(Start());
  EXPECT_EQ(Combo()->currentIndex(), -1);
  EXPECT_TRUE(PrinterEntries().empty());
  SelectLibrary("Soft");
  EXPECT_EQ(Commands(), "NC--ED");
  // Picking a printer reads it and enables Add at once.
  ChoosePrinter(1);
  EXPECT_EQ(PrinterEntries(), Names{"Light"});
  EXPECT_TRUE(Enabled(ids::kAdd));

  FakeSpooler others;
  others.Add({"Plain", "Other Make PS", PpdText("Plain PS", {}, "")});
  others.defaultQueue = "Plain";
  activeSpooler = &others;
  ASSERT_TRUE(Start());
  EXPECT_EQ(Combo()->count(), 0);
  SelectLibrary("Soft");
  EXPECT_FALSE(Enabled(ids::kAdd));
  EXPECT_TRUE(interaction.Empty());
}

TEST_F(PrinterWindow, ChoosingTheSamePrinterAgainReadsItAgain) {
  ASSERT_TRUE(Start());
  ChoosePrinter(1);
  const std::size_t fetches = spooler.fetched.size();
  ChoosePrinter(1);
  EXPECT_GT(spooler.fetched.size(), fetches);
  EXPECT_EQ(spooler.fetched.back(), "Beta");
}

TEST_F(PrinterWindow, SwitchingWithUnsavedChangesYesWritesThePreviousPrinterNoDropsThem) {
  for (bool save : {false, true}) {
    SCOPED_TRACE(save);
    interaction.Clear();
    spooler.replaced.clear();
    ASSERT_TRUE(Start());
    AddToPrinterList("Vivid");
    interaction.Answer(save);
    ChoosePrinter(1);
    EXPECT_EQ(interaction.Ids(),
              (save ? Ids{sid::kSaveBeforeSwitch, sid::kPpdWritten} : Ids{sid::kSaveBeforeSwitch}));
    EXPECT_EQ(spooler.replaced, (save ? Names{"Alpha"} : Names{}));
    EXPECT_EQ(spooler.fetched.back(), "Beta");
    EXPECT_EQ(DefinitionsIn(spooler.Ppd("Alpha")),
              (save ? Names{"Std", "Dark", "Vivid"} : Names{"Std", "Dark"}));
    EXPECT_EQ(PrinterEntries(), Names{"Light"});
    EXPECT_FALSE(window().printerListModified);
  }
}

TEST_F(PrinterWindow, APrinterThatCannotBeReadCannotBeAddedToOrWritten) {
  // Listed for its make and model, but its PPD is not a supported one.
  spooler.Add({"Odd", "OEM XXX Mono", PpdText("Odd PS", {"Theirs"}, "")});
  ASSERT_TRUE(Start());
  spooler.fetchFailure["Beta"] = FakeSpooler::Fail(0x0406, "Not Found");
  SelectLibrary("Soft");
  ASSERT_TRUE(Enabled(ids::kAdd));
  ChoosePrinter(2);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kUnsupportedPpd});
  EXPECT_TRUE(PrinterEntries().empty());
  EXPECT_FALSE(Enabled(ids::kAdd));

  interaction.Clear();
  ChoosePrinter(1);
  // Once from the keyword check, once from the read.
  EXPECT_EQ(interaction.Ids(), (Ids{sid::kPpdOpenFailed, sid::kPpdOpenFailed}));
  SelectLibrary("Vivid");
  EXPECT_FALSE(Enabled(ids::kAdd));
  interaction.Clear();
  window().printerListModified = true;
  Click(ids::kApply);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kPpdWriteFailed});
  EXPECT_TRUE(spooler.replaced.empty());
}

TEST_F(PrinterWindow, TheRadioButtonsSwitchTargetsAndAskFirst) {
  Write("demo.ppd", PpdText("Demo PS", {"Warm"}));
  ASSERT_TRUE(Start());
  ChoosePrinter(1);

  // To the PPD file: nothing browsed yet, so an empty list.
  AddToPrinterList("Vivid");
  interaction.Answer(true);
  Click(ids::kSelectPpd);
  EXPECT_EQ(interaction.Ids(), (Ids{sid::kSaveBeforeSwitch, sid::kPpdWritten}));
  EXPECT_EQ(spooler.replaced, Names{"Beta"});
  EXPECT_EQ(window().targetMode, ui::TargetMode::PpdFile);
  EXPECT_FALSE(Enabled(ids::kPrinterCombo));
  EXPECT_TRUE(Enabled(ids::kBrowse));
  EXPECT_TRUE(PrinterEntries().empty());
  Browse("demo.ppd");
  EXPECT_EQ(PrinterEntries(), Names{"Warm"});
  EXPECT_EQ(Combo()->currentIndex(), 1);

  // Back to printers: the one still selected is read again.
  interaction.Clear();
  Click(ids::kSelectPrinter);
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(window().targetMode, ui::TargetMode::Printer);
  EXPECT_EQ(PrinterEntries(), (Names{"Light", "Vivid"}));
  EXPECT_TRUE(Enabled(ids::kPrinterCombo));
  EXPECT_FALSE(Enabled(ids::kBrowse));
  EXPECT_FALSE(Enabled(ids::kPpdName));
}

TEST_F(PrinterWindow, StartingOnAPpdFileWritesIntoTheFileAndNeedsNoScheduler) {
  Write("demo.ppd", PpdText("Demo PS", {"Warm"}));
  ASSERT_TRUE(Start("demo.ppd"));
  EXPECT_EQ(Combo()->count(), 2);
  AddToPrinterList("Vivid");
  Click(ids::kApply);
  EXPECT_TRUE(spooler.replaced.empty());
  EXPECT_EQ(DefinitionsIn(Read("demo.ppd")), (Names{"Warm", "Vivid"}));

  spooler.listFailure[SpoolerScope::Local] = FakeSpooler::Fail(kServiceUnavailable, "gone");
  interaction.Clear();
  ASSERT_TRUE(Start("demo.ppd"));
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(Combo()->count(), 0);
  EXPECT_EQ(PrinterEntries(), (Names{"Warm", "Vivid"}));
  EXPECT_TRUE(window().libraryFileOpen());
}

}  // namespace
}  // namespace tonalis::test
