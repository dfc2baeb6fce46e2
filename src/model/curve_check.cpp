#include "model/curve_check.h"

#include <algorithm>
#include <cmath>

#include "model/string_table.h"

namespace tonalis {

namespace {

// One interval of the spline as a cubic in b = (t - x0) / w, in double.
struct Cubic {
  double x0, w, y0, y1, z0, z1;  // z: the second derivatives times w^2 / 6

  Cubic(const Spline& s, int k)
      : x0(s.knots.x[k]),
        w(static_cast<double>(s.knots.x[k + 1]) - s.knots.x[k]),
        y0(s.knots.y[k]),
        y1(s.knots.y[k + 1]),
        z0(s.y2[k] * w * w / 6.0),
        z1(s.y2[k + 1] * w * w / 6.0) {}

  double B(double t) const { return (t - x0) / w; }
  double T(double b) const { return x0 + b * w; }
  double At(double b) const {
    const double a = 1.0 - b;
    return a * y0 + b * y1 + (a * a * a - a) * z0 + (b * b * b - b) * z1;
  }
  // ds/db = p b^2 + q b + r.
  double Slope(double b) const {
    const double a = 1.0 - b;
    return (y1 - y0) + (1.0 - 3.0 * a * a) * z0 + (3.0 * b * b - 1.0) * z1;
  }
  // Where the slope is zero, strictly between lo and hi, in order.
  std::vector<double> TurningPoints(double lo, double hi) const {
    const double p = 3.0 * (z1 - z0), q = 6.0 * z0, r = (y1 - y0) - 2.0 * z0 - z1;
    std::vector<double> roots;
    if (p == 0.0) {
      if (q != 0.0)
        roots.push_back(-r / q);
    } else {
      const double d = q * q - 4.0 * p * r;
      if (d >= 0.0) {
        // The form that keeps its digits when q is much larger than the rest.
        const double m = -0.5 * (q + std::copysign(std::sqrt(d), q));
        if (m != 0.0)
          roots.push_back(r / m);
        roots.push_back(m / p);
      }
    }
    std::vector<double> inside;
    for (double b : roots)
      if (b > lo && b < hi)
        inside.push_back(b);
    std::sort(inside.begin(), inside.end());
    return inside;
  }
  // The b in [lo, hi] where the cubic, monotone there, meets `level`;
  // the values at the ends lie on either side of it.
  double Crossing(double lo, double hi, double level) const {
    const bool rising = At(hi) > At(lo);
    for (int i = 0; i < 200 && hi - lo > 1e-15; ++i) {
      const double mid = 0.5 * (lo + hi);
      if ((At(mid) > level) == rising)
        hi = mid;
      else
        lo = mid;
    }
    return 0.5 * (lo + hi);
  }
};

// A range under construction, with the extreme value (or the fall) that
// decides whether it is reported.
struct Run {
  InputRange range;
  double size;
};

void Append(std::vector<Run>& runs, double from, double to, double size, bool add) {
  if (!(to > from))
    return;
  if (!runs.empty() && runs.back().range.to == from) {
    runs.back().range.to = to;
    runs.back().size = add ? runs.back().size + size : std::max(runs.back().size, size);
  } else {
    runs.push_back({{from, to}, size});
  }
}

std::vector<InputRange> Reported(const std::vector<Run>& runs) {
  std::vector<InputRange> out;
  for (const Run& run : runs)
    if (run.size > kExcursionTolerance)
      out.push_back(run.range);
  return out;
}

}  // namespace

double UnlimitedSplineValue(const Spline& spline, double t) {
  const Knots& k = spline.knots;
  int i = 1;
  while (i < k.n - 1 && t > k.x[i + 1]) ++i;
  const Cubic c(spline, i);
  return c.At(c.B(t));
}

CurveExcursions FindExcursions(const Spline& spline) {
  CurveExcursions found;
  if (!spline.defined())
    return found;
  const Knots& k = spline.knots;
  std::vector<Run> above, below, falling;
  for (int i = 1; i <= k.n - 1; ++i) {
    // The first and last interval reach to the ends of the scale.
    const double tLo = i == 1 ? std::min(0.0, static_cast<double>(k.x[1])) : k.x[i];
    const double tHi = i == k.n - 1 ? std::max(100.0, static_cast<double>(k.x[k.n])) : k.x[i + 1];
    const double from = std::clamp(tLo, 0.0, 100.0), to = std::clamp(tHi, 0.0, 100.0);
    if (!(to > from))
      continue;
    const Cubic c(spline, i);
    std::vector<double> cuts = c.TurningPoints(c.B(from), c.B(to));
    cuts.insert(cuts.begin(), c.B(from));
    cuts.push_back(c.B(to));
    // Between turning points the cubic is monotone.
    for (std::size_t p = 0; p + 1 < cuts.size(); ++p) {
      const double b0 = cuts[p], b1 = cuts[p + 1];
      const double t0 = p == 0 ? from : c.T(b0);
      const double t1 = p + 2 == cuts.size() ? to : c.T(b1);
      const double s0 = c.At(b0), s1 = c.At(b1);
      // The sub-range beyond `level` on the side `high`, as input.
      auto beyond = [&](double level, bool high, double& u0, double& u1) {
        const bool in0 = high ? s0 > level : s0 < level;
        const bool in1 = high ? s1 > level : s1 < level;
        u0 = t0, u1 = t1;
        if (in0 == in1)
          return in0;
        const double t = c.T(c.Crossing(b0, b1, level));
        (in0 ? u1 : u0) = t;
        return true;
      };
      double u0, u1;
      if (beyond(100.0, true, u0, u1))
        Append(above, u0, u1, std::max(s0, s1) - 100.0, false);
      if (beyond(0.0, false, u0, u1))
        Append(below, u0, u1, -std::min(s0, s1), false);
      if (c.Slope(0.5 * (b0 + b1)) < 0.0 && s0 > 0.0 && s1 < 100.0) {
        // The part of a fall that lies within 0..100 %.
        const double f0 = s0 > 100.0 ? c.T(c.Crossing(b0, b1, 100.0)) : t0;
        const double f1 = s1 < 0.0 ? c.T(c.Crossing(b0, b1, 0.0)) : t1;
        Append(falling, f0, f1, std::min(s0, 100.0) - std::max(s1, 0.0), true);
      }
    }
  }
  found.above = Reported(above);
  found.below = Reported(below);
  found.falling = Reported(falling);
  return found;
}

CurveExcursions FindExcursions(const ToneCurve& curve) {
  return FindExcursions(Spline(curve));
}

int ExcursionNote(const std::vector<CurveExcursions>& drawn) {
  bool above = false, below = false, falling = false;
  for (const CurveExcursions& e : drawn) {
    above = above || !e.above.empty();
    below = below || !e.below.empty();
    falling = falling || !e.falling.empty();
  }
  const int kinds = int{above} + int{below} + int{falling};
  if (kinds == 0)
    return 0;
  if (kinds > 1)
    return sid::kCurveClipped;
  return above ? sid::kCurveAbove : below ? sid::kCurveBelow : sid::kCurveBackwards;
}

}  // namespace tonalis
