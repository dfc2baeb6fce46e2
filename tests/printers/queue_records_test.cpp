// The queue records: the section's fingerprint and the records file.
#include <gtest/gtest.h>

#include "printers/queue_records.h"
#include "support/fixtures.h"

namespace tonalis::test {
namespace {

const std::string kSection =
    "*OpenUI *VLTone/Color adjustment: PickOne\n*DefaultVLTone: Gumma1\n"
    "*VLTone Gumma1/Warm: \"{ } settransfer\"\n*CloseUI: *VLTone\n";

TEST(SectionFingerprint, CoversTheSectionButItsDefaultLine) {
  const std::string head = "*PPD-Adobe: \"4.3\"\n*Vendor: \"\n*OpenUI *VLTone/quoted: PickOne\n\"\n";
  const std::string plain = SectionFingerprint(head + kSection + "*End\n");
  EXPECT_EQ(plain.rfind("fnv1a64:", 0), 0u);
  EXPECT_EQ(plain.size(), 8u + 16u);
  std::string other = kSection;
  // Another default choice, another vendor part, other line ends: the same section.
  other.replace(other.find("Gumma1\n"), 7, "None\n");
  EXPECT_EQ(SectionFingerprint("*PPD-Adobe: \"4.3\"\n" + other), plain);
  EXPECT_NE(SectionFingerprint(head + kSection.substr(0, kSection.size() - 18)), plain);
  other = kSection;
  other.replace(other.find("Warm"), 4, "Cold");
  EXPECT_NE(SectionFingerprint(head + other), plain);
  // A marker inside a vendor's quoted value is text, not a section.
  EXPECT_EQ(SectionFingerprint(head + "*End\n"), "");
}

TEST(QueueRecords, OneRecordPerQueueAndADamagedFileIsSaidSo) {
  TempDir dir;
  const std::string path = dir / "state/tonalis/queues.json";
  std::string error;
  EXPECT_TRUE(ReadQueueRecords(path, error)->empty());
  QueueRecord office{"localhost:631", "Office", {Definition("Warm", 4000)}, {3}, "Warm", "fnv1a64:1"};
  QueueRecord lab{"/run/cups.sock", "Office", {}, {}, "", "fnv1a64:2"};
  ASSERT_TRUE(StoreQueueRecord(path, office, error)) << error;
  ASSERT_TRUE(StoreQueueRecord(path, lab, error)) << error;
  office.section = "fnv1a64:3";
  ASSERT_TRUE(StoreQueueRecord(path, office, error)) << error;
  const auto records = ReadQueueRecords(path, error);
  ASSERT_TRUE(records && records->size() == 2u);
  EXPECT_EQ((*records)[0].section, "fnv1a64:3");
  EXPECT_EQ(NameOf((*records)[0].definitions.at(0)), "Warm");
  EXPECT_EQ((*records)[0].definitions[0].channels[0].points[6], 4000);
  EXPECT_EQ((*records)[0].keywords, std::vector<int>{3});
  EXPECT_EQ((*records)[1].server, "/run/cups.sock");
  EXPECT_EQ(dir.Entries(dir / "state/tonalis"), Names{"queues.json"});

  for (const std::string bad : {"{", "[]", R"({"version": 2, "queues": []})",
                                R"({"version": 1, "queues": [{"server": "s", "queue": "q"}]})"}) {
    WriteBytes(path, bad);
    EXPECT_FALSE(ReadQueueRecords(path, error)) << bad;
    EXPECT_NE(error.find("is not a file of queue records"), std::string::npos) << error;
    EXPECT_FALSE(StoreQueueRecord(path, office, error));
    EXPECT_EQ(ReadBytes(path), bad);  // never overwritten
  }
}

}  // namespace
}  // namespace tonalis::test
