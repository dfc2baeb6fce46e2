#include "model/calibration.h"

#include "model/tone_curve.h"

#include <algorithm>
#include <cmath>

namespace tonalis {
namespace {

constexpr double kEpsilon = 1e-9;

}  // namespace

double DensityFromLStar(double lstar) {
  const double f = (lstar + 16) / 116;
  const double y = f > 6.0 / 29 ? f * f * f : 3 * (6.0 / 29) * (6.0 / 29) * (f - 4.0 / 29);
  return -std::log10(std::max(y, 1e-10));
}

double LStarFromDensity(double density) {
  const double y = std::pow(10.0, -density);
  constexpr double d = 6.0 / 29;
  const double f = y > d * d * d ? std::cbrt(y) : y / (3 * d * d) + 4.0 / 29;
  return 116 * f - 16;
}

std::vector<double> Isotonic(const std::vector<double>& y, const std::vector<double>& w) {
  struct Block {
    double sum, weight;
    std::size_t count;
  };
  std::vector<Block> blocks;
  for (std::size_t i = 0; i < y.size(); ++i) {
    blocks.push_back({y[i] * w[i], w[i], 1});
    while (blocks.size() > 1) {
      const Block& b = blocks.back();
      const Block& a = blocks[blocks.size() - 2];
      if (a.sum / a.weight <= b.sum / b.weight)
        break;
      const Block merged{a.sum + b.sum, a.weight + b.weight, a.count + b.count};
      blocks.pop_back();
      blocks.back() = merged;
    }
  }
  std::vector<double> out;
  for (const Block& b : blocks) out.insert(out.end(), b.count, b.sum / b.weight);
  return out;
}

MonotoneCurve::MonotoneCurve(std::vector<double> x, std::vector<double> y)
    : x_(std::move(x)), y_(std::move(y)), m_(x_.size(), 0) {
  const std::size_t n = x_.size();
  if (n < 2)
    return;
  std::vector<double> d(n - 1);
  for (std::size_t k = 0; k + 1 < n; ++k) d[k] = (y_[k + 1] - y_[k]) / (x_[k + 1] - x_[k]);
  m_[0] = d[0];
  m_[n - 1] = d[n - 2];
  for (std::size_t k = 1; k + 1 < n; ++k)
    m_[k] = d[k - 1] * d[k] <= 0 ? 0 : (d[k - 1] + d[k]) / 2;
  for (std::size_t k = 0; k + 1 < n; ++k) {
    if (d[k] <= kEpsilon * 1e-3) {
      m_[k] = m_[k + 1] = 0;
      continue;
    }
    const double a = m_[k] / d[k], b = m_[k + 1] / d[k];
    const double s = a * a + b * b;
    if (s > 9) {
      const double tau = 3 / std::sqrt(s);
      m_[k] = tau * a * d[k];
      m_[k + 1] = tau * b * d[k];
    }
  }
}

double MonotoneCurve::operator()(double t) const {
  if (t <= x_.front())
    return y_.front();
  if (t >= x_.back())
    return y_.back();
  const std::size_t k = std::size_t(std::upper_bound(x_.begin(), x_.end(), t) - x_.begin()) - 1;
  const double h = x_[k + 1] - x_[k], s = (t - x_[k]) / h;
  const double s2 = s * s, s3 = s2 * s;
  return (2 * s3 - 3 * s2 + 1) * y_[k] + (s3 - 2 * s2 + s) * h * m_[k] +
         (-2 * s3 + 3 * s2) * y_[k + 1] + (s3 - s2) * h * m_[k + 1];
}

double MonotoneCurve::Inverse(double v) const {
  if (v <= y_.front())
    return x_.front();
  if (v >= y_.back())
    return x_.back();
  double lo = x_.front(), hi = x_.back();
  for (int i = 0; i < 100 && hi - lo > 1e-12; ++i) {
    const double mid = (lo + hi) / 2;
    ((*this)(mid) >= v ? hi : lo) = mid;
  }
  return hi;
}

ChannelCalibration CalibrateChannel(std::vector<ChannelSample> samples, const Aim& aim) {
  ChannelCalibration result;
  std::stable_sort(samples.begin(), samples.end(),
                   [](const ChannelSample& a, const ChannelSample& b) { return a.ink < b.ink; });
  // Samples the printer got the same ink for are one, with their weight.
  std::vector<double> x, y, w;
  for (const ChannelSample& s : samples) {
    if (!x.empty() && s.ink - x.back() < 1e-6) {
      y.back() = (y.back() * w.back() + s.value) / (w.back() + 1);
      w.back() += 1;
    } else {
      x.push_back(s.ink);
      y.push_back(s.value);
      w.push_back(1);
    }
  }
  if (x.size() < 2) {
    result.error = "too few distinct patches";
    return result;
  }
  const std::vector<double> smooth = Isotonic(y, w);
  for (std::size_t i = 0; i < y.size(); ++i) {
    const double moved = std::abs(smooth[i] - y[i]);
    if (moved > kEpsilon) {
      result.pooled += int(w[i]);
      result.largestMove = std::max(result.largestMove, moved);
    }
  }
  // A pooled run of patches becomes one knot, at its mean ink (the wedge's ends keep their
  // place), so that the response rises strictly and its inverse has no jumps.
  std::vector<double> knotX, knotY;
  for (std::size_t i = 0; i < x.size();) {
    std::size_t end = i + 1;
    while (end < x.size() && smooth[end] == smooth[i]) ++end;
    double sum = 0, weight = 0;
    for (std::size_t k = i; k < end; ++k) sum += x[k] * w[k], weight += w[k];
    knotX.push_back(i == 0 ? x.front() : end == x.size() ? x.back() : sum / weight);
    knotY.push_back(smooth[i]);
    i = end;
  }
  if (knotX.size() < 2) {
    result.error = "the measured value does not rise with ink";
    return result;
  }
  const MonotoneCurve response(knotX, knotY);
  const double paper = response(0);
  const double full = response(std::clamp(aim.maxInk, 0.0, 100.0));
  if (!(full - paper > 1e-6)) {
    result.error = "the measured value does not rise with ink";
    return result;
  }
  auto aimAt = [&](double input) {
    const double t = input / 100;
    return paper + (full - paper) * (aim.kind == AimKind::Gamma ? std::pow(t, aim.gamma) : t);
  };
  IdealCurve ideal{};
  for (int i = 0; i < kTableSize; ++i)
    ideal[i] = std::clamp(response.Inverse(aimAt(i * 100.0 / (kTableSize - 1))), 0.0, 100.0);
  // No ink stays no ink: the paper must not get the odd dot.
  ideal[0] = 0;
  result.curve = FitCurve(ideal).curve;
  result.curve.points[0] = 0;
  result.fitGap = MaxGap(result.curve, ideal);
  const IdealCurve printed = CurveSamples(result.curve);
  for (int i = 0; i < kTableSize; ++i) {
    const double off = std::abs(response(printed[i]) - aimAt(i * 100.0 / (kTableSize - 1)));
    result.predicted = std::max(result.predicted, 100 * off / (full - paper));
  }
  return result;
}

}  // namespace tonalis
