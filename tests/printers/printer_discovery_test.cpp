// The printer list over a fake spooler: which queues are listed, the default
// printer, and every failure a spooler call can have.
#include "printers/printer_discovery.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>

#include "cups_test_ppd.h"
#include "model/definition_table.h"
#include "printers/queue_target.h"
#include "support/fake_spooler.h"
#include "support/scripted_interaction.h"

namespace tonalis {
namespace {

using test::FakeQueue;
using test::FakeSpooler;
using test::OneDefinitionSection;
using test::TestPpd;

constexpr int kServiceUnavailable = 0x0503;
constexpr int kNotFound = 0x0406;

std::vector<std::string> Queues(const PrinterDiscovery& d) {
  std::vector<std::string> out;
  for (const PrinterEntry& e : d.entries) out.push_back(e.queue);
  return out;
}

class DiscoveryTest : public ::testing::Test {
 protected:
  // Marked (keyword), Oem (accepted make and model, no keyword), Plain
  // (neither), Twin (the same driver as Marked), in the scheduler's order.
  void AddUsualQueues() {
    fake.Add({"Marked", "Tonalis Marked PS", TestPpd("Tonalis Marked PS", true)})
        .Add({"Oem", "OEM XXX Colour PS", TestPpd("OEM XXX Colour PS", false)})
        .Add({"Plain", "Other Make PS", TestPpd("Other Make PS", false)})
        .Add({"Twin", "Tonalis Marked PS", TestPpd("Tonalis Marked PS", true)});
  }
  int Run(SpoolerScope scope = SpoolerScope::Local) {
    return GetLogicalPrt(scope, fake, discovery, *list, services);
  }

