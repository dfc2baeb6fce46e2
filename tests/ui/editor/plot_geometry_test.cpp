// The pointer-to-value and value-to-pixel mappings of the plot. The drawn
// paths are checked in pictures (curve_graph_test.cpp).
#include "ui/editor/plot_geometry.h"

#include <gtest/gtest.h>

#include <array>

namespace tonalis::plot {
namespace {

TEST(PlotGeometry, ColumnsFollowTheTable) {
  // Each column's last q = x / 2; the next column starts at the next q.
  const std::array<int, kPointCount> lastQ = {2, 6, 14, 24, 34, 44, 54, 64, 74, 84, 92, 96, 100};
  int first = 0;
  for (int i = 0; i < kPointCount; ++i) {
    EXPECT_EQ(ColumnOfX(2 * first), i);
    EXPECT_EQ(ColumnOfX(2 * lastQ[std::size_t(i)] + 1), i);
    first = lastQ[std::size_t(i)] + 1;
  }
  // Truncation toward zero: x = -1 still lies in the 0 % column.
  EXPECT_EQ(ColumnOfX(-1), 0);
  EXPECT_EQ(ColumnOfX(-2), std::nullopt);
  EXPECT_EQ(ColumnOfX(202), std::nullopt);
}

TEST(PlotGeometry, PixelsAndValuesMapBackOntoEachOther) {
  EXPECT_EQ(ValueOfY(0) + ValueOfY(199), 10000 + 50);
  for (int y = -10; y <= 210; ++y) ASSERT_EQ(YOfValue(ValueOfY(y)), y) << y;
  // Every value lands on the row whose value is the largest one not above it.
  for (int32_t v = 0; v <= 10000; ++v) {
    const int y = YOfValue(v);
    ASSERT_LE(ValueOfY(y), v) << v;
    ASSERT_GT(ValueOfY(y - 1), v) << v;
  }
  // A pointer over a control input's marker picks that control input.
  for (int i = 0; i < kPointCount; ++i) EXPECT_EQ(ColumnOfX(MarkerCentre(i, 0).x), i);
}

TEST(PlotGeometry, MarkersOfTheEndPointsStayOnThePlot) {
  EXPECT_EQ(MarkerCentre(0, 0), (PlotPoint{1, 200}));
  EXPECT_EQ(MarkerCentre(12, 10000), (PlotPoint{199, 0}));
  EXPECT_EQ(MarkerCentre(6, 5000), (PlotPoint{100, 100}));
  EXPECT_EQ(MarkerCentre(3, 1234), (PlotPoint{40, 176}));  // 24.68 px truncates to 24
  EXPECT_EQ(MarkerCentre(11, 10100), (PlotPoint{190, -2}));
}

}  // namespace
}  // namespace tonalis::plot
