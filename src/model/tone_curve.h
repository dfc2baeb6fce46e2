// Natural cubic spline through a channel's set points, and the gamma curve.
//
// The arithmetic is fixed step by step: single precision throughout, except
// the steps marked "double" below, whose results are rounded back to single
// precision. The lookup tables written into PPD files depend on every bit, so
// this file must be compiled without floating-point contraction.
#pragma once

#include <array>
#include <cstdint>

#include "model/density_def.h"

namespace tonalis {

// Knot arrays are indexed 1..n, like the formulas; index 0 is unused.
inline constexpr int kMaxKnots = 99;
using KnotArray = std::array<float, kMaxKnots + 1>;

struct Knots {
  int n = 0;
  KnotArray x{};
  KnotArray y{};
};

// Every set point of `curve` in input order: x = input %, y = value / 100
// (double division, rounded to single).
Knots KnotsOf(const ToneCurve& curve);

// A curve needs at least two set points; with fewer it is undefined and
// SplineValue must not be asked.
inline bool HasCurve(const Knots& k) { return k.n >= 2; }

// Fills y2[1..n]. With n outside 2..99 computes nothing and leaves y2 as is.
void SplineSecondDerivatives(int n, const KnotArray& x, const KnotArray& y, KnotArray& y2);

// The spline at t (percent), limited to 0..100. Requires 2 <= n <= 99.
float SplineValue(int n, const KnotArray& x, const KnotArray& y, const KnotArray& y2, float t);

// A prepared spline: knots and their second derivatives.
struct Spline {
  Knots knots;
  KnotArray y2{};
  explicit Spline(const ToneCurve& curve);
  bool defined() const { return HasCurve(knots); }
  float operator()(float t) const;
};

// Thirteen points of input^(gamma/100) in hundredths; gamma in 1..9999.
std::array<int32_t, kPointCount> ApplyGamma(int32_t gamma);

// The 256 transfer-table entries of a channel in hundredths on a 0..255
// scale, in writing order (entry 0 belongs to input 100 %). A channel with
// fewer than two set points gives the identity table: no adjustment.
inline constexpr int kTableSize = 256;
std::array<int32_t, kTableSize> TransferTable(const ToneCurve& curve);

}  // namespace tonalis
