// The printer list and a queue's PPD on a real CUPS scheduler that each test
// starts for itself, with queues added by lpadmin.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "model/definition_table.h"
#include "printers/cups_spooler.h"
#include "formats/ppd_tone.h"
#include "printers/printer_discovery.h"
#include "printers/queue_target.h"
#include "support/private_cupsd.h"
#include "support/scripted_interaction.h"
#include "support/temp_dir.h"

namespace tonalis {
namespace {

using test::PrivateCupsd;

std::string Data(const std::string& name) { return std::string(TONALIS_CUPS_TEST_DATA) + "/" + name; }

std::vector<std::string> Queues(const PrinterDiscovery& d) {
  std::vector<std::string> out;
  for (const PrinterEntry& e : d.entries) out.push_back(e.queue);
  return out;
}

class SchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cupsd = std::make_unique<PrivateCupsd>();
    cupsd->UseAsConfigured();
    spooler = std::make_unique<CupsSpooler>();
  }

  int Discover() { return DiscoverPrinters(*spooler, discovery, *list, services); }

  std::string Options(const std::string& queue) {
    std::string out;
    EXPECT_EQ(cupsd->Run({"lpoptions", "-p", queue, "-l"}, &out), 0) << out;
    return out;
  }

  std::unique_ptr<PrivateCupsd> cupsd;
  std::unique_ptr<CupsSpooler> spooler;
  test::ScriptedInteraction ui;
  PpdServices services{ui};
  PrinterDiscovery discovery;
  std::unique_ptr<PrinterDefinitionList> list = std::make_unique<PrinterDefinitionList>();
};

TEST_F(SchedulerTest, ListsTheAcceptedQueuesEachOnItsOwn) {
  cupsd->AddQueue("Alpha", Data("marked.ppd"));
  cupsd->AddQueue("Beta", Data("marked.ppd"));
  cupsd->AddQueue("Oem", Data("oem.ppd"));
  cupsd->AddQueue("Plain", Data("plain.ppd"));
  cupsd->AddRawQueue("Raw");

  EXPECT_EQ(CountPrinters(*spooler, ui), 5u);
  ASSERT_EQ(Discover(), 1);
  EXPECT_EQ(Queues(discovery), (std::vector<std::string>{"Alpha", "Beta", "Oem"}));
  EXPECT_EQ(discovery.entries[2].driver, "OEM XXX Colour PS");
  EXPECT_EQ(discovery.entries[0].target->Describe(), "Alpha");
  EXPECT_TRUE(ui.Empty()) << ui.Texts().front();
  EXPECT_FALSE(discovery.loaded);
}

TEST_F(SchedulerTest, EmptySchedulerHasNoPrinter) {
  EXPECT_EQ(CountPrinters(*spooler, ui), 0u);
  EXPECT_EQ(Discover(), 1);
  EXPECT_TRUE(discovery.entries.empty());
  EXPECT_TRUE(ui.Empty());
}

TEST_F(SchedulerTest, DefaultPrinterIsReadAtOnceAndAnUnloadableOneLeftOut) {
  cupsd->AddQueue("Alpha", Data("marked.ppd"));
  cupsd->AddQueue("Alpha2", Data("marked.ppd"));
  cupsd->SetDefault("Alpha2");
  ASSERT_EQ(Discover(), 1);
  EXPECT_EQ(discovery.defaultQueue, "Alpha2");
  ASSERT_EQ(discovery.defaultEntry, 1u);
  ASSERT_TRUE(discovery.loaded);
  EXPECT_EQ(discovery.loaded->target().Describe(), "Alpha2");
  EXPECT_EQ(discovery.nickName, "Tonalis Test Marked Colour PS");

  cupsd->AddQueue("Broken", Data("unclosed.ppd"));
  cupsd->SetDefault("Broken");
  discovery = {};
  ASSERT_EQ(Discover(), 1);
  EXPECT_EQ(Queues(discovery), (std::vector<std::string>{"Alpha", "Alpha2"}));
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdConstructionError}));
  EXPECT_FALSE(discovery.loaded);
}

