#include "ui/editor/plot_geometry.h"

#include <cmath>

#include "model/tone_curve.h"

namespace tonalis::plot {

namespace {

// The last q of each point's column.
constexpr std::array<int, kPointCount> kColumnEnds = {2,  6,  14, 24, 34, 44, 54,
                                                      64, 74, 84, 92, 96, 100};

float PercentOf(int32_t value) {
  return static_cast<float>(static_cast<double>(value) / 100.0);
}

}  // namespace

std::optional<int> ColumnOfX(int x) {
  const int q = x / 2;  // C++ division truncates toward zero, as intended
  if (q < 0 || q > 100)
    return std::nullopt;
  int index = 0;
  while (q > kColumnEnds[static_cast<std::size_t>(index)]) ++index;
  return index;
}

int YOfPercent(float percent) {
  const float twice = 2.0f * percent;
  return kPlotSize - static_cast<int>(twice);
}

int YOfValue(int32_t value) {
  return YOfPercent(PercentOf(value));
}

int YOfSample(float sample) {
  const double r = (static_cast<double>(sample) * 20.0 + 5.0) / 10.0;
  return kPlotSize - static_cast<int>(r);
}

PlotPoint MarkerCentre(int index, int32_t value) {
  int x = XOfInput(ControlInputs[static_cast<std::size_t>(index)]);
  if (index == 0)
    x = 1;
  if (index == kPointCount - 1)
    x = kPlotSize - 1;
  return {x, YOfValue(value)};
}

std::optional<CurvePath> PathOf(const ToneCurve& curve) {
  const Spline spline(curve);
  if (!spline.defined())
    return std::nullopt;
  CurvePath path;
  const Knots& k = spline.knots;
  path.start = {static_cast<int>(2.0f * k.x[1]), YOfPercent(k.y[1])};
  float t = 1.0f;
  for (PlotPoint& p : path.samples) {
    p = {static_cast<int>(t) * 2, YOfSample(spline(t))};
    t += 1.0f;
  }
  return path;
}

std::vector<PlotPoint> UnlimitedPathOver(const Spline& spline, InputRange range) {
  std::vector<PlotPoint> path;
  auto add = [&](double t) {
    const double s = UnlimitedSplineValue(spline, t);
    const PlotPoint p{static_cast<int>(std::lround(2.0 * t)),
                      static_cast<int>(std::lround(kPlotSize - 2.0 * s))};
    if (path.empty() || !(path.back() == p))
      path.push_back(p);
  };
  add(range.from);
  for (int x = static_cast<int>(std::floor(2.0 * range.from)) + 1; x < 2.0 * range.to; ++x)
    add(x / 2.0);
  add(range.to);
  return path;
}

bool SegmentInside(int t, const std::vector<InputRange>& ranges) {
  const double middle = t - 0.5;
  for (const InputRange& r : ranges)
    if (middle > r.from && middle < r.to)
      return true;
  return false;
}

}  // namespace tonalis::plot
