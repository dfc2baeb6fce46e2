#include "model/tone_curve.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "model/value_text.h"

namespace tonalis {
namespace {

ToneCurve Curve(std::array<int32_t, 13> points, int32_t gamma = -1) {
  ToneCurve c;
  for (int i = 0; i < 13; ++i) c.points[i] = points[i];
  c.gamma = gamma;
  return c;
}

constexpr int U = -1;
const ToneCurve kIdentity13 =
    Curve({0, 500, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 9500, 10000});
const ToneCurve kEndsOnly = Curve({0, U, U, U, U, U, U, U, U, U, U, U, 10000});

TEST(ApplyGamma, MatchesTheReferenceTables) {
  using P = std::array<int32_t, 13>;
  EXPECT_EQ(ApplyGamma(100), (P{0, 500, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000,
                                9500, 10000}));
  EXPECT_EQ(ApplyGamma(220),
            (P{0, 13, 63, 289, 707, 1332, 2176, 3250, 4562, 6120, 7931, 8932, 10000}));
  EXPECT_EQ(ApplyGamma(45),
            (P{0, 2597, 3548, 4846, 5817, 6621, 7320, 7946, 8517, 9044, 9536, 9771, 10000}));
  EXPECT_EQ(ApplyGamma(9999), (P{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 59, 10000}));
}

TEST(ApplyGamma, EndPointsAreFixedForEveryGamma) {
  for (int g = 1; g <= 9999; g += 7) {
    auto p = ApplyGamma(g);
    ASSERT_EQ(p[0], 0) << g;
    ASSERT_EQ(p[12], 10000) << g;
  }
}

TEST(Spline, TwoKnotsGiveTheStraightLine) {
  Spline s(kEndsOnly);
  ASSERT_TRUE(s.defined());
  EXPECT_EQ(s.y2[1], 0.0f);
  EXPECT_EQ(s.y2[2], 0.0f);
  EXPECT_EQ(s(37.0f), 37.0f);
}

TEST(Spline, OvershootingKnotsAreClippedToTheRange) {
  Spline s(Curve({0, 10000, U, U, U, U, U, U, U, U, U, U, 10000}));
  ASSERT_EQ(s.knots.n, 3);
  EXPECT_EQ(s.y2[1], 0.0f);
  EXPECT_EQ(s.y2[2], -0.6f);
  EXPECT_EQ(s.y2[3], 0.0f);
  EXPECT_EQ(s(2.5f), 50.9375f);
  // The raw cubic reaches about 321 at 20; the value is limited to 100.
  EXPECT_EQ(s(20.0f), 100.0f);
}

TEST(Spline, ExtrapolatesTheLastIntervalAndClamps) {
  // 100 % unset: the last knot is at 95 % and t = 100 uses the last interval.
  Spline s(Curve({0, U, U, U, U, U, 5000, U, U, U, U, 9800, U}));
  ASSERT_EQ(s.knots.n, 3);
  float v = s(100.0f);
  EXPECT_GE(v, 0.0f);
  EXPECT_LE(v, 100.0f);
  EXPECT_GT(v, 98.0f);
  // Below the first knot the first interval is extrapolated.
  Spline low(Curve({U, U, 2000, U, U, U, U, U, U, U, U, U, 10000}));
  EXPECT_NEAR(low(0.0f), 100.0f / 9.0f, 1e-4f);
}

TEST(Spline, ThirteenIdentityPointsGiveTheIdentity) {
  Spline s(kIdentity13);
  for (float t = 1.0f; t <= 100.0f; t += 1.0f) EXPECT_NEAR(s(t), t, 1e-4f) << t;
}

TEST(Spline, SetUpIgnoresKnotCountsOutsideTheRange) {
  KnotArray x{}, y{}, y2;
  y2.fill(7.0f);
  SplineSecondDerivatives(1, x, y, y2);
  SplineSecondDerivatives(100, x, y, y2);
  for (float v : y2) EXPECT_EQ(v, 7.0f);
  EXPECT_FALSE(HasCurve(KnotsOf(Curve({0, U, U, U, U, U, U, U, U, U, U, U, U}))));
}

std::string Entry(const std::array<int32_t, 256>& t, int k) { return FormatHundredths(t[k]); }

TEST(TransferTable, IdentityCurvesGiveTheIdentityTable) {
  for (const ToneCurve& c : {kIdentity13, kEndsOnly}) {
    auto t = TransferTable(c);
    for (int k = 0; k < 256; ++k) ASSERT_EQ(t[k], k * 100) << k;
  }
}

TEST(TransferTable, HalfOutputGivesTheUpperHalf) {
  auto t = TransferTable(Curve({0, U, U, U, U, U, U, U, U, U, U, U, 5000}));
  for (int k = 0; k < 256; ++k) ASSERT_EQ(t[k], 12750 + k * 50) << k;
  EXPECT_EQ(Entry(t, 0), "127.5");
  EXPECT_EQ(Entry(t, 1), "128.0");
  EXPECT_EQ(Entry(t, 255), "255.0");
}

TEST(TransferTable, RaisedBlackPointScalesTheTable) {
  auto t = TransferTable(Curve({2000, U, U, U, U, U, U, U, U, U, U, U, 10000}));
  for (int k = 0; k < 256; ++k) ASSERT_EQ(t[k], k * 80) << k;
  EXPECT_EQ(Entry(t, 1), "0.80");
  EXPECT_EQ(Entry(t, 254), "203.2");
  EXPECT_EQ(Entry(t, 255), "204.0");
}

TEST(TransferTable, OvershootStaysWithinTheScale) {
  auto t = TransferTable(Curve({0, 10000, U, U, U, U, U, U, U, U, 0, U, 10000}));
  for (int v : t) {
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 25500);
  }
}

TEST(TransferTable, TooFewPointsMeanNoAdjustment) {
  auto none = TransferTable(Curve({U, U, U, U, U, U, U, U, U, U, U, U, U}));
  auto one = TransferTable(Curve({U, U, U, U, U, U, 3000, U, U, U, U, U, U}));
  for (int k = 0; k < 256; ++k) {
    ASSERT_EQ(none[k], k * 100);
    ASSERT_EQ(one[k], k * 100);
  }
}

TEST(TransferTable, GammaCurveIsMonotoneAndExact) {
  ToneCurve c;
  auto p = ApplyGamma(220);
  for (int i = 0; i < 13; ++i) c.points[i] = p[i];
  c.gamma = 220;
  auto t = TransferTable(c);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[255], 25500);
  // Input 50 % (PostScript index 127/128 region): 255 - 2.55 * 21.76 ~ 199.5.
  EXPECT_NEAR(t[127] / 100.0, 255 - 2.55 * 21.76, 1.5);
}

}  // namespace
}  // namespace tonalis
