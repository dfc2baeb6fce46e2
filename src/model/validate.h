// The rules a definition must meet before it is stored, whichever way it
// comes in: the curve editor, a JSON file, the library or a PPD being
// written. One rule for names and one for curves, so that whatever one way
// stores, every other way takes back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/density_def.h"
#include "model/string_table.h"

namespace tonalis {

// Whether a name may hold the byte `b`: a printable character of ISO 8859-1.
// The control characters of both halves (0x00-0x1F, 0x7F-0x9F) are refused:
// they would break a PPD's lines, show as nothing in a print dialog or steer
// a terminal.
constexpr bool IsNameByte(unsigned char b) {
  return !(b < 0x20 || (b >= 0x7F && b <= 0x9F));
}

// The first byte of `name` that IsNameByte refuses.
std::optional<unsigned char> ForbiddenByteIn(std::string_view name);

// Why a definition may not be stored.
struct Refusal {
  int stringId = 0;   // the string table's text; 0 when the table has none
  std::string text;   // the text the user reads
  int channel = -1;   // the channel concerned, -1 for the name
  int point = -1;     // the control point concerned (0..12), -1 for none or the gamma
};

// The name rule: 1 to 32 bytes, each one IsNameByte accepts.
std::optional<Refusal> ValidateName(std::string_view name, const StringSource& strings = DefaultStrings());

// The curve rule for one channel: the 0 % and 100 % points set, every set
// point within 0..10000, the gamma unset or 1..9999.
std::optional<Refusal> ValidateCurve(const ToneCurve& curve, int channel,
                                     const StringSource& strings = DefaultStrings());

// Both rules, in the editor's order: the name, then each channel that takes
// part (cyan alone when one curve serves all colours; the four otherwise).
std::optional<Refusal> Validate(const DensityDef& def, const StringSource& strings = DefaultStrings());

}  // namespace tonalis
