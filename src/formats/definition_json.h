// Definitions as JSON objects, the form in which the command line reads and
// writes them:
//
//   {"name": "Standard", "allChannels": 1,
//    "channels": [{"points": [13 integers, -1 = unset], "gamma": -1}, x4]}
//
// channels in the order cyan, magenta, yellow, black. A name is a byte string
// in the record; bytes 0x80 to 0xFF are ISO 8859-1 characters, so they become
// the characters U+0080 to U+00FF in JSON and back.
#pragma once

#include <optional>
#include <ostream>
#include <vector>
#include <string>
#include <string_view>

#include "formats/json.h"
#include "model/density_def.h"
#include "model/string_table.h"

namespace tonalis::cli {

// ISO 8859-1 bytes -> UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);
// UTF-8 -> ISO 8859-1 bytes; nullopt when a character lies above U+00FF or
// the text is not UTF-8.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

// The name for a terminal: ISO 8859-1 as UTF-8, control bytes as \xNN.
std::string DisplayName(std::string_view bytes);

json::Value DefinitionToJson(const DensityDef& def);

// A definition as read from JSON, before the checks of StoreRefusal.
struct DefinitionInput {
  std::string name;  // ISO 8859-1 bytes, any length
  int32_t allChannels = 1;
  ToneCurve channels[kChannelCount];
};

// Reads one definition object. Only its shape is checked here: exactly the
// keys above, integers in the 32-bit range, allChannels 0 or 1, names within
// ISO 8859-1. On failure `error` says what is wrong.
std::optional<DefinitionInput> DefinitionFromJson(const json::Value& value, std::string& error);

// Why a definition may not be stored, in the words the curve editor uses on
// acceptance where it has them.
struct Refusal {
  int stringId = 0;  // 0 when the string table has no text for it
  std::string text;
  int channel = -1;  // the channel concerned, if any
};

// The checks made before a definition is stored: a name of 1 to 32 bytes
// without control characters; in every channel that takes part (cyan alone
// when allChannels is 1) the 0 % and 100 % points set, every set point within
// 0..10000 and the gamma -1 or 1..9999. Checked in the editor's order.
std::optional<Refusal> StoreRefusal(const DefinitionInput& input, const StringSource& strings);

// The record to store: starts from `base` (the slot being replaced, so bytes
// after the name stay as they were, or a cleared record), takes the input's
// name, flag and channels, and when allChannels is 1 makes magenta, yellow
// and black copies of cyan.
DensityDef MakeRecord(const DefinitionInput& input, const DensityDef& base);

// Writes definitions for people (per definition its name, mode and the
// points of each curve) or, with asJson, as a JSON array of objects.
void PrintDefinitions(std::ostream& out, const std::vector<const DensityDef*>& defs,
                      bool asJson);

// The English name of a channel: "cyan", "magenta", "yellow", "black".
std::string_view ChannelName(int channel);

}  // namespace tonalis::cli
