// Smoothing and inverting a measured printer response.
#include <gtest/gtest.h>

#include <cmath>

#include "model/calibration.h"
#include "model/curve_fit.h"

namespace tonalis::test {
namespace {

TEST(Calibration, PoolingAdjacentViolatorsGivesTheClosestRisingSequence) {
  const struct {
    std::vector<double> y, w, want;
  } cases[] = {
      {{1, 2, 3}, {1, 1, 1}, {1, 2, 3}},
      {{1, 3, 2, 4}, {1, 1, 1, 1}, {1, 2.5, 2.5, 4}},
      {{3, 2, 1}, {1, 1, 1}, {2, 2, 2}},
      {{1, 3, 2}, {1, 1, 3}, {1, 2.25, 2.25}},
      {{0, 5, 1, 1, 6}, {1, 1, 1, 1, 1}, {0, 7.0 / 3, 7.0 / 3, 7.0 / 3, 6}},
  };
  for (const auto& c : cases) {
    const std::vector<double> got = Isotonic(c.y, c.w);
    ASSERT_EQ(got.size(), c.want.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_DOUBLE_EQ(got[i], c.want[i]) << i;
  }
}

TEST(Calibration, MonotoneCurveNeverOvershootsAndInvertsItself) {
  // A steep step between flat runs, where a natural spline would ring.
  const MonotoneCurve p({0, 10, 20, 30, 40, 100}, {0, 0, 0.1, 1.5, 1.5, 1.6});
  double last = -1;
  for (int i = 0; i <= 1000; ++i) {
    const double t = i / 10.0, v = p(t);
    EXPECT_GE(v, last - 1e-12) << t;
    last = v;
    if (v > 0 && v < 1.5) {
      EXPECT_NEAR(p(p.Inverse(v)), v, 1e-9) << t;
    }
  }
  EXPECT_DOUBLE_EQ(p(20), 0.1);
  EXPECT_NEAR(p.Inverse(1.5), 30, 1e-6);  // the start of a flat run
}

std::vector<ChannelSample> DotGain(double gain, double dmax) {
  std::vector<ChannelSample> s;
  for (int x = 0; x <= 100; x += 5) {
    const double a = x / 100.0 + 4 * gain * x / 100.0 * (1 - x / 100.0);
    s.push_back({double(x), -std::log10(1 - a * (1 - std::pow(10, -dmax)))});
  }
  return s;
}

TEST(Calibration, ChannelCorrectionFollowsTheDotGain) {
  const ChannelCalibration c = CalibrateChannel(DotGain(0.2, 1.4), Aim{});
  ASSERT_TRUE(c.error.empty()) << c.error;
  EXPECT_EQ(c.pooled, 0);
  EXPECT_EQ(CurveSamples(c.curve)[0], 0);  // no ink stays no ink
  EXPECT_EQ(c.curve.points[kPointCount - 1], 10000);
  // Density is linear in the input only with more ink in the mid-tones than the input asks
  // for; dot gain makes that less.
  const ChannelCalibration plain = CalibrateChannel(DotGain(0, 1.4), Aim{});
  EXPECT_GT(c.curve.points[6], 5000);
  EXPECT_LT(c.curve.points[6], plain.curve.points[6] - 1000);
  for (int i = 1; i < kPointCount; ++i) EXPECT_GE(c.curve.points[i], c.curve.points[i - 1]);
  EXPECT_LT(c.predicted, 1.0);

  // A reading that falls back is pooled and reported; the curve still rises.
  std::vector<ChannelSample> noisy = DotGain(0.2, 1.4);
  std::swap(noisy[10].value, noisy[11].value);
  const ChannelCalibration n = CalibrateChannel(noisy, Aim{});
  EXPECT_EQ(n.pooled, 2);
  EXPECT_GT(n.largestMove, 0);
  for (int i = 1; i < kPointCount; ++i) EXPECT_GE(n.curve.points[i], n.curve.points[i - 1]);

  // --max-ink: the aim ends at the density of 80 % ink.
  const ChannelCalibration limited = CalibrateChannel(DotGain(0.2, 1.4), Aim{.maxInk = 80});
  EXPECT_NEAR(limited.curve.points[kPointCount - 1], 8000, 30);

  std::vector<ChannelSample> flat = DotGain(0, 0);
  EXPECT_EQ(CalibrateChannel(flat, Aim{}).error, "the measured value does not rise with ink");
}

TEST(Calibration, LStarAndDensityConvertBothWays) {
  for (double l : {0.5, 5.0, 8.0, 30.0, 50.0, 95.0, 100.0})
    EXPECT_NEAR(LStarFromDensity(DensityFromLStar(l)), l, 1e-9) << l;
  EXPECT_NEAR(DensityFromLStar(100), 0, 1e-12);
  EXPECT_NEAR(DensityFromLStar(50), 0.7347, 1e-4);  // Y = 18.42 %
}

}  // namespace
}  // namespace tonalis::test
