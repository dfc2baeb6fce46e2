// Measurements of a printed test chart: per process colour, the density or
// the lightness L* of single-colour patches at known inputs.
//
// Two kinds of file are read:
//  - CSV whose first line is the header "channel,input,density" or
//    "channel,input,lstar"; each further line one patch: the colour (C, M,
//    Y, K or cyan, magenta, yellow, black, in any case), the input in percent
//    and the value. Lines in any order; blank lines and lines starting with
//    '#' are skipped.
//  - ArgyllCMS .ti3 files (CGATS, first word CTI3), as chartread writes them:
//    device values in CMYK_C, CMYK_M, CMYK_Y, CMYK_K (percent), and LAB_L
//    or XYZ_Y (Y of white = 100). Y is taken as density -log10(Y / 100);
//    without it L* is used. Patches with more than one colorant are left out;
//    the paper (no colorant) is the 0 % patch of every colour.
// A patch measured more than once counts with the mean of its values. Every
// colour needs its 0 % and its 100 % patch and at least four others.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/density_def.h"

namespace tonalis {

enum class MeasuredQuantity { Density, LStar };

struct MeasuredPatch {
  double input;  // percent
  double value;  // density, or L*
};

struct Measurements {
  MeasuredQuantity quantity = MeasuredQuantity::Density;
  // Per channel, by rising input, one patch per input.
  std::array<std::vector<MeasuredPatch>, kChannelCount> channels;
};

struct MeasurementsRead {
  std::optional<Measurements> measurements;
  // Without measurements: "FILE:LINE: what is wrong", or "FILE: what".
  std::string error;
};

// Reads the measurements of the file `text`, named `file` in messages.
MeasurementsRead ParseMeasurements(std::string_view text, const std::string& file);

// The largest measurement file read, in bytes.
inline constexpr std::size_t kMaxMeasurementBytes = std::size_t{16} << 20;

}  // namespace tonalis
