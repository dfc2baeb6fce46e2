#include "model/density_def.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace tonalis {
namespace {

TEST(DensityDef, NewDefinitionHasTheEndPointsOnly) {
  DensityDef d = NewDefinition();
  EXPECT_EQ(d.allChannels, 1);
  EXPECT_EQ(NameOf(d), "");
  EXPECT_FALSE(IsUsed(d));
  for (const ToneCurve& c : d.channels) {
    EXPECT_EQ(c.points[0], 0);
    for (int i = 1; i < 12; ++i) EXPECT_EQ(c.points[i], -1);
    EXPECT_EQ(c.points[12], 10000);
    EXPECT_EQ(c.gamma, -1);
  }
}

TEST(DensityDef, ResetKeepsNameAndGammas) {
  DensityDef d = NewDefinition();
  SetName(d, "Warm");
  d.allChannels = 0;
  for (int c = 0; c < 4; ++c) {
    d.channels[c].gamma = 100 + c;
    d.channels[c].points[6] = 4000;
    d.channels[c].points[0] = 200;
  }
  ResetCurves(d);
  DensityDef expected = NewDefinition();
  SetName(expected, "Warm");
  for (int c = 0; c < 4; ++c) expected.channels[c].gamma = 100 + c;
  EXPECT_EQ(d, expected);
}

TEST(DensityDef, EncodesLittleEndianAtTheFixedOffsets) {
  DensityDef d = NewDefinition();
  d.allChannels = 0x01020304;
  SetName(d, "AB");
  d.channels[kBlack].gamma = -2;
  d.channels[kMagenta].points[1] = 0x11223344;
  uint8_t bytes[kDensityDefBytes];
  EncodeDensityDef(d, bytes);
  EXPECT_EQ(bytes[0], 0x04);
  EXPECT_EQ(bytes[3], 0x01);
  EXPECT_EQ(bytes[4], 'A');
  EXPECT_EQ(bytes[6], 0);
  EXPECT_EQ(bytes[96 + 4], 0x44);
  EXPECT_EQ(bytes[96 + 7], 0x11);
  EXPECT_EQ(bytes[208 + 52], 0xFE);
  EXPECT_EQ(bytes[263], 0xFF);
}

TEST(DensityDef, FileRoundTripKeepsEveryByteAfterTheName) {
  DensityDef d = NewDefinition();
  // Garbage after the terminator must survive unchanged.
  std::memset(d.name, 0x5A, sizeof d.name);
  std::memcpy(d.name, "Short\0", 6);
  for (int c = 0; c < 4; ++c)
    for (int i = 0; i < 13; ++i) d.channels[c].points[i] = c * 1000 + i * 37 - 5;
  uint8_t bytes[kDensityDefBytes];
  EncodeDensityDef(d, bytes);

  const std::string path = ::testing::TempDir() + "/record.bin";
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> back((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(back.size(), kDensityDefBytes);
  EXPECT_EQ(std::memcmp(back.data(), bytes, kDensityDefBytes), 0);
  DensityDef decoded = DecodeDensityDef(std::span<const uint8_t, kDensityDefBytes>(back));
  EXPECT_EQ(std::memcmp(&decoded, &d, sizeof d), 0);
  EXPECT_EQ(NameOf(decoded), "Short");
}

TEST(DensityDef, NameWithoutTerminatorEndsAtTheField) {
  DensityDef d = NewDefinition();
  std::memset(d.name, 'x', sizeof d.name);
  EXPECT_EQ(NameOf(d).size(), kNameFieldSize);
  // A longer name is cut at the field; nothing beyond it is touched.
  DensityDef e = NewDefinition();
  SetName(e, std::string(50, 'y'));
  EXPECT_EQ(NameOf(e), std::string(36, 'y'));
  EXPECT_EQ(e.channels[0].points[0], 0);
}

}  // namespace
}  // namespace tonalis
