// The printer list and a queue's PPD over a fake spooler.
#include <functional>

#include "discovery_fixture.h"
#include "model/definition_table.h"
#include "printers/queue_target.h"
#include "support/fake_spooler.h"

namespace tonalis::test {
namespace {

std::string Ppd(std::string name) { return ReadBytes(TONALIS_CUPS_TEST_DATA "/" + name + ".ppd"); }

// Marked (keyword), Oem (accepted make and model, no keyword), Plain
// (neither), Twin (Marked's driver), in the scheduler's order.
struct DiscoveryTest : DiscoveryFixture {
  FakeSpooler fake = FakeSpooler()
                         .Add({"Marked", "Tonalis Marked PS", Ppd("marked")})
                         .Add({"Oem", "OEM XXX Colour PS", Ppd("oem")})
                         .Add({"Plain", "Other Make PS", Ppd("plain")})
                         .Add({"Twin", "Tonalis Marked PS", Ppd("marked")});
};

TEST_F(DiscoveryTest, ListsAcceptedQueuesWithinTheRoomAndReadsTheDefaultOrLeavesItOut) {
  fake.Add({"Raw", "Local Raw Printer", "", false})
      .Add({"Far", "Tonalis Marked PS", Ppd("marked"), true, SpoolerScope::Connections,
            "print.example:631"});
  // Two queues of one driver are two entries: each keeps its own PPD.
  EXPECT_EQ(Discover(fake), (Names{"Marked", "Oem", "Twin", "Far"}));
  // Accepted makes and models need no keyword check; queues without a PPD are never asked.
  EXPECT_EQ(fake.fetched, (Names{"Marked", "Plain", "Twin", "Far"}));
  EXPECT_EQ(discovery.entries[3].Text(), "Far (Tonalis Marked PS) via print.example:631");
  EXPECT_EQ(CountPrinters(fake, ui), 6u);
  EXPECT_EQ(Discover(fake, 1, 2), (Names{"Marked", "Oem"}));
  // The default is matched by its exact name and read at once: a substring
  // test would take PS1 for the default PS10 and load its PPD.
  fake.Add({"PS1", "Tonalis Marked PS", Ppd("marked")})
      .Add({"PS10", "Tonalis Marked PS", Ppd("ten")})
      .Add({"Broken", "Tonalis Marked PS", Ppd("unclosed")});
  fake.defaultQueue = "PS10";
  Discover(fake);
  ASSERT_EQ(discovery.defaultEntry, 4u);
  EXPECT_EQ(discovery.selectedPrinterText, "PS10 (Tonalis Marked PS)");
  ASSERT_TRUE(discovery.loaded && ui.Empty());
  EXPECT_EQ(VisibleNames(*list), (std::vector<std::string_view>{"Ten"}));
  // An unreadable default is said, and left out.
  fake.defaultQueue = "Broken";
  EXPECT_EQ(Discover(fake).size(), 6u);
  EXPECT_FALSE(discovery.loaded || discovery.defaultEntry);
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdConstructionError}));
}

// Every failure of a spooler call: what is said, with the scheduler's reason
// apart, and what is still listed. Counting the printers fails alike.
TEST_F(DiscoveryTest, ReportsEachFailureAndSkipsOnlyWhatFailed) {
  const auto gone = FakeSpooler::Fail(0x0503, "Scheduler is not running.");
  const Names all = {"Marked", "Oem", "Twin"};
  const struct {
    std::function<void(FakeSpooler&)> inject;
    int result;
    std::string text;
    Names listed;
  } cases[] = {
      {[&](FakeSpooler& f) { f.listFailure[SpoolerScope::Local] = gone; }, 0,
       "Cannot read the printers from the print server fake.", {}},
      {[&](FakeSpooler& f) { f.listFailure[SpoolerScope::Connections] = gone; }, 0,
       "Cannot read the printer connections from the print server fake.", all},
      {[&](FakeSpooler& f) { f.openFailure["Oem"] = gone; }, 1,
       "Cannot reach the print server fake that keeps the PPD of the printer Oem.",
       {"Marked", "Twin"}},
      {[&](FakeSpooler& f) { f.driverFailure["Marked"] = gone; }, 1,
       "Cannot read the driver of the printer Marked from the print server fake.", {"Oem", "Twin"}},
      {[](FakeSpooler& f) { f.fetchFailure["Twin"] = FakeSpooler::Fail(0x0401); }, 1,
       "It failed to open a PPD file.", {"Marked", "Oem"}},
      // A default that cannot be had is no default, and no failure.
      {[&](FakeSpooler& f) { f.defaultFailure = gone; }, 1, "", all},
      // Unless the scheduler cannot be reached: then that is said at once.
      {[&](FakeSpooler& f) { f.defaultFailure = FakeSpooler::Fail(0x0502, gone.reason); }, 0,
       "Cannot read the printers from the print server fake.", {}},
  };
  const FakeSpooler usual = fake;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    c.inject(fake = usual);
    ui.Clear();
    EXPECT_EQ(Discover(fake, c.result), c.listed);
    ASSERT_EQ(ui.Texts(), c.text.empty() ? Names{} : Names{c.text});
    if (c.text.rfind("Cannot", 0) != 0) continue;
    EXPECT_EQ(ui.shown()[0].kind, MessageKind::Stop);
    EXPECT_EQ(ui.shown()[0].detail, "Scheduler is not running.");
    EXPECT_EQ(CountPrinters(fake, ui).has_value(), c.result == 1 || fake.defaultFailure);
    EXPECT_EQ(ui.Texts().back(), c.text);
  }
}

TEST_F(DiscoveryTest, ARefusedReplacementShowsTheSchedulersReasonAndKeepsTheOldPpd) {
  fake.replaceFailure = FakeSpooler::Fail(0x0403, "Not authorized to modify the printer");
  const auto target = std::make_shared<PpdQueueTarget>(fake, QueueRef{"", "Marked"});
  const PpdReadOutcome read = GetPPDToneInfo(target, *list, services);
  ASSERT_EQ(read.result, kPpdLoaded);
  InsertDefinition(*list, NewDefinition(), InsertMode::AddMode());
  EXPECT_FALSE(SetPPDToneInfo(*read.loaded, *list, services));
  ASSERT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdWriteFailed}));
  EXPECT_EQ(ui.shown()[0].detail, "Not authorized to modify the printer (print server fake)");
  EXPECT_EQ(target->Replace("x").error, EACCES);
  EXPECT_EQ(fake.Ppd("Marked"), Ppd("marked"));
}

}  // namespace
}  // namespace tonalis::test
