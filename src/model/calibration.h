// From measured patches to a density control: per channel, the printer's
// response is smoothed into a rising curve P (density against the ink the
// printer was sent), and the channel's correction c is the ink at which P
// meets the aim: c(x) = P^-1(aim(x)).
//
// Smoothing: the measured values are first made non-decreasing by pooling
// adjacent violators (a patch lighter than one with less ink is averaged
// with it), then joined by a monotone cubic (Fritsch and Carlson), so that
// P never runs backwards and the correction never does either.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "model/curve_fit.h"
#include "model/density_def.h"

namespace tonalis {

enum class AimKind {
  LinearDensity,  // density linear in the input, from paper to full ink
  LinearLStar,    // L* linear in the input
  Gamma,          // density rising as input ^ gamma
};

struct Aim {
  AimKind kind = AimKind::LinearDensity;
  double gamma = 1;      // for AimKind::Gamma
  double maxInk = 100;   // the ink (percent) whose density the aim reaches at 100 %
};

// Density from L* (via Y, white = 100) and back.
double DensityFromLStar(double lstar);
double LStarFromDensity(double density);

// A rising monotone cubic through (x[i], y[i]); x strictly rising, y not
// falling. Outside x[0]..x[n-1] it holds the end values.
class MonotoneCurve {
 public:
  MonotoneCurve(std::vector<double> x, std::vector<double> y);
  double operator()(double t) const;
  // The smallest t in the curve's range with value >= v (the range's ends
  // beyond the values).
  double Inverse(double v) const;
  double first() const { return x_.front(); }
  double last() const { return x_.back(); }

 private:
  std::vector<double> x_, y_, m_;
};

// Pool-adjacent-violators: the non-decreasing sequence closest to `y` in
// least squares with weights `w`.
std::vector<double> Isotonic(const std::vector<double>& y, const std::vector<double>& w);

struct ChannelSample {
  double ink;    // percent sent to the printer
  double value;  // in the aim's quantity: density, or 100 - L* for a linear-lstar aim
};

struct ChannelCalibration {
  ToneCurve curve{};
  double fitGap = 0;      // largest gap between the fitted and the ideal correction, percent
  double predicted = 0;   // largest predicted deviation from the aim, percent of its range
  int pooled = 0;         // patches that smoothing moved (out of order)
  double largestMove = 0; // the most smoothing moved one, in the quantity's units
  std::string error{};    // when the channel cannot be calibrated
};

// Calibrates one channel from its samples (in any order).
ChannelCalibration CalibrateChannel(std::vector<ChannelSample> samples, const Aim& aim);

}  // namespace tonalis
