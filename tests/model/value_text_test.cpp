#include "model/value_text.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>

namespace tonalis {
namespace {

TEST(FormatHundredths, RearrangesByLength) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "0.00"},     {7, "0.07"},     {5, "0.05"},       {50, "0.50"},   {99, "0.99"},
      {100, "1.00"},   {150, "1.50"},   {1234, "12.34"},   {9999, "99.99"}, {10000, "100.0"},
      {10050, "100.5"}, {25245, "252.4"}, {25500, "255.0"}, {-1, ""},       {-9, ""},
      {-50, "-.50"},   {100000, "100000"}, {INT_MIN, "-2147483648"},
  };
  for (auto [value, text] : cases) EXPECT_EQ(FormatHundredths(value), text) << value;
}

TEST(ParseHundredths, AcceptsAndRejectsLikeTheEditor) {
  struct Case {
    const char* text;
    bool valid;
    int32_t value;  // expected value; 42 = untouched
  };
  const Case cases[] = {
      {"", true, -1},          {"1.5", true, 150},      {"1.25", true, 125},
      {"12.", true, 1200},     {".5", true, 50},        {".", true, 0},
      {"0.07", true, 7},       {"12", true, 1200},      {"007", true, 700},
      {"100", true, 10000},    {"100.0", true, 10000},  {"100.5", false, 10050},
      {"101", false, 10100},   {"100.01", false, 10001}, {"1.234", false, 42},
      {"1..2", false, 42},     {"1.2.", false, 42},     {"-5", false, 42},
      {" 1", false, 42},       {"1,5", false, 42},      {"1e2", false, 42},
  };
  for (const Case& c : cases) {
    int32_t value = 42;
    EXPECT_EQ(ParseHundredths(c.text, value), c.valid) << '"' << c.text << '"';
    EXPECT_EQ(value, c.value) << '"' << c.text << '"';
  }
}

TEST(ParseHundredths, LongTextsSaturateInsteadOfOverflowing) {
  int32_t value = 0;
  EXPECT_FALSE(ParseHundredths(std::string(5000, '9'), value));
  EXPECT_EQ(value, INT32_MAX);
  EXPECT_FALSE(ParseHundredths("99999999999.99", value));
  EXPECT_EQ(value, INT32_MAX);
  // Leading zeros of any length are harmless.
  EXPECT_TRUE(ParseHundredths(std::string(1000, '0') + "1", value));
  EXPECT_EQ(value, 100);
}

TEST(ParseHundredths, LeavesTheCallersTextAlone) {
  const std::string text = "12.5";
  int32_t value = 0;
  ParseHundredths(text, value);
  EXPECT_EQ(text, "12.5");
  EXPECT_EQ(value, 1250);
}

TEST(ValueText, EveryValueRoundTrips) {
  for (int32_t v = -1; v <= 10000; ++v) {
    int32_t back = 12345;
    ASSERT_TRUE(ParseHundredths(FormatHundredths(v), back)) << v;
    ASSERT_EQ(back, v);
  }
}

int Parse(std::string_view text, std::array<int32_t, 14>& out, std::size_t max) {
  out.fill(999);
  return ParseIntegerList(text, std::span<int32_t>(out.data(), max));
}

TEST(ParseIntegerList, ReadsTokensUntilTheCountOrTheEnd) {
  std::array<int32_t, 14> v;
  EXPECT_EQ(Parse("0 500 1000\n", v, 13), 3);
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(v[1], 500);
  EXPECT_EQ(v[2], 1000);
  EXPECT_EQ(v[3], 999);

  // A token open at the end of the text is not stored.
  EXPECT_EQ(Parse("7 8", v, 13), 1);
  EXPECT_EQ(v[0], 7);

  EXPECT_EQ(Parse("1,2,3,", v, 2), 2);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 2);
  EXPECT_EQ(v[2], 999);
}

TEST(ParseIntegerList, ConvertsTokensLikeAtoi) {
  std::array<int32_t, 14> v;
  EXPECT_EQ(Parse("-12\t5-3\t-\t--4\t3-\r\n", v, 13), 5);
  EXPECT_EQ(v[0], -12);
  EXPECT_EQ(v[1], 5);
  EXPECT_EQ(v[2], 0);
  EXPECT_EQ(v[3], 0);
  EXPECT_EQ(v[4], 3);
}

TEST(ParseIntegerList, ReadsASectionLine) {
  std::array<int32_t, 14> v;
  const char* line = "0\t500\t1000\t2000\t3000\t4000\t5000\t6000\t7000\t8000\t9000\t9500\t10000\t-1\r\n";
  ASSERT_EQ(Parse(line, v, 14), 14);
  EXPECT_EQ(v[12], 10000);
  EXPECT_EQ(v[13], -1);
  // Fewer numbers than asked for.
  EXPECT_EQ(Parse("1\t2\t3\t4\t5\r\n", v, 14), 5);
}

TEST(ParseIntegerList, KeepsOnlyTheFirst31CharactersOfALongToken) {
  std::array<int32_t, 14> v;
  // 40 characters: the first 31 are "-000...0001" (sign, 29 zeros, a one).
  std::string token = "-" + std::string(29, '0') + "1" + std::string(9, '7');
  ASSERT_EQ(Parse(token + " 5\n", v, 13), 2);
  EXPECT_EQ(v[0], -1);
  EXPECT_EQ(v[1], 5);
  // 31 nines saturate rather than overflow.
  EXPECT_EQ(Parse(std::string(31, '9') + "\n", v, 13), 1);
  EXPECT_EQ(v[0], INT32_MAX);
  EXPECT_EQ(Parse("-" + std::string(30, '9') + "\n", v, 13), 1);
  EXPECT_EQ(v[0], INT32_MIN);
}

TEST(ParseIntegerList, HandlesEmbeddedZeroBytesAndEmptyText) {
  std::array<int32_t, 14> v;
  EXPECT_EQ(Parse("", v, 13), 0);
  EXPECT_EQ(Parse(std::string_view("12\0" "34\n", 6), v, 13), 2);
  EXPECT_EQ(v[0], 12);
  EXPECT_EQ(v[1], 34);
  EXPECT_EQ(Parse("12 34\n", v, 0), 0);
}

}  // namespace
}  // namespace tonalis
