#include "model/string_table.h"

#include <gtest/gtest.h>

namespace tonalis {
namespace {

TEST(StringTable, HoldsEveryUsedIdAndNothingElse) {
  const StringSource& s = DefaultStrings();
  for (int id = kFirstStringId; id <= kLastStringId; ++id) {
    const bool unused = id == 63 || id == 64 || id == 80;
    EXPECT_EQ(s.Load(id).empty(), unused) << id;
  }
  EXPECT_TRUE(s.Load(0).empty());
  EXPECT_TRUE(s.Load(84).empty());
}

TEST(StringTable, QuotedMessagesDoubleTheirQuotes) {
  EXPECT_EQ(DefaultStrings().Load(3),
            "The number specified in \"\"0%\"\" is not within the active range.");
  EXPECT_EQ(DefaultStrings().Load(15),
            "The number specified in \"\"100%\"\" is not within the active range.");
}

TEST(StringTable, PageDeviceWrapperBringsTheDictionaryToTheTop) {
  // The mark and the four transfer procedures lie above the dictionary that
  // setpagedevice receives: it takes a roll of six to bring it up.
  for (int id : {sid::kCloseOneTable, sid::kCloseFourTables}) {
    const std::string s = DefaultStrings().Load(id);
    EXPECT_NE(s.find("mark VL@currentcolortransfer 6 -1 roll VL@setpagedevice"), std::string::npos);
    EXPECT_EQ(s.find("5 -1 roll"), std::string::npos);
    EXPECT_EQ(s.substr(s.size() - 12), "erasepage\"\r\n");
  }
}

TEST(StringTable, FillsPlaceholdersInOrder) {
  EXPECT_EQ(FillPlaceholders(DefaultStrings().Load(sid::kLibraryOpenFailed), "QR_grad.dat"),
            "It failed to open a QR_grad.dat.\nThe definition of the density control isn't kept "
            "in QR_grad.dat.");
  EXPECT_EQ(FillPlaceholders("100% of %s", "x"), "100% of x");
}

}  // namespace
}  // namespace tonalis
