#include "ui/editor/gradient_strip.h"

#include <QPainter>
#include <QPen>
#include <cmath>

namespace tonalis::ui {

namespace {

// The process inks at full strength, roughly as they print on white paper.
const std::array<QColor, kChannelCount> kInks = {QColor(0, 158, 224), QColor(226, 0, 122),
                                                 QColor(255, 237, 0), QColor(35, 31, 32)};
const QColor kFrame(0, 0, 0);

constexpr int kFullScale = 25500;  // a table entry for no ink

}  // namespace

GradientStrip::GradientStrip(QWidget* parent) : QWidget(parent) {
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
  Show(NewDefinition(), true);
}

void GradientStrip::Show(const DensityDef& def, bool allColours) {
  decltype(tables_) tables;
  for (int c = 0; c < kChannelCount; ++c)
    tables[static_cast<std::size_t>(c)] = TransferTable(def.channels[allColours ? kCyan : c]);
  if (tables == tables_)
    return;
  tables_ = tables;
  update();
}

double GradientStrip::Coverage(int channel, int x) const {
  // Column x shows input x / 2 %, table step i = input * 255 / 100 rounded;
  // the table runs from input 100 % down and holds what is left of white.
  const int i = (x * 255 + 100) / 200;
  const int32_t entry =
      tables_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(kTableSize - 1 - i)];
  return static_cast<double>(kFullScale - entry) / kFullScale;
}

QColor GradientStrip::ColourAt(int channel, int x) const {
  const double c = Coverage(channel, x);
  const QColor& ink = kInks[static_cast<std::size_t>(channel)];
  auto mix = [c](int full) { return static_cast<int>(std::lround(255.0 + (full - 255.0) * c)); };
  return {mix(ink.red()), mix(ink.green()), mix(ink.blue())};
}

void GradientStrip::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(kFrame, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRect(0, 0, kWidth - 1, kHeight - 1));
  for (int c = 0; c < kChannelCount; ++c) {
    const int top = 1 + c * kRowHeight;
    for (int x = 1; x < kWidth - 1; ++x)
      painter.fillRect(QRect(x, top, 1, kRowHeight), ColourAt(c, x));
  }
}

}  // namespace tonalis::ui