TEST_F(SchedulerTest, WritingAQueueChangesThatQueueOnly) {
  cupsd->AddQueue("Alpha", Data("marked.ppd"));
  cupsd->AddQueue("Beta", Data("marked.ppd"));
  const std::string betaBefore = cupsd->PpdFile("Beta");
  ASSERT_EQ(Discover(), 1);
  ASSERT_EQ(discovery.entries.size(), 2u);

  PpdReadOutcome read = GetPPDToneInfo(discovery.entries[0].target, *list, services);
  ASSERT_EQ(read.result, kPpdLoaded);
  DensityDef def = NewDefinition();
  SetName(def, "Warm");
  InsertDefinition(*list, def, InsertMode::AddMode());
  ASSERT_TRUE(SetPPDToneInfo(*read.loaded, *list, services)) << ui.Texts().back();
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdWritten}));

  const std::string options = Options("Alpha");
  EXPECT_NE(options.find("VLTone/"), std::string::npos) << options;
  EXPECT_NE(options.find("Gumma1"), std::string::npos) << options;
  EXPECT_EQ(Options("Beta").find("VLTone"), std::string::npos);
  EXPECT_EQ(cupsd->PpdFile("Beta"), betaBefore);

  // Read back: the definition, from the PPD the scheduler now keeps, which
  // keeps the file's own LF line endings.
  auto again = std::make_unique<PrinterDefinitionList>();
  PpdReadOutcome back =
      GetPPDToneInfo(QueueTarget("Alpha"), *again, services);
  ASSERT_EQ(back.result, kPpdLoaded);
  EXPECT_EQ(VisibleNames(*again), (std::vector<std::string_view>{"Warm"}));
  const std::string kept = cupsd->PpdFile("Alpha");
  EXPECT_EQ(kept.find('\r'), std::string::npos);

  // The user saved Warm as the queue's default; when a later apply drops
  // Warm, the saved choice goes too (run as its own process, which reads the
  // private scheduler's option files).
  std::string saved;
  ASSERT_EQ(cupsd->Run({"lpoptions", "-p", "Alpha", "-o", "VLTone=Gumma1"}), 0);
  ASSERT_EQ(cupsd->Run({"lpoptions", "-p", "Alpha"}, &saved), 0);
  ASSERT_NE(saved.find("VLTone=Gumma1"), std::string::npos) << saved;
  test::TempDir dir;
  std::filesystem::copy_file(TONALIS_SAMPLE_LIBRARY, dir / "QR_grad.dat");
  ASSERT_EQ(cupsd->Run({TONALIS_CLI, "apply", "--printer", "Alpha", "--library",
                        dir / "QR_grad.dat", "Standard"},
                       &saved),
            0)
      << saved;
  ASSERT_EQ(cupsd->Run({"lpoptions", "-p", "Alpha"}, &saved), 0);
  EXPECT_EQ(saved.find("VLTone"), std::string::npos) << saved;
}

TEST_F(SchedulerTest, RefusedReplacementKeepsTheOldPpd) {
  cupsd->AddQueue("Alpha", Data("marked.ppd"));
  const std::string before = cupsd->PpdFile("Alpha");
  const PpdQueueTarget target(*spooler, {"", "Alpha"});
  const ReplaceResult refused = target.Replace("this is not a PPD\r\n");
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.failedStep, "scheduler");
  EXPECT_FALSE(refused.reason.empty());
  EXPECT_EQ(cupsd->PpdFile("Alpha"), before);

  // A queue that is gone is not made again by the write.
  const ReplaceResult gone = PpdQueueTarget(*spooler, {"", "Gone"}).Replace(before);
  EXPECT_FALSE(gone.ok);
  EXPECT_EQ(gone.error, ENOENT);
  std::string out;
  cupsd->Run({"lpstat", "-p", "Gone"}, &out);
  EXPECT_EQ(out.find("printer Gone"), std::string::npos) << out;
}

TEST_F(SchedulerTest, QueueForwardingToAnotherServerIsListedWithThatServer) {
  PrivateCupsd other;
  other.AddQueue("Far", Data("marked.ppd"));
  cupsd->AddQueue("Near", Data("marked.ppd"));
  cupsd->AddRawQueue("Fwd", "ipp://" + other.Loopback() + "/printers/Far");
  cupsd->SetDefault("Fwd");

  ASSERT_EQ(Discover(), 1);
  EXPECT_EQ(Queues(discovery), (std::vector<std::string>{"Near", "Fwd"}));
  const PrinterEntry& fwd = discovery.entries[1];
  EXPECT_EQ(fwd.server, other.Loopback());
  EXPECT_EQ(fwd.driver, "Tonalis Test Marked Colour PS");
  EXPECT_EQ(fwd.target->Describe(), "Far on " + other.Loopback());
  ASSERT_TRUE(discovery.loaded);
  EXPECT_EQ(discovery.defaultEntry, 1u);
}

TEST_F(SchedulerTest, CommandLineListsThePrinters) {
  cupsd->AddQueue("Alpha", Data("marked.ppd"));
  cupsd->AddQueue("Oem", Data("oem.ppd"));
  cupsd->AddQueue("Plain", Data("plain.ppd"));
  cupsd->SetDefault("Oem");
  std::string out;
  ASSERT_EQ(cupsd->Run({TONALIS_CLI, "printers", "--json"}, &out), 0) << out;
  const std::string server = cupsd->Loopback();
  EXPECT_EQ(out,
            "[{\"printer\": \"Alpha\", \"driver\": \"Tonalis Test Marked Colour PS\", "
            "\"server\": \"" + server + "\", \"default\": false}, "
            "{\"printer\": \"Oem\", \"driver\": \"OEM XXX Colour PS\", "
            "\"server\": \"" + server + "\", \"default\": true}]\n");
  ASSERT_EQ(cupsd->Run({TONALIS_CLI, "printers"}, &out), 0) << out;
  EXPECT_EQ(out, "  Alpha (Tonalis Test Marked Colour PS)\n* Oem (OEM XXX Colour PS)\n");
}

}  // namespace
}  // namespace tonalis
