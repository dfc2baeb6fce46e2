// The curve editor's graph: a 200 x 200 pixel plot with its grid, its scale
// labels, the curves of a definition and the markers of the control points.
//
// The graph only draws; where it is drawn, when, and what the mouse does is
// the dialog's business. Coordinates are logical pixels with the plot's
// origin at the given point: at a device pixel ratio of 1 every line lands on
// exactly the pixels below, and at higher ratios Qt scales the same drawing
// crisply (no antialiasing anywhere).
//
// Pixel rules (aliased QPainter):
//  - the frame covers x and y 0..200 inclusive, its inside 1..199 is filled;
//  - grid lines and curve segments cover their start pixel and not their end
//    pixel (flat caps);
//  - the parts of a curve the printer does not follow (beyond 0..100 %, or
//    running backwards) are drawn dashed, the spline itself, beyond the frame
//    where it leaves the scale; the curve as the printer gets it is drawn
//    solid, held to the frame, except where it runs backwards;
//  - a marker is a zero-length line drawn with a 4-pixel pen with square
//    caps: it covers the 4 x 4 pixels from (x - 2, y - 2) to (x + 1, y + 1)
//    around its centre (x, y).
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QStaticText>
#include <QString>
#include <array>

#include "model/density_def.h"
#include "model/string_table.h"

class QPainter;

namespace tonalis::ui {

// What the graph shows: one channel of a per-channel definition on top of the
// others, or the one curve of an all-colours definition.
struct GraphMode {
  bool allColours = true;
  int checkedChannel = kCyan;  // the channel drawn last in per-channel mode
};

namespace graph_colours {
// Curve pens, by channel (cyan, magenta, yellow, black). The all-colours
// curve and the markers are black.
inline const std::array<QColor, kChannelCount> kCurve = {QColor(0, 204, 204), QColor(255, 0, 255),
                                                         QColor(255, 128, 0), QColor(0, 0, 0)};
// Plot backgrounds, by channel; white for all colours.
inline const std::array<QColor, kChannelCount> kBackground = {
    QColor(230, 255, 255), QColor(255, 230, 255), QColor(255, 255, 230), QColor(230, 230, 230)};
inline const QColor kAllColoursBackground(255, 255, 255);
inline const QColor kInk(0, 0, 0);  // frame, grid, labels, markers
}  // namespace graph_colours

inline constexpr int kMarkerPenWidth = 4;

class CurveGraph {
 public:
  // The scale labels and axis titles come from the string table (strings
  // 71 to 76, 50 and 51).
  explicit CurveGraph(const StringSource& strings);

  // Draws the whole graph of `def` with the plot's origin at `origin` of the
  // painter's (logical) coordinates, the labels in `font`.
  void Paint(QPainter& painter, QPoint origin, const DensityDef& def, GraphMode mode,
             const QFont& font) const;

  // Everything Paint may cover, relative to the origin, for a definition
  // whose points lie in 0..100 %: plot, markers and labels in `font`.
  QRect Extent(const QFont& font) const;

  // The label texts and their top-left corners relative to the origin.
  struct Label {
    QString text;
    QPoint topLeft;
  };
  const std::array<Label, 14>& labels() const { return labels_; }

 private:
  void PaintChannel(QPainter& painter, const ToneCurve& curve, const QColor& colour) const;
  void PaintMarkers(QPainter& painter, const ToneCurve& curve) const;

  std::array<Label, 14> labels_;
  // The label texts keep their layout between drawings (the graph is drawn
  // on every keystroke and pointer move); Qt lays them out again when the
  // font changes.
  mutable std::array<QStaticText, 14> prepared_;
};

}  // namespace tonalis::ui
