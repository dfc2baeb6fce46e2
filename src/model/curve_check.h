// Where a channel's spline leaves what the printer can follow.
//
// The printer gets the spline limited to 0..100 % (TransferTable), so
// wherever the unlimited spline rises above 100 % or falls below 0 % it
// prints the limit instead; and where the spline falls while the input rises
// a darker input prints lighter. The ranges are worked out in double
// precision per spline interval, from the same knots and second derivatives
// the printer's table is made of.
#pragma once

#include <vector>

#include "model/density_def.h"
#include "model/tone_curve.h"

namespace tonalis {

// A range of input, in percent, from < to.
struct InputRange {
  double from = 0.0;
  double to = 0.0;
  bool operator==(const InputRange&) const = default;
};

// The ranges of 0..100 % input where the curve as drawn is not what prints,
// each list in input order, its ranges apart from each other.
struct CurveExcursions {
  std::vector<InputRange> above;    // the spline above 100 %
  std::vector<InputRange> below;    // the spline below 0 %
  std::vector<InputRange> falling;  // the spline within 0..100 % and falling
  bool any() const { return !above.empty() || !below.empty() || !falling.empty(); }
  bool operator==(const CurveExcursions&) const = default;
};

// Excursions smaller than this, in percent, are not reported: half of the
// least step of a point value, and far below one step of the table.
inline constexpr double kExcursionTolerance = 0.005;

// The spline at t (percent) in double precision and not limited. Before the
// first and after the last knot the first and last interval go on, as they
// do in SplineValue. Requires spline.defined().
double UnlimitedSplineValue(const Spline& spline, double t);

// Nothing for a curve with fewer than two set points (no adjustment).
CurveExcursions FindExcursions(const Spline& spline);
CurveExcursions FindExcursions(const ToneCurve& curve);

// The string of the note on the curves drawn: sid::kCurveAbove, kCurveBelow
// or kCurveBackwards when the printer leaves them in one way only,
// sid::kCurveClipped when in more than one, 0 when it follows them all.
int ExcursionNote(const std::vector<CurveExcursions>& drawn);

}  // namespace tonalis