  FakeSpooler fake;
  test::ScriptedInteraction ui;
  PpdServices services{ui};
  PrinterDiscovery discovery;
  std::unique_ptr<PrinterDefinitionList> list = std::make_unique<PrinterDefinitionList>();
};

TEST_F(DiscoveryTest, ListsEveryAcceptedQueueInTheSchedulersOrder) {
  AddUsualQueues();
  fake.Add({"Raw", "Local Raw Printer", "", false});
  EXPECT_EQ(Run(), 1);
  // Two queues of one driver are two entries: each keeps its own PPD.
  EXPECT_EQ(Queues(discovery), (std::vector<std::string>{"Marked", "Oem", "Twin"}));
  EXPECT_TRUE(ui.Empty());
  // An accepted make and model needs no keyword check, and a queue without
  // a PPD is never asked for one.
  EXPECT_EQ(fake.fetched, (std::vector<std::string>{"Marked", "Plain", "Twin"}));
  EXPECT_EQ(discovery.entries[1].Text(), "Oem (OEM XXX Colour PS)");
  EXPECT_EQ(discovery.entries[1].target->Describe(), "Oem");
  EXPECT_FALSE(discovery.defaultEntry);
  EXPECT_FALSE(discovery.loaded);
}

TEST_F(DiscoveryTest, EmptyScopeListsNothingAndSucceeds) {
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(discovery.entries.empty());
  EXPECT_TRUE(ui.Empty());
}

TEST_F(DiscoveryTest, LocalQueuesComeFirstThenConnectionsWithTheirServer) {
  AddUsualQueues();
  fake.Add({"Far", "Tonalis Marked PS", TestPpd("Tonalis Marked PS", true), true,
            SpoolerScope::Connections, "print.example:631"});
  fake.defaultQueue = "Far";
  EXPECT_EQ(DiscoverPrinters(fake, discovery, *list, services), 1);
  EXPECT_EQ(Queues(discovery), (std::vector<std::string>{"Marked", "Oem", "Twin", "Far"}));
  const PrinterEntry& far = discovery.entries.back();
  EXPECT_EQ(far.server, "print.example:631");
  EXPECT_EQ(far.Text(), "Far (Tonalis Marked PS) via print.example:631");
  EXPECT_EQ(far.target->Describe(), "Far on print.example:631");
  EXPECT_EQ(discovery.defaultEntry, 3u);
}

TEST_F(DiscoveryTest, DefaultPrinterIsReadAtOnce) {
  AddUsualQueues();
  fake.Add({"Soft", "Tonalis Marked PS",
            TestPpd("Tonalis Marked PS", true, OneDefinitionSection("Soft tones"))});
  discovery.defaultQueue = "Soft";
  ASSERT_EQ(Run(), 1);
  ASSERT_EQ(discovery.defaultEntry, 3u);
  EXPECT_EQ(discovery.selectedPrinterText, "Soft (Tonalis Marked PS)");
  ASSERT_TRUE(discovery.loaded);
  EXPECT_EQ(discovery.loaded->target().Describe(), "Soft");
  EXPECT_EQ(discovery.nickName, "Tonalis Marked PS");
  EXPECT_EQ(VisibleNames(*list), (std::vector<std::string_view>{"Soft tones"}));
  EXPECT_TRUE(ui.Empty());
  // Reading converts in the copy only; the queue is not written.
  EXPECT_TRUE(fake.replaced.empty());
}

TEST_F(DiscoveryTest, DefaultIsMatchedByItsExactName) {
  // A substring test would take PS1 for the default PS10 and load its PPD.
  fake.Add({"PS1", "Tonalis Marked PS", TestPpd("Tonalis Marked PS", true)})
      .Add({"PS10", "Tonalis Marked PS",
            TestPpd("Tonalis Marked PS", true, OneDefinitionSection("Ten"))});
  discovery.defaultQueue = "PS10";
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(discovery.defaultEntry, 1u);
  ASSERT_TRUE(discovery.loaded);
  EXPECT_EQ(discovery.loaded->target().Describe(), "PS10");
  EXPECT_EQ(VisibleNames(*list), (std::vector<std::string_view>{"Ten"}));

  discovery = {};
  discovery.defaultQueue = "PS";
  ASSERT_EQ(Run(), 1);
  EXPECT_FALSE(discovery.loaded);
  EXPECT_EQ(discovery.entries.size(), 2u);
}

TEST_F(DiscoveryTest, DefaultWhoseSectionIsUnclosedIsLeftOutAfterTheReadersMessage) {
  AddUsualQueues();
  discovery.defaultQueue = "Broken";
  fake.Add({"Broken", "Tonalis Marked PS",
            TestPpd("Tonalis Marked PS", true, "*OpenUI *VLTone/Color density control: PickOne\n")});
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(Queues(discovery), (std::vector<std::string>{"Marked", "Oem", "Twin"}));
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdConstructionError}));
  EXPECT_FALSE(discovery.loaded);
  EXPECT_FALSE(discovery.defaultEntry);
}

// Every failure of a spooler call: its message, and what is still listed.
struct FailureCase {
  const char* what;
  std::function<void(FakeSpooler&, PrinterDiscovery&)> inject;
  int result;
  std::string message;
  std::vector<std::string> listed;
};

