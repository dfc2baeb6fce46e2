#include "model/value_text.h"

#include <cstdint>
#include <limits>

namespace tonalis {

std::string FormatHundredths(int32_t value) {
  const std::string s = std::to_string(value);
  switch (s.size()) {
    case 1:
      return "0.0" + s;
    case 2:
      // The values -1 to -9: -1 is "unset" and shows as an empty field.
      if (s[0] == '-') return {};
      return "0." + s;
    case 3:
    case 4:
      return s.substr(0, s.size() - 2) + "." + s.substr(s.size() - 2);
    case 5:
      // Five characters is the width of a value field: the fifth is dropped.
      return s.substr(0, 3) + "." + s.substr(3, 1);
    default:
      return s;
  }
}

namespace {

// Decimal digits -> non-negative value, saturating at INT32_MAX.
int64_t AccumulateDigits(int64_t acc, std::string_view digits) {
  constexpr int64_t kCap = std::numeric_limits<int32_t>::max();
  for (char c : digits) {
    acc = acc * 10 + (c - '0');
    if (acc > kCap) acc = kCap;
  }
  return acc;
}

}  // namespace

bool ParseHundredths(std::string_view text, int32_t& value) {
  if (text.empty()) {
    value = -1;
    return true;
  }
  for (char c : text) {
    if ((c < '0' || c > '9') && c != '.') return false;
  }
  int64_t number = 0;
  const std::size_t point = text.find('.');
  if (point != std::string_view::npos) {
    std::string_view after = text.substr(point + 1);
    if (after.size() > 2 || after.find('.') != std::string_view::npos) return false;
    number = AccumulateDigits(0, text.substr(0, point));
    number = AccumulateDigits(number, after);
    for (std::size_t i = after.size(); i < 2; ++i) number = AccumulateDigits(number, "0");
  } else {
    number = AccumulateDigits(0, text);
    number = AccumulateDigits(number, "00");
  }
  value = static_cast<int32_t>(number);
  return number <= 10000;
}

namespace {

int32_t ConvertToken(std::string_view token) {
  // atoi-like: optional sign, then digits up to the first other character.
  std::size_t i = 0;
  bool negative = false;
  if (i < token.size() && token[i] == '-') {
    negative = true;
    ++i;
  }
  int64_t acc = 0;
  constexpr int64_t kCap = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
    acc = acc * 10 + (token[i] - '0');
    if (acc > kCap) acc = kCap;
  }
  if (negative) return static_cast<int32_t>(-acc);
  return static_cast<int32_t>(acc > kCap - 1 ? kCap - 1 : acc);
}

bool IsTokenChar(char c) { return (c >= '0' && c <= '9') || c == '-'; }

}  // namespace

int ParseIntegerList(std::string_view text, std::span<int32_t> out) {
  int stored = 0;
  std::size_t i = 0;
  while (i < text.size() && static_cast<std::size_t>(stored) < out.size()) {
    if (!IsTokenChar(text[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < text.size() && IsTokenChar(text[i])) ++i;
    if (i == text.size()) break;  // still open at the end: not stored
    std::string_view token = text.substr(start, i - start);
    if (token.size() > kMaxTokenLength) token = token.substr(0, kMaxTokenLength);
    out[stored++] = ConvertToken(token);
  }
  return stored;
}

}  // namespace tonalis
