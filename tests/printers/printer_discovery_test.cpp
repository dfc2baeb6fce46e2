// The printer list and a queue's PPD over a fake spooler.
#include "printers/printer_discovery.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "model/definition_table.h"
#include "printers/queue_target.h"
#include "support/fake_spooler.h"
#include "support/scripted_interaction.h"

namespace tonalis {
namespace {

using test::FakeSpooler;
using Names = std::vector<std::string>;

std::string Ppd(const std::string& name) {
  std::ifstream in(TONALIS_CUPS_TEST_DATA "/" + name + ".ppd", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class DiscoveryTest : public ::testing::Test {
 protected:
  // Marked (keyword), Oem (accepted make and model, no keyword), Plain
  // (neither), Twin (Marked's driver), in the scheduler's order.
  DiscoveryTest() {
    fake.Add({"Marked", "Tonalis Marked PS", Ppd("marked")})
        .Add({"Oem", "OEM XXX Colour PS", Ppd("oem")})
        .Add({"Plain", "Other Make PS", Ppd("plain")})
        .Add({"Twin", "Tonalis Marked PS", Ppd("marked")});
  }
  Names Discover(int result = 1, std::size_t room = SIZE_MAX) {
    discovery = {};
    discovery.room = room;
    EXPECT_EQ(DiscoverPrinters(fake, discovery, *list, services), result);
    Names out;
    for (const PrinterEntry& e : discovery.entries) out.push_back(e.queue);
    return out;
  }

  FakeSpooler fake;
  test::ScriptedInteraction ui;
  PpdServices services{ui};
  PrinterDiscovery discovery;
  std::unique_ptr<PrinterDefinitionList> list = std::make_unique<PrinterDefinitionList>();
};

TEST_F(DiscoveryTest, ListsAcceptedQueuesLocalFirstAndNoMoreThanThereIsRoomFor) {
  fake.Add({"Raw", "Local Raw Printer", "", false})
      .Add({"Far", "Tonalis Marked PS", Ppd("marked"), true, SpoolerScope::Connections,
            "print.example:631"});
  // Two queues of one driver are two entries: each keeps its own PPD.
  EXPECT_EQ(Discover(), (Names{"Marked", "Oem", "Twin", "Far"}));
  // An accepted make and model needs no keyword check, and a queue without
  // a PPD is never asked for one.
  EXPECT_EQ(fake.fetched, (Names{"Marked", "Plain", "Twin", "Far"}));
  EXPECT_EQ(discovery.entries[3].Text(), "Far (Tonalis Marked PS) via print.example:631");
  EXPECT_EQ(CountPrinters(fake, ui), 6u);
  EXPECT_EQ(Discover(1, 2), (Names{"Marked", "Oem"}));
}

TEST_F(DiscoveryTest, DefaultIsMatchedByItsExactNameReadAtOnceAndLeftOutWhenUnreadable) {
  // A substring test would take PS1 for the default PS10 and load its PPD.
  fake.Add({"PS1", "Tonalis Marked PS", Ppd("marked")})
      .Add({"PS10", "Tonalis Marked PS", Ppd("ten")})
      .Add({"Broken", "Tonalis Marked PS", Ppd("unclosed")});
  fake.defaultQueue = "PS10";
  Discover();
  ASSERT_EQ(discovery.defaultEntry, 4u);
  EXPECT_EQ(discovery.selectedPrinterText, "PS10 (Tonalis Marked PS)");
  ASSERT_TRUE(discovery.loaded);
  EXPECT_EQ(VisibleNames(*list), (std::vector<std::string_view>{"Ten"}));
  EXPECT_TRUE(ui.Empty());

  fake.defaultQueue = "Broken";
  Discover();
  EXPECT_FALSE(discovery.loaded || discovery.defaultEntry);
  // Broken's unclosed section was said, and Broken left out.
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdConstructionError}));
  EXPECT_EQ(discovery.entries.size(), 5u);
}

// Every failure of a spooler call: what is said, with the scheduler's reason
// apart, and what is still listed. Counting the printers fails alike.
TEST_F(DiscoveryTest, ReportsEachFailureAndSkipsOnlyWhatFailed) {
  const auto gone = FakeSpooler::Fail(0x0503, "Scheduler is not running.");
  const struct {
    std::function<void(FakeSpooler&)> inject;
    int result;
    std::string text;
    Names listed;
  } cases[] = {
      {[&](FakeSpooler& f) { f.listFailure[SpoolerScope::Local] = gone; }, 0,
       "Cannot read the printers from the print server fake.", {}},
      {[&](FakeSpooler& f) { f.listFailure[SpoolerScope::Connections] = gone; }, 0,
       "Cannot read the printer connections from the print server fake.",
       {"Marked", "Oem", "Twin"}},
      {[&](FakeSpooler& f) { f.openFailure["Oem"] = gone; }, 1,
       "Cannot reach the print server fake that keeps the PPD of the printer Oem.",
       {"Marked", "Twin"}},
      {[&](FakeSpooler& f) { f.driverFailure["Marked"] = gone; }, 1,
       "Cannot read the driver of the printer Marked from the print server fake.", {"Oem", "Twin"}},
      {[](FakeSpooler& f) { f.fetchFailure["Twin"] = FakeSpooler::Fail(0x0401); }, 1,
       "It failed to open a PPD file.", {"Marked", "Oem"}},
      // A default that cannot be had is no default, and no failure.
      {[&](FakeSpooler& f) { f.defaultFailure = gone; }, 1, "", {"Marked", "Oem", "Twin"}},
  };
  const FakeSpooler usual = fake;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    fake = usual;
    c.inject(fake);
    ui.Clear();
    EXPECT_EQ(Discover(c.result), c.listed);
    ASSERT_EQ(ui.Texts(), c.text.empty() ? Names{} : Names{c.text});
    if (c.text.rfind("Cannot", 0) != 0) continue;
    EXPECT_EQ(ui.shown()[0].kind, MessageKind::Stop);
    EXPECT_EQ(ui.shown()[0].detail, "Scheduler is not running.");
    EXPECT_EQ(CountPrinters(fake, ui).has_value(), c.result == 1);
    EXPECT_EQ(ui.Texts().back(), c.text);
  }
}

TEST_F(DiscoveryTest, ARefusedReplacementShowsTheSchedulersReasonAndKeepsTheOldPpd) {
  fake.replaceFailure = FakeSpooler::Fail(0x0403, "Not authorized to modify the printer");
  const auto target = std::make_shared<PpdQueueTarget>(fake, QueueRef{"", "Marked"});
  PpdReadOutcome read = GetPPDToneInfo(target, *list, services);
  ASSERT_EQ(read.result, kPpdLoaded);
  InsertDefinition(*list, NewDefinition(), InsertMode::AddMode());
  EXPECT_FALSE(SetPPDToneInfo(*read.loaded, *list, services));
  ASSERT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdWriteFailed}));
  EXPECT_EQ(ui.shown()[0].detail, "Not authorized to modify the printer");
  EXPECT_EQ(target->Replace("x").error, EACCES);
}

}  // namespace
}  // namespace tonalis