class DiscoveryFailureTest : public DiscoveryTest,
                             public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DiscoveryFailureTest, ReportsAndSkipsOnlyWhatFailed) {
  AddUsualQueues();
  GetParam().inject(fake, discovery);
  EXPECT_EQ(Run(), GetParam().result);
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{GetParam().message}));
  EXPECT_EQ(Queues(discovery), GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFailure, DiscoveryFailureTest,
    ::testing::Values(
        FailureCase{"ListingFails",
                    [](FakeSpooler& f, PrinterDiscovery&) {
                      f.listFailure[SpoolerScope::Local] =
                          FakeSpooler::Fail(kServiceUnavailable);
                    },
                    0, "GetLogicalPrt : EnumPrinters = 503", {}},
        FailureCase{"NoMemoryForTheListing",
                    [](FakeSpooler& f, PrinterDiscovery&) {
                      f.listFailure[SpoolerScope::Local] = FakeSpooler::NoMemory();
                    },
                    0, "GetLogicalPrt : LocalAlloc(1) = c", {}},
        FailureCase{"ServerOfAQueueUnreachable",
                    [](FakeSpooler& f, PrinterDiscovery&) {
                      f.openFailure["Oem"] = FakeSpooler::Fail(kServiceUnavailable);
                    },
                    1, "GetLogicalPrt : OpenPrinter = 503", {"Marked", "Twin"}},
        FailureCase{"DriverCannotBeRead",
                    [](FakeSpooler& f, PrinterDiscovery&) {
                      f.driverFailure["Marked"] = FakeSpooler::Fail(kNotFound);
                    },
                    1, "GetLogicalPrt : GetPrinterDriver = 406", {"Oem", "Twin"}},
        FailureCase{"NoMemoryForTheDriver",
                    [](FakeSpooler& f, PrinterDiscovery&) {
                      f.driverFailure["Twin"] = FakeSpooler::NoMemory();
                    },
                    1, "GetLogicalPrt : LocalAlloc(2) = c", {"Marked", "Oem"}},
        FailureCase{"PpdCannotBeFetchedForTheKeywordCheck",
                    [](FakeSpooler& f, PrinterDiscovery&) {
                      f.fetchFailure["Twin"] = FakeSpooler::Fail(0x0401, "Forbidden");
                    },
                    1, "It failed to open a PPD file.", {"Marked", "Oem"}},
        FailureCase{"NoMemoryForTheEntry",
                    [](FakeSpooler& f, PrinterDiscovery& d) {
                      d.makeTarget = [&f](const QueueRef& ref) -> std::shared_ptr<PpdTarget> {
                        if (ref.queue == "Oem") throw std::bad_alloc();
                        return std::make_shared<PpdQueueTarget>(f, ref);
                      };
                    },
                    1, "GetLogicalPrt : LocalAlloc(3) = c", {"Marked", "Twin"}}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.what; });

TEST_F(DiscoveryTest, ConnectionsListingFailureComesAfterTheLocalQueues) {
  AddUsualQueues();
  fake.listFailure[SpoolerScope::Connections] = FakeSpooler::Fail(kServiceUnavailable);
  EXPECT_EQ(DiscoverPrinters(fake, discovery, *list, services), 0);
  EXPECT_EQ(Queues(discovery), (std::vector<std::string>{"Marked", "Oem", "Twin"}));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"GetLogicalPrt : EnumPrinters = 503"}));
}

TEST_F(DiscoveryTest, DefaultThatCannotBeHadIsNoDefault) {
  AddUsualQueues();
  fake.defaultFailure = FakeSpooler::Fail(kServiceUnavailable);
  EXPECT_EQ(DiscoverPrinters(fake, discovery, *list, services), 1);
  EXPECT_TRUE(discovery.defaultQueue.empty());
  EXPECT_EQ(discovery.entries.size(), 3u);
  EXPECT_TRUE(ui.Empty());
}

TEST_F(DiscoveryTest, CountsEveryQueueOfBothScopes) {
  AddUsualQueues();
  fake.Add({"Raw", "Local Raw Printer", "", false})
      .Add({"Far", "Other", "", true, SpoolerScope::Connections, "h:631"});
  EXPECT_EQ(CountPrinters(fake, ui), 6u);
  EXPECT_EQ(CountPrinters(*std::make_unique<FakeSpooler>(), ui), 0u);
  EXPECT_TRUE(ui.Empty());

  fake.listFailure[SpoolerScope::Connections] = FakeSpooler::Fail(kServiceUnavailable);
  EXPECT_FALSE(CountPrinters(fake, ui));
  fake.listFailure = {{SpoolerScope::Local, FakeSpooler::NoMemory()}};
  EXPECT_FALSE(CountPrinters(fake, ui));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"OnInitDialog : EnumPrinters(2) = 503",
                                                  "OnInitDialog : LocalAlloc(1) = c"}));
}

}  // namespace
}  // namespace tonalis
