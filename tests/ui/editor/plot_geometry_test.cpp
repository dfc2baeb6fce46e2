#include "ui/editor/plot_geometry.h"

#include <gtest/gtest.h>

#include <array>

namespace tonalis::plot {
namespace {

constexpr int U = kUnset;

ToneCurve Curve(std::array<int32_t, kPointCount> points) {
  ToneCurve c{};
  for (int i = 0; i < kPointCount; ++i) c.points[i] = points[static_cast<std::size_t>(i)];
  c.gamma = U;
  return c;
}

TEST(PlotGeometry, ColumnsFollowTheTable) {
  // Each column's first and last x, as q = x / 2 ranges over it.
  const std::array<std::pair<int, int>, kPointCount> qRanges = {{{0, 2},
                                                                 {3, 6},
                                                                 {7, 14},
                                                                 {15, 24},
                                                                 {25, 34},
                                                                 {35, 44},
                                                                 {45, 54},
                                                                 {55, 64},
                                                                 {65, 74},
                                                                 {75, 84},
                                                                 {85, 92},
                                                                 {93, 96},
                                                                 {97, 100}}};
  for (int i = 0; i < kPointCount; ++i) {
    const auto [first, last] = qRanges[static_cast<std::size_t>(i)];
    EXPECT_EQ(ColumnOfX(2 * first), i);
    EXPECT_EQ(ColumnOfX(2 * last + 1), i);
  }
  EXPECT_EQ(ColumnOfX(5), 0);
  EXPECT_EQ(ColumnOfX(6), 1);
  EXPECT_EQ(ColumnOfX(194), 12);
  // Truncation toward zero: x = -1 still lies in the 0 % column.
  EXPECT_EQ(ColumnOfX(-1), 0);
  EXPECT_EQ(ColumnOfX(-2), std::nullopt);
  EXPECT_EQ(ColumnOfX(202), std::nullopt);
}

TEST(PlotGeometry, PixelsAndValuesMapBackOntoEachOther) {
  EXPECT_EQ(ValueOfY(0), 10000);
  EXPECT_EQ(ValueOfY(100), 5000);
  EXPECT_EQ(ValueOfY(199), 50);
  for (int y = -10; y <= 210; ++y) ASSERT_EQ(YOfValue(ValueOfY(y)), y) << y;
  // Every value lands on the row whose value is the largest one not above it.
  for (int32_t v = 0; v <= 10000; ++v) {
    const int y = YOfValue(v);
    ASSERT_LE(ValueOfY(y), v) << v;
    ASSERT_GT(ValueOfY(y - 1), v) << v;
  }
  // A pointer over a control input's marker picks that control input.
  for (int i = 0; i < kPointCount; ++i) {
    EXPECT_EQ(ColumnOfX(MarkerCentre(i, 0).x), i);
  }
}

TEST(PlotGeometry, MarkersOfTheEndPointsStayOnThePlot) {
  EXPECT_EQ(MarkerCentre(0, 0), (PlotPoint{1, 200}));
  EXPECT_EQ(MarkerCentre(12, 10000), (PlotPoint{199, 0}));
  EXPECT_EQ(MarkerCentre(6, 5000), (PlotPoint{100, 100}));
  EXPECT_EQ(MarkerCentre(3, 1234), (PlotPoint{40, 176}));  // 24.68 px truncates to 24
  EXPECT_EQ(MarkerCentre(11, 10100), (PlotPoint{190, -2}));
}

TEST(PlotGeometry, SamplesRoundTwiceTheValueHalfUp) {
  EXPECT_EQ(YOfSample(0.0f), 200);
  EXPECT_EQ(YOfSample(100.0f), 0);
  EXPECT_EQ(YOfSample(37.25f), 200 - 75);  // 74.5 rounds up
  EXPECT_EQ(YOfSample(37.2f), 200 - 74);
}

TEST(PlotGeometry, PathsStartAtTheFirstSetPointAndNeedTwoOfThem) {
  EXPECT_FALSE(PathOf(Curve({U, U, U, U, U, U, U, U, U, U, U, U, 10000})));
  EXPECT_FALSE(PathOf(Curve({U, U, U, U, U, U, U, U, U, U, U, U, U})));
  // Without a 0 % point the path starts at the 10 % knot and the first
  // interval's cubic reaches back to t = 1.
  const auto path = PathOf(Curve({U, U, 2000, U, U, U, U, U, U, U, U, U, 10000}));
  ASSERT_TRUE(path);
  EXPECT_EQ(path->start, (PlotPoint{20, 160}));
  // Above 100 % the curve is held at the top of the plot.
  const auto high = PathOf(Curve({0, 10000, U, U, U, U, U, U, U, U, U, U, 10000}));
  ASSERT_TRUE(high);
  EXPECT_EQ(high->samples[19], (PlotPoint{40, 0}));
}

}  // namespace
}  // namespace tonalis::plot
