// The window's start-up against a real scheduler of the test's own: the
// default printer is shown at once, a change is written back into the
// scheduler's copy of its PPD, and the next start shows it.
#include "printers/cups_spooler.h"
#include "support/private_cupsd.h"
#include "ui/main/main_window_fixture.h"

namespace tonalis::test {
namespace {

std::string Data(const std::string& name) {
  return std::string(TONALIS_CUPS_TEST_DATA) + "/" + name;
}

class SchedulerWindow : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    cupsd = std::make_unique<PrivateCupsd>();
    cupsd->UseAsConfigured();
    cups = std::make_unique<CupsSpooler>();
    activeSpooler = cups.get();
    WriteFile(Path("QR_grad.dat"), LibraryImage({"Vivid", "Soft"}));
  }

  std::unique_ptr<PrivateCupsd> cupsd;
  std::unique_ptr<CupsSpooler> cups;
};

TEST_F(SchedulerWindow, StartsOnTheDefaultPrinterAndWritesIntoIt) {
  cupsd->AddQueue("Alpha", Data("marked.ppd"));
  cupsd->AddQueue("Plain", Data("plain.ppd"));
  cupsd->AddQueue("Beta", Data("marked.ppd"));
  cupsd->SetDefault("Beta");

  ASSERT_TRUE(Start());
  EXPECT_TRUE(interaction.Empty()) << interaction.Texts().front();
  ASSERT_EQ(Combo()->count(), 2);
  EXPECT_TRUE(Combo()->itemText(0).startsWith("Alpha ("));
  EXPECT_TRUE(Combo()->itemText(1).startsWith("Beta ("));
  EXPECT_EQ(Combo()->currentIndex(), 1);
  EXPECT_TRUE(PrinterEntries().empty());
  SelectLibrary("Vivid");
  EXPECT_TRUE(Enabled(ids::kAdd));

  const std::string alpha = cupsd->PpdFile("Alpha");
  Click(ids::kAdd);
  interaction.Answer(true);
  Click(ids::kExit);
  EXPECT_EQ(interaction.Ids(), (Ids{sid::kSaveBeforeExit, sid::kPpdWritten}))
      << interaction.Texts().back() << "\n"
      << interaction.shown().back().detail;
  EXPECT_EQ(cupsd->PpdFile("Alpha"), alpha);

  // A new start reads the default printer's PPD back from the scheduler.
  interaction.Clear();
  ASSERT_TRUE(Start());
  EXPECT_TRUE(interaction.Empty());
  EXPECT_EQ(PrinterEntries(), Names{"Vivid"});
}

}  // namespace
}  // namespace tonalis::test
