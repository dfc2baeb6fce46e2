// Fitting the thirteen control points to a wanted tone correction.
//
// A correction made elsewhere (another colour tool's calibration, a curve
// drawn point by point) comes as an output for each of the 256 input levels.
// FitCurve finds the integer control points whose natural spline, as the
// printer receives it through the transfer table, stays closest to it.
#pragma once

#include <array>

#include "model/density_def.h"

namespace tonalis {

inline constexpr int kIdealSize = 256;

// Entry i: the wanted output in percent (0..100) at input i * 100 / 255 %.
using IdealCurve = std::array<double, kIdealSize>;

struct CurveFit {
  ToneCurve curve;  // all thirteen points set, in hundredths; gamma unset
  double maxGap;    // largest |spline - ideal| over the 256 inputs, in percent
};

// The control points (each 0..10000) whose curve has the smallest largest
// gap to `ideal`, the sum of squared gaps deciding between equals. Outputs
// outside 0..100 are taken as 0 or 100; a NaN counts as 0.
CurveFit FitCurve(const IdealCurve& ideal);

// What a channel with `curve` prints at the 256 inputs, in percent: its
// transfer table read back in input order (the table's entry 255 - i), so
// exactly the steps of 1/255 % that the printer gets.
IdealCurve CurveSamples(const ToneCurve& curve);

// The largest |CurveSamples(curve)[i] - ideal[i]|.
double MaxGap(const ToneCurve& curve, const IdealCurve& ideal);

}  // namespace tonalis
