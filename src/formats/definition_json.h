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

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ppd_section.h"
#include "model/density_def.h"
#include "model/string_table.h"
#include "model/validate.h"

namespace tonalis::cli {

// Members keep the order in which they were read or added.
using Json = nlohmann::ordered_json;

// ISO 8859-1 bytes -> UTF-8 (the PPD section's conversion).
using ppd::Latin1ToUtf8;
// UTF-8 -> ISO 8859-1 bytes; nullopt when a character lies above U+00FF or
// the text is not UTF-8. A letter and a combining mark (NFD) become the
// precomposed Latin-1 letter.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

// The name for a terminal: ISO 8859-1 as UTF-8, the bytes a name may not
// hold (control characters of both halves) as \xNN.
std::string DisplayName(std::string_view bytes);

struct JsonError {
  std::string message;
  std::size_t line = 0;    // 1-based
  std::size_t column = 0;  // 1-based, in bytes
};

// Reads a JSON document (RFC 8259 without extensions) and refuses what a
// lenient reader would guess at: comments, trailing commas, leading zeros,
// invalid UTF-8, lone surrogates, duplicate member names, nesting deeper
// than 64 levels and anything after the value.
std::optional<Json> ParseJson(std::string_view text, JsonError& error);

// Compact output with ", " and ": " between items; containers that hold
// further containers more than one level deep are spread over indented
// lines. Strings are written as they are, control characters and DEL
// escaped.
std::string WriteJson(const Json& value);

Json DefinitionToJson(const DensityDef& def);

// One definition object read from JSON.
struct JsonDefinition {
  // Without error and refusal: the record to store, built on a cleared
  // record; when allChannels is 1, magenta, yellow and black are copies of
  // cyan.
  DensityDef record{};
  std::string name;                // the name's bytes as read, for messages
  std::string error;               // the object is not of the form above
  std::optional<Refusal> refusal;  // the definition breaks the rules
};

// Reads one definition object: exactly the members above, integers exact
// and in the 32-bit range, allChannels 0 or 1 (or false or true), names
// within ISO 8859-1. The name is checked by the name rule before it goes into the record (so it is
// never cut short), then the record by the whole rule.
JsonDefinition DefinitionFromJson(const Json& value, const StringSource& strings);

// Writes definitions for people (per definition its name, mode and the
// points of each curve) or, with asJson, as a JSON array of objects.
void PrintDefinitions(std::ostream& out, const std::vector<const DensityDef*>& defs,
                      bool asJson);

// The English name of a channel: "cyan", "magenta", "yellow", "black".
std::string_view ChannelName(int channel);

}  // namespace tonalis::cli
