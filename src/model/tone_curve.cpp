#include "model/tone_curve.h"

#include <cmath>

namespace tonalis {

Knots KnotsOf(const ToneCurve& curve) {
  Knots k;
  for (int i = 0; i < kPointCount; ++i) {
    if (curve.points[i] == kUnset) continue;
    ++k.n;
    k.x[k.n] = static_cast<float>(ControlInputs[i]);
    k.y[k.n] = static_cast<float>(static_cast<double>(curve.points[i]) / 100.0);
  }
  return k;
}

void SplineSecondDerivatives(int n, const KnotArray& x, const KnotArray& y, KnotArray& y2) {
  if (n < 2 || n > kMaxKnots) return;
  KnotArray h{}, d{}, r{};
  for (int j = 1; j <= n - 1; ++j) h[j] = x[j + 1] - x[j];
  for (int j = 1; j <= n - 2; ++j) d[j] = (x[j + 2] - x[j]) * 2.0f;
  for (int j = 1; j <= n - 2; ++j) {
    const float slopes = (y[j + 2] - y[j + 1]) / h[j + 1] - (y[j + 1] - y[j]) / h[j];
    r[j] = static_cast<float>(static_cast<double>(slopes) * 6.0);  // double
  }
  y2[1] = 0.0f;
  y2[n] = 0.0f;
  for (int j = 2; j <= n - 2; ++j) {
    d[j] = d[j] - h[j] * h[j] / d[j - 1];
    r[j] = r[j] - h[j] * r[j - 1] / d[j - 1];
  }
  for (int m = n - 1; m >= 2; --m) y2[m] = (r[m - 1] - h[m] * y2[m + 1]) / d[m - 1];
}

float SplineValue(int n, const KnotArray& x, const KnotArray& y, const KnotArray& y2, float t) {
  int k = 1;
  while (k < n - 1 && t > x[k + 1]) ++k;
  const float w = x[k + 1] - x[k];
  const float b = (t - x[k]) / w;
  const float a = 1.0f - b;
  const float c = ((a * a * a - a) * y2[k] + (b * b * b - b) * y2[k + 1]) * (w * w);
  const float linear = a * y[k] + b * y[k + 1];
  const float s =
      static_cast<float>(static_cast<double>(c) / 6.0 + static_cast<double>(linear));  // double
  if (s < 0.0f) return 0.0f;
  if (s > 100.0f) return 100.0f;
  return s;
}

Spline::Spline(const ToneCurve& curve) : knots(KnotsOf(curve)) {
  SplineSecondDerivatives(knots.n, knots.x, knots.y, y2);
}

float Spline::operator()(float t) const { return SplineValue(knots.n, knots.x, knots.y, y2, t); }

std::array<int32_t, kPointCount> ApplyGamma(int32_t gamma) {
  const float g = static_cast<float>(static_cast<double>(gamma) / 100.0);
  std::array<int32_t, kPointCount> points{};
  for (int i = 0; i < kPointCount; ++i) {
    const float q = static_cast<float>(static_cast<double>(ControlInputs[i]) / 100.0);
    const float p = powf(q, g);
    const float percent = p * 100.0f;
    const float e = (percent * 10.0f) * 10.0f;
    points[i] = static_cast<int32_t>(e);  // truncation toward zero
  }
  return points;
}

std::array<int32_t, kTableSize> TransferTable(const ToneCurve& curve) {
  std::array<int32_t, kTableSize> table{};
  const Spline spline(curve);
  int k = 0;
  for (int i = kTableSize - 1; i >= 0; --i, ++k) {
    int32_t t;
    if (spline.defined()) {
      const float x = static_cast<float>(static_cast<double>(i) * 100.0 / 255.0);
      const float y = spline(x);
      const float v = static_cast<float>(static_cast<double>(y) * 255.0);
      t = static_cast<int32_t>((v * 10.0f + 5.0f) / 10.0f);
    } else {
      t = i * 100;  // identity
    }
    table[k] = 25500 - t;
  }
  return table;
}

}  // namespace tonalis
