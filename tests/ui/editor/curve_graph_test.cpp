// The plot's mappings between pixels and values, and its drawing against the pictures in
// tests/data/editor (the labels, which depend on the fonts, lie outside the compared square).
// After a deliberate change of the drawing, TONALIS_UPDATE_PICTURES=1 makes them again: look.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <array>

#include "support/fixtures.h"
#include "ui/editor/curve_graph.h"
#include "ui/editor/plot_geometry.h"

namespace tonalis::test {
namespace {

using namespace tonalis::plot;

TEST(Plot, ColumnsFollowTheTable) {
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
  EXPECT_FALSE(ColumnOfX(-2) || ColumnOfX(202));
}

TEST(Plot, PixelsAndValuesMapBackOntoEachOtherAndMarkersSitOnThePoints) {
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
  EXPECT_EQ(MarkerCentre(0, 0), (PlotPoint{1, 200}));
  EXPECT_EQ(MarkerCentre(12, 10000), (PlotPoint{199, 0}));
  EXPECT_EQ(MarkerCentre(3, 1234), (PlotPoint{40, 176}));  // 24.68 px truncates to 24
}

// Draws `def` with the plot's origin at (40, 40) and compares the plot, with
// the markers reaching over its frame, with picture `name`; a drawing that
// differs is saved as NAME-drawn.png in the working directory for a look.
// Without labels (`strings` empty) the picture takes in everything around
// the plot as well, where the dashed parts beyond the scale go.
void ExpectPicture(const DensityDef& def, ui::GraphMode mode, const char* name,
                   const StringSource& strings = DefaultStrings()) {
  const bool labels = !strings.Load(71).empty();
  QImage image(labels ? 300 : 280, labels ? 300 : 480, QImage::Format_RGB32);
  image.fill(QApplication::palette().window().color());  // as the dialog around it
  QPainter painter(&image);
  const QPoint origin = labels ? QPoint(40, 40) : QPoint(40, 140);
  ui::CurveGraph(strings).Paint(painter, origin, def, mode, QFont());
  painter.end();
  const QImage got = labels ? image.copy(QRect(39, 38, 203, 204)) : image;
  const QString path = QStringLiteral(TONALIS_TEST_DATA "/editor/%1.png").arg(name);
  if (qEnvironmentVariableIsSet("TONALIS_UPDATE_PICTURES")) {
    ASSERT_TRUE(got.save(path));
  } else if (got != QImage(path).convertToFormat(QImage::Format_RGB32)) {
    got.save(QStringLiteral("%1-drawn.png").arg(name));
    ADD_FAILURE() << name << " differs from " << path.toStdString();
  }
}

class NoLabels final : public StringSource {
 public:
  std::string Load(int) const override { return {}; }
};

TEST(CurveGraph, DrawsAsThePictures) {
  ExpectPicture(NewDefinition(), {true, kCyan}, "graph-new");
  // Per channel, the checked one on top with its markers; yellow's curve is
  // held at the top above 100 %, black's has no 0 % point and starts at its
  // first set point.
  DensityDef layered = NewDefinition();
  layered.allChannels = 0;
  for (int c = 0; c < kChannelCount; ++c) layered.channels[c].points[3 + 2 * c] = 2500 + 2000 * c;
  layered.channels[kYellow].points[5] = 10600;
  layered.channels[kBlack].points[0] = kUnset;
  ExpectPicture(layered, {false, kMagenta}, "graph-per-channel");
  // Where the printer does not follow, the spline itself dashed: cyan over
  // the top and, in all colours, the one curve below 0 % and backwards; the
  // solid curve stays on the frame and leaves out the backward run.
  DensityDef beyond = NewDefinition();
  beyond.allChannels = 0;
  beyond.channels[kCyan] = Curve({0, U, U, U, U, 8500, U, U, U, U, U, U, 10000});
  beyond.channels[kMagenta] = Curve({0, U, U, U, U, U, 1000, U, U, U, U, U, 10000});
  beyond.channels[kYellow] = Curve({0, U, U, U, U, U, 8000, 6000, U, U, U, U, 10000});
  ExpectPicture(beyond, {false, kYellow}, "graph-beyond", NoLabels());
  DensityDef one = NewDefinition();
  one.channels[kCyan] = Curve({0, U, U, 3000, U, U, 1000, 6000, U, U, U, U, 10000});
  ExpectPicture(one, {true, kCyan}, "graph-beyond-all-colours", NoLabels());
}

}  // namespace
}  // namespace tonalis::test
