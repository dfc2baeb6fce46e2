// The editor's graph, checked pixel by pixel on the real dialog, and mouse
// editing with real mouse events.
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "editor_fixture.h"
#include "ui/editor/plot_geometry.h"
#include "ui/editor/curve_graph.h"

namespace tonalis::test {
namespace {

namespace colours = ui::graph_colours;

const QColor kInk(0, 0, 0);

class GraphTest : public EditorTest {
 protected:
  // The colour at plot point (x, y) of a picture of the editor.
  QColor Pixel(const QImage& shot, int x, int y) const {
    return shot.pixelColor(editor->GraphOrigin() + QPoint(x, y));
  }
  static bool OnFrameOrGrid(int x, int y) {
    const bool inside = x >= 0 && x <= 200 && y >= 0 && y <= 200;
    return inside && (x % 20 == 0 || y % 20 == 0);
  }
  // Counts the plot's pixels of `colour`, leaving out the frame, the grid
  // and the 4 x 4 squares around `skipped` (markers).
  int CountInPlot(const QImage& shot, const QColor& colour,
                  const std::vector<plot::PlotPoint>& skipped = {}) const {
    int n = 0;
    for (int y = 0; y <= 200; ++y) {
      for (int x = 0; x <= 200; ++x) {
        if (OnFrameOrGrid(x, y))
          continue;
        const bool inMarker = std::any_of(skipped.begin(), skipped.end(), [&](plot::PlotPoint m) {
          return x >= m.x - 2 && x <= m.x + 1 && y >= m.y - 2 && y <= m.y + 1;
        });
        if (!inMarker && Pixel(shot, x, y) == colour)
          ++n;
      }
    }
    return n;
  }
  // A marker covers exactly the 4 x 4 pixels from (cx - 2, cy - 2) to
  // (cx + 1, cy + 1); the ring around them is not black but where the frame
  // or the grid runs.
  void ExpectMarker(const QImage& shot, plot::PlotPoint centre) const {
    for (int y = centre.y - 3; y <= centre.y + 2; ++y) {
      for (int x = centre.x - 3; x <= centre.x + 2; ++x) {
        const bool covered =
            x >= centre.x - 2 && x <= centre.x + 1 && y >= centre.y - 2 && y <= centre.y + 1;
        const bool corner =
            (x == centre.x - 3 || x == centre.x + 2) && (y == centre.y - 3 || y == centre.y + 2);
        if (covered) {
          EXPECT_EQ(Pixel(shot, x, y), kInk) << x << "," << y;
        } else if (!corner && !OnFrameOrGrid(x, y)) {
          EXPECT_NE(Pixel(shot, x, y), kInk) << x << "," << y;
        }
      }
    }
  }
};

TEST_F(GraphTest, BackgroundFrameAndGridFollowTheMode) {
  OpenOn(NewDefinition());
  QImage shot = Shot();
  EXPECT_EQ(Pixel(shot, 10, 10), colours::kAllColoursBackground);
  for (const QPoint p : {QPoint(0, 0), QPoint(200, 0), QPoint(0, 200), QPoint(200, 200),
                         QPoint(200, 57), QPoint(57, 200), QPoint(20, 10), QPoint(10, 180)}) {
    EXPECT_EQ(Pixel(shot, p.x(), p.y()), kInk) << p.x() << "," << p.y();
  }
  EXPECT_EQ(Pixel(shot, 21, 10), colours::kAllColoursBackground);
  // The frame is the plot's last pixel: the dialog lies beyond it.
  EXPECT_NE(Pixel(shot, 201, 57), kInk);
  EXPECT_NE(Pixel(shot, 57, -1), kInk);

  OpenOn(FourCurves());
  for (int c : {kMagenta, kYellow, kBlack, kCyan}) {
    Click(ColourButton(c));
    shot = Shot();
    EXPECT_EQ(Pixel(shot, 150, 190), colours::kBackground[static_cast<std::size_t>(c)]) << c;
  }
}

TEST_F(GraphTest, TheIdentityCurveIsTheDiagonalWithoutItsEndPixel) {
  OpenOn(NewDefinition());
  const QImage shot = Shot();
  for (int x = 0; x < 200; ++x) EXPECT_EQ(Pixel(shot, x, 200 - x), kInk) << x;
  for (int x = 3; x < 196; ++x) {
    if (OnFrameOrGrid(x + 1, 200 - x))
      continue;
    EXPECT_EQ(Pixel(shot, x + 1, 200 - x), colours::kAllColoursBackground) << x;
  }

  // A coloured curve that runs into the frame's corner leaves the corner
  // black: a line does not cover its end pixel. Here the 100 % point is
  // unset, so no marker covers the corner either.
  DensityDef d = NewDefinition();
  d.allChannels = 0;
  d.channels[kCyan] = Curve({0, U, U, U, U, U, 5000, U, U, U, U, U, U});
  for (int c = kMagenta; c < kChannelCount; ++c) {
    d.channels[c] = Curve({U, U, U, U, U, U, 5000, U, U, U, U, U, U});
  }
  OpenOn(d);
  const QImage corner = Shot();
  EXPECT_EQ(Pixel(corner, 199, 1), colours::kCurve[kCyan]);
  EXPECT_EQ(Pixel(corner, 200, 0), kInk);
}

TEST_F(GraphTest, MarkersAreFourPixelSquaresOnTheChannelDrawnLast) {
  DensityDef d = NewDefinition();
  d.allChannels = 0;
  d.channels[kCyan] = Curve({2500, 4500, U, U, U, U, U, U, U, U, U, U, 7500});
  // The other channels have one point each: no curve, and no markers as
  // they are not on top.
  d.channels[kMagenta] = Curve({U, U, U, U, 6000, U, U, U, U, U, U, U, U});
  d.channels[kYellow] = Curve({U, U, U, U, U, U, U, U, 3000, U, U, U, U});
  d.channels[kBlack] = Curve({U, U, U, U, U, U, U, U, U, U, 9000, U, U});
  OpenOn(d);
  const QImage shot = Shot();
  ExpectMarker(shot, {1, 150});          // 0 %: one pixel in, reaching over the frame
  ExpectMarker(shot, {10, 110});         // 5 %
  ExpectMarker(shot, {199, 50});         // 100 %
  EXPECT_NE(Pixel(shot, 59, 79), kInk);  // magenta's point
  EXPECT_EQ(CountInPlot(shot, colours::kCurve[kMagenta]), 0);
  EXPECT_EQ(CountInPlot(shot, colours::kCurve[kYellow]), 0);
  EXPECT_GT(CountInPlot(shot, colours::kCurve[kCyan]), 150);
  // Black: frame, grid and the three markers only (no black curve).
  EXPECT_EQ(CountInPlot(shot, kInk, {{1, 150}, {10, 110}, {199, 50}}), 0);

  // The corners: the markers reach beyond the plot. (Per channel, so that
  // the curve through the corners is not black.)
  DensityDef corners = NewDefinition();
  corners.allChannels = 0;
  OpenOn(corners);
  ExpectMarker(Shot(), {199, 0});
  ExpectMarker(Shot(), {1, 200});
}

TEST_F(GraphTest, TheCheckedChannelLiesOnTopAndAllColoursDrawsOneBlackCurve) {
  DensityDef d = NewDefinition();
  d.allChannels = 0;
  for (ToneCurve& c : d.channels) c = kIdentity;
  OpenOn(d);
  for (int c : {kCyan, kMagenta, kYellow, kBlack, kCyan}) {
    Click(ColourButton(c));
    EXPECT_EQ(Pixel(Shot(), 25, 175), colours::kCurve[static_cast<std::size_t>(c)]) << c;
  }
  // Without the repeat on top, yellow (drawn after cyan) would show here.
  Click(ColourButton(kCyan));
  EXPECT_EQ(CountInPlot(Shot(), colours::kCurve[kYellow]), 0);

  DensityDef one = FourCurves();
  one.allChannels = 1;  // the other channels are not drawn
  OpenOn(one);
  const QImage shot = Shot();
  for (const QColor& c : colours::kCurve) {
    if (c != kInk) {
      EXPECT_EQ(CountInPlot(shot, c), 0) << c.name().toStdString();
    }
  }
  EXPECT_GT(CountInPlot(shot, kInk, {{1, 200}, {100, 120}, {199, 0}}), 150);  // cyan's curve
}

TEST_F(GraphTest, LabelsSitAtTheirPlaces) {
  OpenOn(NewDefinition());
  const QImage shot = Shot();
  const ui::CurveGraph graph(DefaultStrings());
  const QFontMetrics metrics(editor->controls().root()->font());
  QStringList texts;
  for (const auto& label : graph.labels()) {
    texts << label.text;
    const QRect box(editor->GraphOrigin() + label.topLeft, metrics.size(0, label.text));
    int darkest = 255;
    for (int y = box.top(); y <= box.bottom(); ++y) {
      for (int x = box.left(); x <= box.right(); ++x) {
        darkest = std::min(darkest, qGray(shot.pixel(x, y)));
      }
    }
    EXPECT_LT(darkest, 60) << label.text.toStdString();
  }
  EXPECT_EQ(texts.join(' '), "100 80 60 40 20 0 0 20 40 60 80 100 Output(%) Input(%)");
  EXPECT_EQ(graph.labels()[12].topLeft, QPoint(-33, -22));
  EXPECT_EQ(graph.labels()[13].topLeft, QPoint(175, 220));
  // Everything fits inside the area the dialog gives the graph.
  EXPECT_TRUE(editor->rect().contains(editor->GraphArea()));
}

TEST_F(GraphTest, DrawingStaysCrispAtHigherScreenScales) {
  DensityDef d = FourCurves();
  const ui::CurveGraph graph(DefaultStrings());
  for (const qreal ratio : {2.0, 1.5}) {
    QImage image(QSize(300, 300) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::gray);
    {
      QPainter painter(&image);
      graph.Paint(painter, QPoint(50, 40), d, ui::GraphMode{false, kMagenta}, QFont());
    }
    // Inside the plot only the palette's colours appear: no blended edges.
    QList<QRgb> palette = {colours::kBackground[kMagenta].rgb(), kInk.rgb()};
    for (const QColor& c : colours::kCurve) palette << c.rgb();
    int blended = 0;
    for (int y = qCeil(40 * ratio); y < (40 + 200) * ratio; ++y) {
      for (int x = qCeil(50 * ratio); x < (50 + 200) * ratio; ++x) {
        blended += palette.contains(image.pixel(x, y)) ? 0 : 1;
      }
    }
    EXPECT_EQ(blended, 0) << ratio;
    // The frame scales with the picture.
    EXPECT_EQ(QColor(image.pixel(qRound(50 * ratio), qRound(140 * ratio))), kInk) << ratio;
    EXPECT_EQ(QColor(image.pixel(qRound(60 * ratio), qRound(50 * ratio))),
              colours::kBackground[kMagenta])
        << ratio;
  }
}

// --- Mouse --------------------------------------------------------------------

TEST_F(GraphTest, AClickSetsThePointOfItsColumnAtItsHeight) {
  OpenOn(NewDefinition());
  ClickPlot(100, 100);
  EXPECT_EQ(def.channels[kCyan].points[6], 5000);
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("50.00"));
  EXPECT_EQ(editor->displayDefinition(), def);
  EXPECT_EQ(Pixel(Shot(), 100, 100), kInk);  // the new marker

