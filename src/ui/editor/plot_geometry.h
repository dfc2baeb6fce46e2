// Geometry of the curve editor's plot: a 200 x 200 pixel square, two pixels
// per percent, x = input to the right, y = output downwards from the top.
//
// Both directions of the mapping live here and nowhere else: pointer pixels
// to point index and value (mouse editing), and values to pixels (curves and
// markers). Everything is integer or fixed single/double arithmetic, so the
// same definition gives the same pixels on every machine.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/curve_check.h"
#include "model/density_def.h"

namespace tonalis::plot {

inline constexpr int kPlotSize = 200;  // the plot spans 0..200 in x and y
inline constexpr int kSamples = 100;   // curve samples at t = 1..100

struct PlotPoint {
  int x = 0;
  int y = 0;
  bool operator==(const PlotPoint&) const = default;
};

// --- Pixels to points and values (mouse) ---------------------------------

// Whether a plot position lies on the area that takes mouse input: 0 <= x <
// 200 and 0 <= y < 200 (the right and bottom border are outside).
constexpr bool InPlot(int x, int y) {
  return x >= 0 && x < kPlotSize && y >= 0 && y < kPlotSize;
}

// The point index of the column under plot x: q = x / 2 (toward zero) picks
// the nearest control input, ties and the ends as the editor has always cut
// them (q 0..2 -> 0 %, 3..6 -> 5 %, ..., 97..100 -> 100 %). Nothing for q
// outside 0..100.
std::optional<int> ColumnOfX(int x);

// The value in hundredths of plot y: (200 - y) * 50, so y = 0 gives 10000 and
// the lowest row inside the plot, y = 199, gives 50. Not limited.
constexpr int32_t ValueOfY(int y) {
  return static_cast<int32_t>(((kPlotSize - y) * 100) / 2);
}

// --- Values to pixels (drawing) -------------------------------------------

// x of an input percentage: 2u.
constexpr int XOfInput(int inputPercent) {
  return 2 * inputPercent;
}

// y of an output in percent held in single precision: 200 - 2v, the product
// in single precision and truncated toward zero.
int YOfPercent(float percent);

// y of a point value in hundredths, through the same single-precision
// percent the spline knots hold (value / 100 in double, rounded to single).
int YOfValue(int32_t value);

// y of a spline sample S (percent, 0..100): 200 - r with r = (S * 20 + 5) / 10
// in double precision, truncated: 2S rounded half up.
int YOfSample(float sample);

// The centre of the marker of point `index` with value `value`: x is 1 for
// the 0 % point and 199 for the 100 % point, so that the marker stays on the
// plot, and 2u otherwise.
PlotPoint MarkerCentre(int index, int32_t value);

// The drawn path of one channel: the first knot, then the spline at
// t = 1, 2, ..., 100. Nothing for a channel with fewer than two set points:
// such a channel has no curve and is not drawn.
struct CurvePath {
  PlotPoint start;
  std::array<PlotPoint, kSamples> samples;
};
std::optional<CurvePath> PathOf(const ToneCurve& curve);

// The unlimited spline over `range` of input, for the dashed parts of a
// curve: a point at every pixel column inside the range (every half percent)
// and at both ends, x = 2t and y = 200 - 2s rounded to the nearest pixel,
// not held to the plot. Requires spline.defined().
std::vector<PlotPoint> UnlimitedPathOver(const Spline& spline, InputRange range);

// Whether the segment of the drawn path that ends at sample t (the segment
// from input t - 1 to t) runs inside one of `ranges`: its middle lies in one.
bool SegmentInside(int t, const std::vector<InputRange>& ranges);

}  // namespace tonalis::plot
