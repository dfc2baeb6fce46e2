// The verdicts kept between listings, over a fake spooler: what a later
// listing fetches again, and what it lists.
#include <functional>

#include "discovery_fixture.h"
#include "printers/queue_target.h"
#include "support/fake_spooler.h"

namespace tonalis::test {
namespace {

std::string Ppd(std::string name) { return ReadBytes(TONALIS_CUPS_TEST_DATA "/" + name + ".ppd"); }

// Marked and Twin carry the keyword, Oem has an accepted make and model,
// Plain neither; all were configured at 100 and are listed at 200.
struct VerdictTest : DiscoveryFixture {
  VerdictTest() { fake.clock = 200; }
  // A listing as a new run makes it, with the cache file in `dir`.
  Names ListWithCache() {
    VerdictCache cache(path);
    discovery = {};
    discovery.verdicts = &cache;
    fake.fetched.clear();
    EXPECT_EQ(DiscoverPrinters(fake, discovery, *list, services), 1);
    Names out;
    for (const PrinterEntry& e : discovery.entries) out.push_back(e.queue);
    return out;
  }
  FakeSpooler fake = FakeSpooler()
                         .Add({"Marked", "Tonalis Marked PS", Ppd("marked"), true, {}, {}, 100})
                         .Add({"Oem", "OEM XXX Colour PS", Ppd("oem"), true, {}, {}, 100})
                         .Add({"Plain", "Other Make PS", Ppd("plain"), true, {}, {}, 100})
                         .Add({"Twin", "Tonalis Marked PS", Ppd("marked"), true, {}, {}, 100});
  TempDir dir;
  std::string path = dir / "tonalis/printers.json";
};

TEST_F(VerdictTest, KeptVerdictsHoldUntilTheQueueChangesAndAChangedPpdIsLookedAtAgain) {
  const Names all = {"Marked", "Oem", "Twin"};
  ASSERT_EQ(ListWithCache(), all);
  ASSERT_EQ(fake.fetched, (Names{"Marked", "Plain", "Twin"}));
  // One after the other, each run on the cache the one before left; a change
  // is made, and the queues listed ten seconds later unless it says otherwise.
  const struct {
    const char* what;
    std::function<void(FakeSpooler&)> change;
    Names fetched, listed;
  } runs[] = {
      {"nothing changed: no PPD is fetched", [](FakeSpooler&) {}, {}, all},
      {"Twin lost its keyword: it is fetched and dropped",
       [](FakeSpooler& f) { f.ReplacePpd({"", "Twin"}, Ppd("plain")); }, {"Twin"},
       {"Marked", "Oem"}},
      {"Plain gained it: it is fetched and listed",
       [](FakeSpooler& f) { f.ReplacePpd({"", "Plain"}, Ppd("marked")); }, {"Plain"},
       {"Marked", "Oem", "Plain"}},
      {"a change in the listing's own second is not kept",
       [](FakeSpooler& f) { f.ReplacePpd({"", "Marked"}, Ppd("marked")), f.clock -= 10; },
       {"Marked"}, {"Marked", "Oem", "Plain"}},
      {"nor one listed a second later", [](FakeSpooler& f) { f.clock -= 109; }, {"Marked"},
       {"Marked", "Oem", "Plain"}},
      {"until it has settled", [](FakeSpooler&) {}, {"Marked"}, {"Marked", "Oem", "Plain"}},
      {"then it is kept", [](FakeSpooler&) {}, {}, {"Marked", "Oem", "Plain"}},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.what);
    fake.clock += 100;
    run.change(fake);
    fake.clock += 10;
    EXPECT_EQ(ListWithCache(), run.listed);
    EXPECT_EQ(fake.fetched, run.fetched);
  }
  EXPECT_TRUE(ui.Empty());
}

TEST_F(VerdictTest, ADamagedForeignOrUnwritableCacheCostsFetchesButNeverAWrongListing) {
  const Names all = {"Marked", "Oem", "Twin"}, everyPpd = {"Marked", "Plain", "Twin"};
  ASSERT_EQ(ListWithCache(), all);
  const std::string kept = ReadBytes(path);
  ASSERT_NE(kept.find("\"Plain\""), std::string::npos);
  const std::string damaged[] = {
      kept.substr(0, kept.size() / 2),                              // cut short
      "\x89PNG\r\n\x1a\n",                                           // not JSON
      R"({"format": "tonalis-printer-verdicts", "version": 2, "queues": []})",  // a later version
      R"({"format": "other", "version": 1, "queues": []})",
      R"({"format": "tonalis-printer-verdicts", "version": 1, "queues": [1, null,
          {"server": "fake", "queue": "Twin", "configChanged": "100", "makeAndModel": "Tonalis Marked PS", "keyword": true},
          {"server": "fake", "queue": "Plain", "configChanged": 100, "makeAndModel": "Other Make PS", "keyword": 1}]})",
  };
  for (const std::string& bytes : damaged) {
    SCOPED_TRACE(bytes.substr(0, 40));
    WriteBytes(path, bytes);
    EXPECT_EQ(ListWithCache(), all);
    EXPECT_EQ(fake.fetched, everyPpd);
  }
  // A cache that cannot be written is not: every listing looks again.
  std::filesystem::remove_all(dir / "tonalis");
  WriteBytes(dir / "tonalis", "a file where the folder goes");
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(ListWithCache(), all);
    EXPECT_EQ(fake.fetched, everyPpd);
  }
  EXPECT_EQ(ReadBytes(dir / "tonalis"), "a file where the folder goes");
  EXPECT_TRUE(ui.Empty());
}

TEST_F(VerdictTest, AFailedFetchKeepsNoVerdictAndAWriteStillChecksThePpdItself) {
  fake.fetchFailure["Twin"] = FakeSpooler::Fail(0x0401);
  EXPECT_EQ(ListWithCache(), (Names{"Marked", "Oem"}));
  EXPECT_EQ(ui.Texts(), Names{"It failed to open a PPD file."});
  fake.fetchFailure.clear();
  EXPECT_EQ(ListWithCache(), (Names{"Marked", "Oem", "Twin"}));
  EXPECT_EQ(fake.fetched, Names{"Twin"});

  // Even a kept verdict that no longer holds (the PPD swapped behind the
  // scheduler's back, with the same configuration time) lists the queue at
  // most: reading it to write refuses it as unsupported.
  std::string kept = ReadBytes(path);
  const std::string twin = "\"queue\": \"Twin\"";
  ASSERT_NE(kept.find(twin), std::string::npos);
  kept.replace(kept.find(twin), twin.size(), "\"queue\": \"Plain\"");
  const std::string model = "\"makeAndModel\": \"Tonalis Marked PS\"";
  kept.replace(kept.rfind(model), model.size(), "\"makeAndModel\": \"Other Make PS\"");
  WriteBytes(path, kept);
  ASSERT_EQ(ListWithCache(), (Names{"Marked", "Oem", "Plain", "Twin"}));
  ui.Clear();
  const auto read = GetPPDToneInfo(discovery.entries[2].target, *list, services);
  EXPECT_EQ(read.result, kPpdUnsupported);
  EXPECT_FALSE(read.loaded);
}

}  // namespace
}  // namespace tonalis::test
