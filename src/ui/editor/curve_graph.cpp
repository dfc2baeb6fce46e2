#include "ui/editor/curve_graph.h"

#include <QFontMetrics>
#include <QLine>
#include <QPainter>
#include <QPen>

#include "model/curve_check.h"
#include "model/tone_curve.h"
#include "ui/editor/plot_geometry.h"
#include "ui/strings.h"

namespace tonalis::ui {

namespace {

using plot::kPlotSize;

// Label strings and their top-left corners relative to the plot's origin:
// the output scale down the left side, the input scale along the bottom,
// then the two axis titles.
struct LabelPlace {
  int stringId;
  int x;
  int y;
};
constexpr std::array<LabelPlace, 14> kLabelPlaces = {{
    {76, -25, -5},
    {75, -20, 35},
    {74, -20, 75},
    {73, -20, 115},
    {72, -20, 155},
    {71, -15, 195},
    {71, 0, 205},
    {72, 35, 205},
    {73, 75, 205},
    {74, 115, 205},
    {75, 155, 205},
    {76, 190, 205},
    {50, -33, -22},
    {51, 175, 220},
}};

constexpr int kGridStep = 20;
constexpr int kDash = 3;  // dashes and gaps of the parts the printer does not follow, in pixels

QPen LinePen(const QColor& colour) {
  QPen pen(colour, 1);
  pen.setCapStyle(Qt::FlatCap);  // start pixel in, end pixel out
  return pen;
}

QPoint At(const plot::PlotPoint& p) {
  return {p.x, p.y};
}

}  // namespace

CurveGraph::CurveGraph(const StringSource& strings) {
  for (std::size_t i = 0; i < kLabelPlaces.size(); ++i) {
    const LabelPlace& place = kLabelPlaces[i];
    labels_[i] = {LoadString(strings, place.stringId), QPoint(place.x, place.y)};
    prepared_[i].setText(labels_[i].text);
    prepared_[i].setTextFormat(Qt::PlainText);
  }
}

QRect CurveGraph::Extent(const QFont& font) const {
  // The plot with the frame, and the markers of the end points and of 100 %
  // reaching two pixels beyond it.
  QRect extent(-2, -2, kPlotSize + 5, kPlotSize + 5);
  const QFontMetrics metrics(font);
  for (const Label& label : labels_) {
    if (label.text.isEmpty())
      continue;
    const QSize size = metrics.size(0, label.text);
    extent |= QRect(label.topLeft, size);
  }
  return extent;
}

void CurveGraph::Paint(QPainter& painter, QPoint origin, const DensityDef& def, GraphMode mode,
                       const QFont& font) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setBackgroundMode(Qt::TransparentMode);

  painter.translate(origin);

  // Frame and background: the rectangle from (0, 0) to (200, 200), both
  // corners included.
  const QColor background =
      mode.allColours ? graph_colours::kAllColoursBackground
                      : graph_colours::kBackground[static_cast<std::size_t>(mode.checkedChannel)];
  painter.setPen(QPen(graph_colours::kInk, 1));
  painter.setBrush(background);
  painter.drawRect(QRect(0, 0, kPlotSize, kPlotSize));
  painter.setBrush(Qt::NoBrush);

  // Labels, over the background where a large font makes them reach it.
  painter.setFont(font);
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    if (labels_[i].text.isEmpty())
      continue;
    painter.drawStaticText(labels_[i].topLeft, prepared_[i]);
  }

  // Grid every 10 %.
  std::array<QLine, 2 * (kPlotSize / kGridStep - 1)> grid;
  std::size_t g = 0;
  for (int v = kGridStep; v < kPlotSize; v += kGridStep) {
    grid[g++] = QLine(v, 0, v, kPlotSize);
    grid[g++] = QLine(0, v, kPlotSize, v);
  }
  painter.setPen(LinePen(graph_colours::kInk));
  painter.drawLines(grid.data(), static_cast<int>(grid.size()));

  // Curves: in per-channel mode black, cyan, magenta, yellow, and the checked
  // channel once more on top; in all-colours mode the one curve in black.
  int top = kCyan;
  if (mode.allColours) {
    PaintChannel(painter, def.channels[kCyan], graph_colours::kInk);
  } else {
    top = mode.checkedChannel;
    for (int c : {kBlack, kCyan, kMagenta, kYellow}) {
      PaintChannel(painter, def.channels[c], graph_colours::kCurve[static_cast<std::size_t>(c)]);
    }
    PaintChannel(painter, def.channels[top], graph_colours::kCurve[static_cast<std::size_t>(top)]);
  }

  PaintMarkers(painter, def.channels[top]);
  painter.restore();
}

void CurveGraph::PaintChannel(QPainter& painter, const ToneCurve& curve,
                              const QColor& colour) const {
  // A channel with fewer than two set points has no curve.
  const auto path = plot::PathOf(curve);
  if (!path)
    return;
  const Spline spline(curve);
  const CurveExcursions excursions = FindExcursions(spline);
  // Solid: the curve as the printer gets it, limited to the plot, but for
  // where it runs backwards.
  std::array<QLine, plot::kSamples> segments;
  int count = 0;
  QPoint from = At(path->start);
  for (std::size_t t = 0; t < segments.size(); ++t) {
    const QPoint to = At(path->samples[t]);
    if (!plot::SegmentInside(static_cast<int>(t) + 1, excursions.falling))
      segments[static_cast<std::size_t>(count++)] = QLine(from, to);
    from = to;
  }
  painter.setPen(LinePen(colour));
  painter.drawLines(segments.data(), count);
  // Dashed: the spline itself where the printer does not follow it, beyond
  // the frame where it leaves the scale.
  QPen dashed = LinePen(colour);
  dashed.setDashPattern({kDash, kDash});
  painter.setPen(dashed);
  for (const auto* ranges : {&excursions.above, &excursions.below, &excursions.falling}) {
    for (const InputRange& range : *ranges) {
      const std::vector<plot::PlotPoint> points = plot::UnlimitedPathOver(spline, range);
      std::vector<QPoint> line;
      line.reserve(points.size());
      for (const plot::PlotPoint& p : points) line.push_back(At(p));
      painter.drawPolyline(line.data(), static_cast<int>(line.size()));
    }
  }
}

void CurveGraph::PaintMarkers(QPainter& painter, const ToneCurve& curve) const {
  QPen pen(graph_colours::kInk, kMarkerPenWidth);
  pen.setCapStyle(Qt::SquareCap);
  painter.setPen(pen);
  for (int i = 0; i < kPointCount; ++i) {
    if (curve.points[i] == kUnset)
      continue;
    const QPoint centre = At(plot::MarkerCentre(i, curve.points[i]));
    painter.drawLine(centre, centre);
  }
}

}  // namespace tonalis::ui
