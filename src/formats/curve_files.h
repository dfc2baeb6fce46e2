// Curve files shared with other colour tools: the four channels' corrections
// as 256-entry tables, read and written in the formats those tools know.
//
// Every value, in a file as in a table, is an amount of ink: 0 is paper, the
// top of the scale is full ink. The format follows the file name's extension
// (in any case):
//  - .cal  ArgyllCMS calibration (CGATS text): CMYK_I and CMYK_C..CMYK_K,
//          0..1. Written with 256 sets and enough decimals to read back the
//          same tables; read with any field order, extra keywords and fields,
//          comments, and any number (two or more) of sets at rising CMYK_I
//          from 0 to 1, resampled linearly onto the 256 inputs.
//  - .amp  Photoshop arbitrary map: 256 bytes (one map for all four colours)
//          or 1280 (the composite, then C, M, Y, K; the composite applies
//          after each colour's map); byte i is the output 0..255 at input i.
//          Whole levels only: writing rounds each entry to its level.
//  - .acv  Photoshop curves: big-endian 16-bit version, curve count, then per
//          curve its point count and (output, input) pairs 0..255, in the
//          order composite, C, M, Y, K. Written from the definition's control
//          points, read as natural cubic splines through the points.
//  - .csv  "input,cyan,magenta,yellow,black", then one row per input 0..255
//          with the outputs on the 0..255 scale, two decimals (exact).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/density_def.h"
#include "model/tone_curve.h"

namespace tonalis {

// One channel: entry i is the output at input i / 255, in hundredths on the
// 0..255 scale (0..25500), as CurveSamples gives it times 255.
using CurveTable = std::array<int32_t, kTableSize>;

struct CurveTables {
  std::array<CurveTable, kChannelCount> channels{};
  bool operator==(const CurveTables&) const = default;
};

// The tables of what `def` prints: each channel's transfer table in input
// order; with allChannels 1 cyan's for all four.
CurveTables TablesOf(const DensityDef& def);

// The curve of each channel as `def` prints them (cyan's four times when it
// serves all colours).
std::array<ToneCurve, kChannelCount> CurvesOf(const DensityDef& def);

enum class CurveFormat { Cal, Amp, Acv, Csv };

// The format of a file named `path`, from its extension; none for another.
std::optional<CurveFormat> CurveFormatOf(std::string_view path);
// "FILE: unknown kind of curve file (known: ...)", for a path without one.
std::string UnknownCurveFormat(const std::string& path);

// Whether writing `format` can change the tables (it rounds them).
constexpr bool IsLossy(CurveFormat format) {
  return format == CurveFormat::Amp || format == CurveFormat::Acv;
}

struct CurveFileText {
  // The .cal file's DESCRIPTOR and CREATED; the other formats hold neither.
  std::string description;
  std::string created;
};

// The bytes of `def` as a file of `format`.
std::string CurveFileBytes(const DensityDef& def, CurveFormat format,
                           const CurveFileText& text = {});

struct CurveFileRead {
  std::optional<CurveTables> tables;
  // Without tables: "FILE:LINE: what is wrong" for the text formats,
  // "FILE: N bytes: what" for the binary ones, or "FILE: what".
  std::string error;
};

// Reads the curve file `bytes` in `format`, named `file` in messages.
CurveFileRead ParseCurveFile(std::string_view bytes, CurveFormat format, const std::string& file);

// The largest curve file read, in bytes.
inline constexpr std::size_t kMaxCurveFileBytes = std::size_t{4} << 20;

}  // namespace tonalis
