// The printer list and a queue's PPD on a real CUPS scheduler each test starts for itself.
#include "discovery_fixture.h"
#include "printers/cups_spooler.h"
#include "printers/queue_target.h"
#include "support/private_cupsd.h"

namespace tonalis::test {
namespace {

const std::string kMarked = TONALIS_CUPS_TEST_DATA "/marked.ppd";

struct SchedulerTest : DiscoveryFixture {
  std::string Run(const std::vector<std::string>& argv) {
    std::string out;
    EXPECT_EQ(cupsd->Run(argv, &out), 0) << out;
    return out;
  }
  std::unique_ptr<PrivateCupsd> cupsd = std::make_unique<PrivateCupsd>();
  std::unique_ptr<CupsSpooler> spooler =
      (cupsd->UseAsConfigured(), std::make_unique<CupsSpooler>());
};

TEST_F(SchedulerTest, EmptySchedulerHasNoPrinterAndAStoppedOneSaysWhy) {
  EXPECT_EQ(CountPrinters(*spooler, ui), 0u);
  EXPECT_TRUE(Discover(*spooler).empty() && ui.Empty());
  cupsd.reset();
  spooler = std::make_unique<CupsSpooler>();
  EXPECT_EQ(Discover(*spooler, 0), Names{});
  ASSERT_EQ(ui.Texts(), Names{"Cannot read the printers from the print server " +
                              spooler->ServerName() + "."});
  EXPECT_FALSE(ui.shown()[0].detail.empty());
}

TEST_F(SchedulerTest, ListsAcceptedQueuesAndThoseForwardingToAnotherServer) {
  PrivateCupsd other;
  other.AddQueue("Far", kMarked);
  cupsd->AddQueue("Alpha", kMarked);
  cupsd->AddQueue("Oem", TONALIS_CUPS_TEST_DATA "/oem.ppd");
  cupsd->AddQueue("Plain", TONALIS_CUPS_TEST_DATA "/plain.ppd");
  cupsd->AddRawQueue("Raw");
  cupsd->AddRawQueue("Fwd", "ipp://" + other.Loopback() + "/printers/Far");
  cupsd->SetDefault("Fwd");
  EXPECT_EQ(CountPrinters(*spooler, ui), 5u);
  EXPECT_EQ(Discover(*spooler), (Names{"Alpha", "Oem", "Fwd"}));
  EXPECT_TRUE(ui.Empty()) << ui.Texts().front();
  EXPECT_EQ(discovery.entries[2].target->Describe(), "Far on " + other.Loopback());
  EXPECT_TRUE(discovery.loaded && discovery.defaultEntry == 2u);

  // The command line lists them, marking the default.
  cupsd->SetDefault("Oem");
  EXPECT_EQ(Run({TONALIS_CLI, "printers"}),
            "  Alpha (Tonalis Test Marked Colour PS)\n* Oem (OEM XXX Colour PS)\n"
            "  Fwd (Tonalis Test Marked Colour PS) via " + other.Loopback() + "\n");
}

TEST_F(SchedulerTest, ApplyingChangesThatQueueOnlyItsSavedChoiceFollowsAndARefusalKeepsThePpd) {
  cupsd->AddQueue("Alpha", kMarked);
  cupsd->AddQueue("Beta", kMarked);
  const std::string beta = cupsd->PpdFile("Beta");
  TempDir dir;
  std::filesystem::copy_file(TONALIS_SAMPLE_LIBRARY, dir / "QR_grad.dat");
  const auto apply = [&](const char* name) {
    Run({TONALIS_CLI, "apply", "--printer", "Alpha", "--library", dir / "QR_grad.dat", name});
  };
  apply("Darker");
  EXPECT_EQ(cupsd->PpdFile("Alpha").find('\r'), std::string::npos);
  EXPECT_EQ(cupsd->PpdFile("Beta"), beta);
  // When a later apply drops Darker, the user's saved choice of it goes too.
  Run({"lpoptions", "-p", "Alpha", "-o", "VLTone=Gumma1"});
  ASSERT_NE(Run({"lpoptions", "-p", "Alpha"}).find("VLTone=Gumma1"), std::string::npos);
  apply("Standard");
  EXPECT_EQ(Run({"lpoptions", "-p", "Alpha"}).find("VLTone"), std::string::npos);
  // A replacement the scheduler refuses leaves the PPD as it was; a gone queue stays gone.
  const std::string before = cupsd->PpdFile("Alpha");
  const ReplaceResult refused = PpdQueueTarget(*spooler, {"", "Alpha"}).Replace("not a PPD\r\n");
  EXPECT_EQ(refused.failedStep, "scheduler");
  EXPECT_FALSE(refused.ok || refused.reason.empty());
  EXPECT_EQ(cupsd->PpdFile("Alpha"), before);
  EXPECT_EQ(PpdQueueTarget(*spooler, {"", "Gone"}).Replace(before).error, ENOENT);
  EXPECT_NE(cupsd->Run({"lpstat", "-p", "Gone"}), 0);
}

}  // namespace
}  // namespace tonalis::test
