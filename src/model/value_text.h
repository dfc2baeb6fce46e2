// Text forms of values in hundredths of a percent.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tonalis {

// 1234 -> "12.34", 7 -> "0.07", 10000 -> "100.0", -1 -> "" (see value_text.cpp
// for the full rule). Also the form of every number in a lookup table.
std::string FormatHundredths(int32_t value);

// Field text -> hundredths. Returns whether the text is valid (at most 100.00).
// `value` becomes -1 for an empty text, is left untouched for a malformed text,
// and receives the number (valid or not) otherwise. Texts of any length are
// safe: numbers beyond the int32 range saturate at INT32_MAX.
bool ParseHundredths(std::string_view text, int32_t& value);

// Reads up to out.size() integers from `text`. A token is a run of '0'-'9' and
// '-'; it is closed by any other character and converted as a decimal with an
// optional leading sign ("5-3" -> 5, "-" -> 0). A token still open at the end
// of the text is not stored. Only the first 31 characters of a token count
// (the rest of the run is skipped); conversions saturate at the int32 range.
// Returns the number of values stored.
int ParseIntegerList(std::string_view text, std::span<int32_t> out);

inline constexpr std::size_t kMaxTokenLength = 31;

}  // namespace tonalis
