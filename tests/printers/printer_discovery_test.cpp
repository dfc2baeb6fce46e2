// The printer list and a queue's PPD over a fake spooler.
#include "printers/printer_discovery.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "model/definition_table.h"
#include "printers/queue_target.h"
#include "support/fake_spooler.h"
#include "support/scripted_interaction.h"

namespace tonalis {
namespace {

using test::FakeSpooler;
using Names = std::vector<std::string>;

constexpr int kServiceUnavailable = 0x0503;

// A colour PostScript PPD, with the supported-product keyword when `marked`.
std::string TestPpd(const std::string& nick, bool marked, const std::string& extra = {}) {
  return "*PPD-Adobe: \"4.3\"\n*NickName: \"" + nick + "\"\n" +
         (marked ? "*QRHTUtility: True\n" : "") + extra;
}

class DiscoveryTest : public ::testing::Test {
 protected:
  // Marked (keyword), Oem (accepted make and model, no keyword), Plain
  // (neither), Twin (Marked's driver), in the scheduler's order.
  DiscoveryTest() {
    fake.Add({"Marked", "Tonalis Marked PS", TestPpd("Tonalis Marked PS", true)})
        .Add({"Oem", "OEM XXX Colour PS", TestPpd("OEM XXX Colour PS", false)})
        .Add({"Plain", "Other Make PS", TestPpd("Other Make PS", false)})
        .Add({"Twin", "Tonalis Marked PS", TestPpd("Tonalis Marked PS", true)});
  }
  int Discover(std::size_t room = SIZE_MAX) {
    discovery = {};
    discovery.room = room;
    return DiscoverPrinters(fake, discovery, *list, services);
  }
  Names Queues() const {
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
      .Add({"Far", "Tonalis Marked PS", TestPpd("Tonalis Marked PS", true), true,
            SpoolerScope::Connections, "print.example:631"});
  EXPECT_EQ(Discover(), 1);
  // Two queues of one driver are two entries: each keeps its own PPD.
  EXPECT_EQ(Queues(), (Names{"Marked", "Oem", "Twin", "Far"}));
  EXPECT_TRUE(ui.Empty());
  // An accepted make and model needs no keyword check, and a queue without
  // a PPD is never asked for one.
  EXPECT_EQ(fake.fetched, (Names{"Marked", "Plain", "Twin", "Far"}));
  EXPECT_EQ(discovery.entries[1].Text(), "Oem (OEM XXX Colour PS)");
  EXPECT_EQ(discovery.entries[1].target->Describe(), "Oem");
  EXPECT_EQ(discovery.entries[3].Text(), "Far (Tonalis Marked PS) via print.example:631");
  EXPECT_EQ(discovery.entries[3].target->Describe(), "Far on print.example:631");
  EXPECT_FALSE(discovery.defaultEntry);
  EXPECT_EQ(CountPrinters(fake, ui), 6u);

  EXPECT_EQ(Discover(2), 1);
  EXPECT_EQ(Queues(), (Names{"Marked", "Oem"}));
}

TEST_F(DiscoveryTest, DefaultIsMatchedByItsExactNameReadAtOnceAndLeftOutWhenUnreadable) {
  const std::string open = "*OpenUI *VLTone/Color density control: PickOne\n";
  // A substring test would take PS1 for the default PS10 and load its PPD.
  fake.Add({"PS1", "Tonalis Marked PS", TestPpd("PS", true)})
      .Add({"PS10", "Tonalis Marked PS",
            TestPpd("PS", true, open + "*VLTone Gumma1/Ten: \"\"\n%% Same: 1\n"
                                "%% PerC: 0 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 10000 -1\n"
                                "*CloseUI: *VLTone\n")})
      .Add({"Broken", "Tonalis Marked PS", TestPpd("PS", true, open)});
  fake.defaultQueue = "PS10";
  ASSERT_EQ(Discover(), 1);
  ASSERT_EQ(discovery.defaultEntry, 4u);
  EXPECT_EQ(discovery.selectedPrinterText, "PS10 (Tonalis Marked PS)");
  ASSERT_TRUE(discovery.loaded);
  EXPECT_EQ(discovery.loaded->target().Describe(), "PS10");
  EXPECT_EQ(VisibleNames(*list), (std::vector<std::string_view>{"Ten"}));
  EXPECT_TRUE(ui.Empty());

  for (const char* other : {"PS", "Broken"}) {
    fake.defaultQueue = other;
    ASSERT_EQ(Discover(), 1);
    EXPECT_FALSE(discovery.loaded);
    EXPECT_FALSE(discovery.defaultEntry);
  }
  // Broken's unclosed section was said, and Broken left out.
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdConstructionError}));
  EXPECT_EQ(Queues(), (Names{"Marked", "Oem", "Twin", "PS1", "PS10"}));
}

// Every failure of a spooler call: what is said, with the scheduler's reason
// apart, and what is still listed.
TEST_F(DiscoveryTest, ReportsEachFailureAndSkipsOnlyWhatFailed) {
  const auto gone = FakeSpooler::Fail(kServiceUnavailable, "Scheduler is not running.");
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
    EXPECT_EQ(Discover(), c.result);
    EXPECT_EQ(Queues(), c.listed);
    ASSERT_EQ(ui.Texts(), c.text.empty() ? Names{} : Names{c.text});
    if (c.text.rfind("Cannot", 0) != 0) continue;
    EXPECT_EQ(ui.shown()[0].kind, MessageKind::Stop);
    EXPECT_EQ(ui.shown()[0].detail, "Scheduler is not running.");
    // Counting the printers fails the same way.
    EXPECT_EQ(CountPrinters(fake, ui).has_value(), c.result == 1);
    EXPECT_EQ(ui.Texts().back(), c.text);
  }
}

TEST(QueueTarget, RefusalShowsTheSchedulersReasonAndKeepsTheOldPpd) {
  FakeSpooler fake;
  const std::string original = TestPpd("Tonalis Marked PS", true);
  fake.Add({"Q", "Tonalis Marked PS", original});
  fake.replaceFailure = FakeSpooler::Fail(0x0403, "Not authorized to modify the printer");
  const auto target = std::make_shared<PpdQueueTarget>(fake, QueueRef{"", "Q"});
  test::ScriptedInteraction ui;
  auto list = std::make_unique<PrinterDefinitionList>();
  PpdReadOutcome read = GetPPDToneInfo(target, *list, {ui});
  ASSERT_EQ(read.result, kPpdLoaded);
  InsertDefinition(*list, NewDefinition(), InsertMode::AddMode());
  EXPECT_FALSE(SetPPDToneInfo(*read.loaded, *list, {ui}));
  ASSERT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdWriteFailed}));
  EXPECT_EQ(ui.shown()[0].detail, "Not authorized to modify the printer");
  EXPECT_EQ(fake.Ppd("Q"), original);
  EXPECT_EQ(target->Replace("x").error, EACCES);
}

}  // namespace
}  // namespace tonalis