  ClickPlot(5, 50);
  EXPECT_EQ(def.channels[kCyan].points[0], 7500);
  ClickPlot(6, 50);
  EXPECT_EQ(def.channels[kCyan].points[1], 7500);
  ClickPlot(194, 50);
  EXPECT_EQ(def.channels[kCyan].points[12], 7500);
  // The lowest row gives 0.50 %: the mouse cannot set 0.
  ClickPlot(30, 199);
  EXPECT_EQ(def.channels[kCyan].points[3], 50);
  EXPECT_EQ(PointField(3)->text(), QStringLiteral("0.50"));
  // The right and bottom frame lie outside: nothing happens there.
  const DensityDef before = def;
  ClickPlot(200, 120);
  ClickPlot(120, 200);
  EXPECT_EQ(def, before);
  // Only the channel on show changes, in all-colours mode cyan.
  EXPECT_EQ(def.channels[kMagenta], NewDefinition().channels[kMagenta]);
}

TEST_F(GraphTest, ADragMovesTheFirstMovesPointAndOnlyPreviewsUntilTheRelease) {
  OpenOn(FourCurves());
  Click(ColourButton(kYellow));
  Press(100, 150);
  Move(101, 140);  // the first move picks the 50 % column
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("30.00"));
  EXPECT_EQ(editor->displayDefinition().channels[kYellow].points[6], 3000);
  EXPECT_EQ(def.channels[kYellow].points[6], U);
  Move(160, 60);  // sideways over the 80 % column: still the 50 % point
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("70.00"));
  EXPECT_EQ(PointField(9)->text(), QString());
  Release(160, 60);
  EXPECT_EQ(def.channels[kYellow].points[6], 7000);
  EXPECT_EQ(def.channels[kYellow].points[9], U);
  EXPECT_EQ(editor->displayDefinition(), def);
  EXPECT_EQ(def.channels[kCyan], FourCurves().channels[kCyan]);

  // The next click picks its own column again.
  ClickPlot(30, 100);
  EXPECT_EQ(def.channels[kYellow].points[3], 5000);
  EXPECT_EQ(def.channels[kYellow].points[6], 7000);
}

