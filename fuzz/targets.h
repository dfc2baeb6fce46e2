// The bodies of the fuzz targets. Each takes one input and checks what must
// hold for every input; a broken promise prints what broke and aborts.
//
// The libFuzzer entry points (entry.cpp) and the replay test of the ordinary
// suite (tests/hardening/fuzz_replay_test.cpp) call the same functions, so a
// saved finding replays exactly as it was found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tonalis::fuzz {

using Target = int (*)(const uint8_t* data, std::size_t size);

// A whole PPD file through the reader: result codes, the split, the
// definitions' limits.
int PpdRead(const uint8_t* data, std::size_t size);

// A PPD read, its own definitions written back, and the written file read
// again: the same definitions, everything outside the section unchanged, and
// a second write gives the same bytes.
int PpdRoundTrip(const uint8_t* data, std::size_t size);

// Definition records (264 bytes each, up to six) written into a fixed PPD and
// read back: refused before anything is written when a name holds a control
// character, otherwise the same definitions come back.
int PpdWrite(const uint8_t* data, std::size_t size);

// ParseIntegerList with an output of data[0] % 32 places on the rest.
int IntegerList(const uint8_t* data, std::size_t size);

// ParseHundredths on the text, and FormatHundredths on its first four bytes.
int Hundredths(const uint8_t* data, std::size_t size);

// A library file image of any length through DecodeLibrary, and its
// current-format image back through it.
int LibraryRead(const uint8_t* data, std::size_t size);

// A JSON document through the strict reader and, item by item, the
// definition reader: what is written reads back the same, an accepted
// definition keeps the rule and its JSON form is accepted as the same record.
int DefinitionJson(const uint8_t* data, std::size_t size);

// A curve file of the format data[0] % 4 (.cal, .amp, .acv, .csv) in the
// rest: a message or tables, every entry within 0..255.
int CurveFile(const uint8_t* data, std::size_t size);

// Measurements of a test chart: a message or patches from 0 to 100 % by
// rising input; a calibration from them that succeeds keeps the rules.
int MeasurementsFile(const uint8_t* data, std::size_t size);

// Called with what broke before the target aborts; the replay test installs
// one that throws, so that a broken input fails one test, named, and the
// rest still run. Not thread-safe; set it before running targets.
using FailureHandler = void (*)(const std::string& what);
void SetFailureHandler(FailureHandler handler);

struct NamedTarget {
  std::string_view name;
  Target run;
};

// Every target by its name (the name of its folder under tests/data/fuzz).
inline constexpr NamedTarget kTargets[] = {
    {"ppd_read", PpdRead},         {"ppd_roundtrip", PpdRoundTrip},
    {"ppd_write", PpdWrite},       {"integer_list", IntegerList},
    {"hundredths", Hundredths},    {"library_read", LibraryRead},
    {"definition_json", DefinitionJson}, {"curve_file", CurveFile},
    {"measurements", MeasurementsFile},
};

}  // namespace tonalis::fuzz
