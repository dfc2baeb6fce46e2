// The inks as they will print, under the curve editor's graph: a row per
// ink, cyan, magenta, yellow and black from the top, each going from no ink
// at 0 % input on the left to full ink at 100 % on the right through its
// channel's transfer table, the curve held to 0..100 % as the printer holds
// it. With one curve for all colours every row goes through that curve.
//
// The strip is as wide as the plot and laid out under it column for column:
// the frame covers x 0..200, and column x (1..199) shows input x / 2 %, the
// input the plot draws at that x.
#pragma once

#include <QColor>
#include <QWidget>
#include <array>

#include "model/density_def.h"
#include "model/tone_curve.h"

namespace tonalis::ui {

class GradientStrip final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 6;
  static constexpr int kWidth = 201;
  static constexpr int kHeight = kChannelCount * kRowHeight + 2;

  explicit GradientStrip(QWidget* parent = nullptr);

  // Shows `def`; in all-colours mode its first channel stands for every ink.
  // Repaints when anything shown changes.
  void Show(const DensityDef& def, bool allColours);

  // The ink of `channel` at column x (1..199), as a fraction of full ink.
  double Coverage(int channel, int x) const;
  // Its colour: paper white blended toward the ink's own colour.
  QColor ColourAt(int channel, int x) const;

  QSize sizeHint() const override { return {kWidth, kHeight}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<std::array<int32_t, kTableSize>, kChannelCount> tables_{};
};

}  // namespace tonalis::ui