TEST_F(GraphTest, LeavingThePlotAbandonsTheDrag) {
  OpenOn(NewDefinition());
  ClickPlot(100, 100);
  const DensityDef before = def;
  Press(100, 100);
  Move(100, 50);
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("75.00"));
  Move(-20, 50);  // over the labels, outside the plot
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("50.00"));
  EXPECT_EQ(editor->displayDefinition(), before);
  Move(100, 20);  // back over the plot: the drag is over
  Release(100, 20);
  EXPECT_EQ(def, before);
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("50.00"));

  // A press outside the plot starts nothing either.
  Press(-20, 100);
  Move(100, 150);
  Release(100, 150);
  EXPECT_EQ(def, before);
}

TEST_F(GraphTest, ADoubleClickUnsetsAnInnerPointAndPutsEndPointsBack) {
  OpenOn(NewDefinition());
  ClickPlot(100, 100);
  ClickPlot(2, 120);
  ClickPlot(198, 120);
  DoubleClickPlot(100, 100);
  EXPECT_EQ(def.channels[kCyan].points[6], U);
  EXPECT_EQ(PointField(6)->text(), QString());
  DoubleClickPlot(198, 40);
  EXPECT_EQ(def.channels[kCyan].points[12], 10000);
  EXPECT_EQ(PointField(12)->text(), QStringLiteral("100.0"));
  DoubleClickPlot(3, 40);
  EXPECT_EQ(def.channels[kCyan].points[0], 0);
  EXPECT_EQ(def, NewDefinition());
  // With no point between the ends the curve is the straight line again.
  const QImage shot = Shot();
  for (int x = 0; x < 200; ++x) ASSERT_EQ(Pixel(shot, x, 200 - x), kInk) << x;
}

}  // namespace
}  // namespace tonalis::test
