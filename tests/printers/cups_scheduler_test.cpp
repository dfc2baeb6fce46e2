// The printer list and a queue's PPD on a real CUPS scheduler that each test
// starts for itself, with queues added by lpadmin.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "formats/ppd_tone.h"
#include "model/definition_table.h"
#include "printers/cups_spooler.h"
#include "printers/printer_discovery.h"
#include "printers/queue_target.h"
#include "support/private_cupsd.h"
#include "support/scripted_interaction.h"
#include "support/temp_dir.h"

namespace tonalis {
namespace {

using Names = std::vector<std::string>;

std::string Data(const std::string& name) { return std::string(TONALIS_CUPS_TEST_DATA) + "/" + name; }

class SchedulerTest : public ::testing::Test {
 protected:
  SchedulerTest() {
    cupsd->UseAsConfigured();
    spooler = std::make_unique<CupsSpooler>();
  }

  Names Discover(int result = 1) {
    discovery = {};
    EXPECT_EQ(DiscoverPrinters(*spooler, discovery, *list, services), result);
    Names out;
    for (const PrinterEntry& e : discovery.entries) out.push_back(e.queue);
    return out;
  }
  std::string Run(const std::vector<std::string>& argv) {
    std::string out;
    EXPECT_EQ(cupsd->Run(argv, &out), 0) << out;
    return out;
  }

  std::unique_ptr<test::PrivateCupsd> cupsd = std::make_unique<test::PrivateCupsd>();
  std::unique_ptr<CupsSpooler> spooler;
  test::ScriptedInteraction ui;
  PpdServices services{ui};
  PrinterDiscovery discovery;
  std::unique_ptr<PrinterDefinitionList> list = std::make_unique<PrinterDefinitionList>();
};

TEST_F(SchedulerTest, EmptySchedulerHasNoPrinterAndAStoppedOneSaysWhy) {
  EXPECT_EQ(CountPrinters(*spooler, ui), 0u);
  EXPECT_EQ(Discover(), Names{});
  EXPECT_TRUE(ui.Empty());

  cupsd.reset();
  spooler = std::make_unique<CupsSpooler>();
  EXPECT_EQ(Discover(0), Names{});
  ASSERT_EQ(ui.Texts(), Names{"Cannot read the printers from the print server " +
                              spooler->ServerName() + "."});
  EXPECT_FALSE(ui.shown()[0].detail.empty());
}

TEST_F(SchedulerTest, ListsAcceptedQueuesAndThoseForwardingToAnotherServer) {
  test::PrivateCupsd other;
  other.AddQueue("Far", Data("marked.ppd"));
  cupsd->AddQueue("Alpha", Data("marked.ppd"));
  cupsd->AddQueue("Oem", Data("oem.ppd"));
  cupsd->AddQueue("Plain", Data("plain.ppd"));
  cupsd->AddRawQueue("Raw");
  cupsd->AddRawQueue("Fwd", "ipp://" + other.Loopback() + "/printers/Far");
  cupsd->SetDefault("Fwd");

  EXPECT_EQ(CountPrinters(*spooler, ui), 5u);
  EXPECT_EQ(Discover(), (Names{"Alpha", "Oem", "Fwd"}));
  EXPECT_TRUE(ui.Empty()) << ui.Texts().front();
  const PrinterEntry& fwd = discovery.entries[2];
  EXPECT_EQ(fwd.server, other.Loopback());
  EXPECT_EQ(fwd.driver, "Tonalis Test Marked Colour PS");
  EXPECT_EQ(fwd.target->Describe(), "Far on " + other.Loopback());
  ASSERT_TRUE(discovery.loaded);
  EXPECT_EQ(discovery.defaultEntry, 2u);

  // The command line lists the local ones, marking the default.
  cupsd->SetDefault("Oem");
  EXPECT_EQ(Run({TONALIS_CLI, "printers"}),
            "  Alpha (Tonalis Test Marked Colour PS)\n* Oem (OEM XXX Colour PS)\n"
            "  Fwd (Tonalis Test Marked Colour PS) via " + other.Loopback() + "\n");
}

TEST_F(SchedulerTest, WritingAQueueChangesThatQueueOnlyAndItsSavedChoiceFollows) {
  cupsd->AddQueue("Alpha", Data("marked.ppd"));
  cupsd->AddQueue("Beta", Data("marked.ppd"));
  const std::string betaBefore = cupsd->PpdFile("Beta");
  ASSERT_EQ(Discover(), (Names{"Alpha", "Beta"}));

  PpdReadOutcome read = GetPPDToneInfo(discovery.entries[0].target, *list, services);
  ASSERT_EQ(read.result, kPpdLoaded);
  DensityDef def = NewDefinition();
  SetName(def, "Warm");
  InsertDefinition(*list, def, InsertMode::AddMode());
  ASSERT_TRUE(SetPPDToneInfo(*read.loaded, *list, services)) << ui.Texts().back();
  EXPECT_NE(Run({"lpoptions", "-p", "Alpha", "-l"}).find("VLTone/"), std::string::npos);
  EXPECT_EQ(cupsd->PpdFile("Alpha").find('\r'), std::string::npos);
  EXPECT_EQ(cupsd->PpdFile("Beta"), betaBefore);

  // The user saved Warm as the queue's default; when a later apply drops
  // Warm, the saved choice goes too (run as its own process, which reads the
  // private scheduler's option files).
  Run({"lpoptions", "-p", "Alpha", "-o", "VLTone=Gumma1"});
  ASSERT_NE(Run({"lpoptions", "-p", "Alpha"}).find("VLTone=Gumma1"), std::string::npos);
  test::TempDir dir;
  std::filesystem::copy_file(TONALIS_SAMPLE_LIBRARY, dir / "QR_grad.dat");
  Run({TONALIS_CLI, "apply", "--printer", "Alpha", "--library", dir / "QR_grad.dat", "Standard"});
  EXPECT_EQ(Run({"lpoptions", "-p", "Alpha"}).find("VLTone"), std::string::npos);
}

TEST_F(SchedulerTest, RefusedReplacementKeepsTheOldPpdAndAGoneQueueStaysGone) {
  cupsd->AddQueue("Alpha", Data("marked.ppd"));
  const std::string before = cupsd->PpdFile("Alpha");
  const ReplaceResult refused = PpdQueueTarget(*spooler, {"", "Alpha"}).Replace("not a PPD\r\n");
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.failedStep, "scheduler");
  EXPECT_FALSE(refused.reason.empty());
  EXPECT_EQ(cupsd->PpdFile("Alpha"), before);

  const ReplaceResult gone = PpdQueueTarget(*spooler, {"", "Gone"}).Replace(before);
  EXPECT_EQ(gone.error, ENOENT);
  std::string out;
  cupsd->Run({"lpstat", "-p", "Gone"}, &out);
  EXPECT_EQ(out.find("printer Gone"), std::string::npos) << out;
}

}  // namespace
}  // namespace tonalis
