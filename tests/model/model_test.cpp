// The data and rules: definition tables, the record's bytes, curves, value texts, validation.
#include <climits>
#include <cstring>

#include "model/latin1_compose.h"
#include "model/string_table.h"
#include "model/tone_curve.h"
#include "model/validate.h"
#include "model/value_text.h"
#include "support/fixtures.h"

namespace tonalis::test {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string_view>;

TEST(DefinitionTable, WalksStopAfterCountUsedSlotsAndFillTheLowestHole) {
  auto t = ListOf({});
  t.slots[0] = Definition("a"), t.slots[2] = Definition("b"), t.slots[4] = Definition("c");
  t.count = 2;
  EXPECT_EQ(VisibleSlots(t), (std::vector<int>{0, 2}));
  EXPECT_EQ(FindDefinition(t, "b"), 2);
  EXPECT_FALSE(FindDefinition(t, "c"));
  EXPECT_EQ(InsertDefinition(t, Definition("new"), InsertMode::AddMode()), InsertResult::Stored);
  EXPECT_EQ(VisibleNames(t), (Names{"a", "new", "b"}));
  t.count = -3;
  EXPECT_TRUE(VisibleNames(t).empty());
  // Used slots beyond the count (a damaged file) are freed by a store, so
  // that the old "b" neither comes into view instead of the new one nor stays
  // a second "b" in the file.
  auto h = ListOf({});
  h.slots[0] = Definition("a"), h.slots[1] = Definition("b", 1), h.slots[3] = Definition("c");
  h.count = 1;
  EXPECT_EQ(InsertDefinition(h, Definition("b", 2), InsertMode::AddMode()), InsertResult::Stored);
  EXPECT_EQ(VisibleNames(h), (Names{"a", "b"}));
  EXPECT_EQ(h.slots[*FindDefinition(h, "b")].channels[0].points[6], 2);
  EXPECT_FALSE(IsUsed(h.slots[3]));
}

TEST(DefinitionTable, InsertRules) {
  auto t = ListOf({});
  const InsertMode add = InsertMode::AddMode(), replace = InsertMode::ReplaceMode();
  ASSERT_EQ(InsertDefinition(t, Definition("abc", 1), add), InsertResult::Stored);
  ASSERT_EQ(InsertDefinition(t, Definition("ABC"), add), InsertResult::Stored);
  for (InsertMode taken : {add, InsertMode::AtSlot(4)})
    EXPECT_EQ(InsertDefinition(t, Definition("abc", 3), taken), InsertResult::NameTaken);
  ASSERT_EQ(t.slots[0].channels[0].points[6], 1);
  ASSERT_EQ(InsertDefinition(t, Definition("abc", 3), replace), InsertResult::Stored);
  EXPECT_EQ(t.slots[0].channels[0].points[6], 3);
  // A given slot must be free and inside the table.
  for (int slot : {1, 6, -1})
    EXPECT_EQ(InsertDefinition(t, Definition("x"), InsertMode::AtSlot(slot)), InsertResult::Full);
  EXPECT_EQ(InsertDefinition(t, Definition("x"), InsertMode::AtSlot(5)), InsertResult::Stored);
  EXPECT_EQ(t.count, 3);
  for (auto n : {"d", "e", "f"}) InsertDefinition(t, Definition(n), add);
  // A full table says so before looking at the name.
  for (InsertMode m : {add, replace})
    EXPECT_EQ(InsertDefinition(t, Definition("abc"), m), InsertResult::Full);
  EXPECT_EQ(t.count, 6);
  FreeSlot(t, 0);
  ASSERT_EQ(t.slots[0].name[1], 'b');  // only the first byte is cleared
  CompactAfter(t, 0);
  EXPECT_EQ(VisibleNames(t), (Names{"ABC", "d", "e", "f", "x"}));
  FreeSlot(t, 4), CompactAfter(t, 4);  // the last used slot: nothing moves past the end
  EXPECT_EQ(VisibleNames(t), (Names{"ABC", "d", "e", "f"}));
}

TEST(DensityDef, ByteImageAndNameField) {
  DensityDef d = NewDefinition();
  EXPECT_EQ(d.allChannels, 1);
  EXPECT_EQ(d.channels[3], Curve(Ends(0, 10000)));
  std::memset(d.name, 'x', sizeof d.name);
  EXPECT_EQ(NameOf(d).size(), kNameFieldSize);  // no terminator: the whole field
  SetName(d, "AB");
  EXPECT_EQ(NameOf(d), "AB");
  EXPECT_EQ(d.name[3], 'x');  // bytes after the terminator stay
  d.allChannels = 0x01020304, d.channels[kMagenta].points[1] = 0x11223344;
  d.channels[kBlack].gamma = -2;
  uint8_t bytes[kDensityDefBytes];
  EncodeDensityDef(d, bytes);
  const std::pair<int, int> expected[] = {{0, 0x04}, {3, 0x01},   {4, 'A'},    {6, 0},
                                          {7, 'x'},  {100, 0x44}, {103, 0x11}, {260, 0xFE}};
  for (auto [at, byte] : expected) EXPECT_EQ(bytes[at], byte) << at;
  const DensityDef back = DecodeDensityDef(bytes);
  EXPECT_EQ(std::memcmp(&back, &d, sizeof d), 0);
  SetName(d, std::string(50, 'y'));
  EXPECT_EQ(NameOf(d), std::string(36, 'y'));
  d.allChannels = 0, d.channels[2].gamma = 150, d.channels[2].points[4] = 77;
  ResetCurves(d);
  EXPECT_EQ(d.allChannels, 1);
  EXPECT_EQ(d.channels[2], Curve(Ends(0, 10000), 150));
}

TEST(ToneCurve, GammaPointsAreTruncatedPowers) {
  EXPECT_EQ(ApplyGamma(220), kGamma22);
  EXPECT_EQ(ApplyGamma(45),
            (Points{0, 2597, 3548, 4846, 5817, 6621, 7320, 7946, 8517, 9044, 9536, 9771, 10000}));
  EXPECT_EQ(ApplyGamma(9999), (Points{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 59, 10000}));
}

TEST(ToneCurve, SplineThroughTheSetPointsLimitedToTheScale) {
  Spline s(Curve({0, 10000, U, U, U, U, U, U, U, U, U, U, 10000}));
  ASSERT_EQ(s.knots.n, 3);
  EXPECT_EQ(s.y2[2], -0.6f);
  EXPECT_EQ(s(2.5f), 50.9375f);
  EXPECT_EQ(s(20.0f), 100.0f);  // the cubic reaches about 321 here
  // Unset points between set ones are skipped, not the end of the knots.
  Spline gaps(Curve({0, U, U, U, U, 3000, U, U, U, U, U, U, 10000}));
  EXPECT_EQ(gaps.knots.n, 3);
  EXPECT_NEAR(gaps(100.0f), 100.0f, 1e-4f);
  Spline low(Curve({U, U, 2000, U, U, U, U, U, U, U, U, U, 10000}));
  EXPECT_NEAR(low(0.0f), 100.0f / 9.0f, 1e-4f);  // the first interval, extrapolated
  KnotArray x{}, y{}, y2;
  y2.fill(7.0f);
  SplineSecondDerivatives(100, x, y, y2);
  EXPECT_EQ(y2[50], 7.0f);
}

TEST(ToneCurve, TransferTables) {
  struct Case { Points points; int32_t first, step; /* entry k: first + k * step */ } cases[] = {
      {kIdentity, 0, 100}, {Ends(0, 5000), 12750, 50}, {Ends(2000, 10000), 0, 80},
      {{U, U, U, U, U, U, 3000, U, U, U, U, U, U}, 0, 100}};  // one point: no adjustment
  for (const Case& c : cases) {
    const auto t = TransferTable(Curve(c.points));
    for (int k = 0; k < kTableSize; ++k) ASSERT_EQ(t[k], c.first + k * c.step) << k;
  }
  for (int v : TransferTable(Curve({0, 10000, U, U, U, U, U, U, U, U, 0, U, 10000})))
    ASSERT_TRUE(v >= 0 && v <= 25500) << v;
}

TEST(ValueText, FormatAndParseHundredths) {
  const std::pair<int32_t, const char*> formats[] = {
      {0, "0.00"}, {7, "0.07"}, {99, "0.99"}, {1234, "12.34"}, {10000, "100.0"}, {25245, "252.4"},
      {-1, ""}, {-50, "-.50"}, {100000, "100000"}, {INT_MIN, "-2147483648"}};
  for (auto [value, text] : formats) EXPECT_EQ(FormatHundredths(value), text) << value;
  struct Case { std::string text; bool valid; int32_t value; } parses[] = {  // 42: untouched
      {"", true, -1},       {"1.5", true, 150},      {"12.", true, 1200},   {".5", true, 50},
      {".", true, 0},       {"007", true, 700},      {"100", true, 10000},  {"100.00", true, 10000},
      {"100.01", false, 10001}, {"101", false, 10100}, {"1.234", false, 42}, {"1..2", false, 42},
      {"-5", false, 42},    {" 1", false, 42},       {"1e2", false, 42},
      {std::string(5000, '9'), false, INT32_MAX},    {std::string(1000, '0') + "1", true, 100}};
  for (const Case& c : parses) {
    int32_t value = 42;
    EXPECT_EQ(ParseHundredths(c.text, value), c.valid) << c.text.substr(0, 20);
    EXPECT_EQ(value, c.value) << c.text.substr(0, 20);
  }
  for (int32_t v = -1, back = 12345; v <= 10000; ++v)
    ASSERT_TRUE(ParseHundredths(FormatHundredths(v), back) && back == v) << v;
}

TEST(ValueText, IntegerLists) {
  struct Case { std::string text; std::size_t room; std::vector<int32_t> values; } cases[] = {
      {"0 500 1000\n", 13, {0, 500, 1000}}, {"1,2,3,", 2, {1, 2}}, {"12 34\n", 0, {}},
      {"7 8", 13, {7}},  // a token still open at the end is not stored
      {"-12\t5-3\t-\t--4\t3-\r\n", 13, {-12, 5, 0, 0, 3}}, {"12\0" "34\n"s, 13, {12, 34}},
      {"-" + std::string(29, '0') + "1" + std::string(9, '7') + " 5\n", 13, {-1, 5}},
      {std::string(31, '9') + "\n", 13, {INT32_MAX}},
      {"-" + std::string(30, '9') + "\n", 13, {INT32_MIN}}};
  for (const Case& c : cases) {
    std::vector<int32_t> out(14, 999);
    const int n = ParseIntegerList(c.text, std::span<int32_t>(out.data(), c.room));
    EXPECT_EQ(std::vector<int32_t>(out.begin(), out.begin() + n), c.values) << c.text;
    EXPECT_EQ(out[n], 999);
  }
}

TEST(Validate, TheRuleForNamesAndCurves) {
  for (std::string ok : {"Caf\xE9 au lait"s, "\xA0\xFF"s, std::string(32, 'n')})
    EXPECT_FALSE(ValidateName(ok)) << ok;
  for (std::string bad : {""s, std::string(33, 'n'), "a\tb"s, "del\x7F"s, "c1\x80"s, "c1\x9F"s,
                          "nul\0"s})
    EXPECT_TRUE(ValidateName(bad)) << bad;
  EXPECT_EQ(ValidateName("")->stringId, sid::kNameThisSetting);
  EXPECT_NE(ValidateName("c1\x85")->text.find("0x85"), std::string::npos);
  const Points e = Ends(0, 10000);
  struct Case { Points points; int32_t gamma; int id, point; /* id 0: accepted */ } curves[] = {
      {e, 1, 0, -1}, {e, 9999, 0, -1}, {e, 0, sid::kGammaOutOfRange, -1},
      {e, 10000, sid::kGammaOutOfRange, -1},
      {Ends(U, 10000), U, sid::kNoEndPoints, 0}, {Ends(0, U), U, sid::kNoEndPoints, 12},
      {{0, U, U, U, U, U, 10001, U, U, U, U, U, 10000}, U, sid::kFirstPointOutOfRange + 6, 6},
      {{0, -2, U, U, U, U, U, U, U, U, U, U, 10000}, U, sid::kFirstPointOutOfRange + 1, 1}};
  for (const Case& c : curves) {
    const auto refusal = ValidateCurve(Curve(c.points, c.gamma), kYellow);
    EXPECT_EQ(refusal ? refusal->stringId : 0, c.id) << c.gamma;
    EXPECT_TRUE(!refusal || (refusal->point == c.point &&
                             refusal->text == DefaultStrings().Load(c.id))) << c.id;
  }
  // One curve for all colours: only cyan counts.
  DensityDef d = Definition("ok");
  d.channels[kBlack].points[0] = U;
  EXPECT_FALSE(Validate(d));
  d.allChannels = 0;
  EXPECT_EQ(Validate(d)->channel, kBlack);
}

TEST(Latin1Compose, DecomposedLettersHaveTheirLatin1Form) {
  EXPECT_EQ(ComposeLatin1('a', 0x0308), 0xE4);
  EXPECT_EQ(ComposeLatin1('A', 0x0300), 0xC0);
  EXPECT_EQ(ComposeLatin1('Y', 0x0301), 0xDD);
  EXPECT_EQ(ComposeLatin1('y', 0x0308), 0xFF);
  EXPECT_EQ(ComposeLatin1('n', 0x0303), 0xF1);
  EXPECT_EQ(ComposeLatin1('c', 0x0327), 0xE7);
  // Letters Latin-1 does not have stay decomposed.
  EXPECT_EQ(ComposeLatin1('Y', 0x0308), 0);
  EXPECT_EQ(ComposeLatin1('x', 0x0301), 0);
  EXPECT_EQ(ComposeLatin1('a', 0x0304), 0);
}

TEST(StringTable, HoldsEveryUsedIdAndFillsPlaceholders) {
  for (int id = kFirstStringId; id <= kLastStringId; ++id)
    EXPECT_EQ(DefaultStrings().Load(id).empty(), id == 63 || id == 64 || id == 80) << id;
  EXPECT_TRUE(DefaultStrings().Load(kLastStringId + 1).empty());
  EXPECT_EQ(DefaultStrings().Load(3),
            "The number specified in \"\"0%\"\" is not within the active range.");
  EXPECT_EQ(FillPlaceholders("100% of %s", "x"), "100% of x");
}

}  // namespace
}  // namespace tonalis::test
