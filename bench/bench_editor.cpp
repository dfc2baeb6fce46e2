// Dragging a point in the curve editor: 1,000 pointer moves through the real
// dialog on Qt's offscreen platform, each followed by the repaint it asks
// for, against a per-channel definition with thirteen points in every
// channel (five curves with the most knots a channel can have).
//
// Prints the time per drag step (mouse event, thirteen field texts, repaint
// of the graph and the fields) and, for comparison, the time of drawing the
// graph alone into an image. The goal is under 1 ms per step.
#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "model/density_def.h"
#include "model/tone_curve.h"
#include "ui/editor/curve_editor_dialog.h"
#include "ui/editor/curve_graph.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSteps = 1000;
constexpr int kRounds = 5;

class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      ++paints;
    return false;
  }
};

tonalis::DensityDef BusyDefinition() {
  tonalis::DensityDef def = tonalis::NewDefinition();
  def.allChannels = 0;
  tonalis::SetName(def, "Bench");
  const int gammas[tonalis::kChannelCount] = {45, 90, 160, 220};
  for (int c = 0; c < tonalis::kChannelCount; ++c) {
    const auto points = tonalis::ApplyGamma(gammas[c]);
    std::copy(points.begin(), points.end(), def.channels[c].points);
  }
  return def;
}

double Microseconds(Clock::duration d, int count) {
  return std::chrono::duration<double, std::micro>(d).count() / count;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);

  tonalis::DensityDef def = BusyDefinition();
  tonalis::ui::CurveEditorDialog editor;
  editor.Open(def);
  editor.controls().Control<QAbstractButton>(tonalis::ui::editor_ids::kColourButtons[2])->click();
  editor.show();
  if (!QTest::qWaitForWindowExposed(&editor)) {
    std::fprintf(stderr, "the editor did not show\n");
    return 1;
  }
  QWidget* surface = editor.controls().root();
  PaintCounter counter;
  surface->installEventFilter(&counter);
  const QPoint origin = surface->mapFrom(&editor, editor.GraphOrigin());

  // Drag steps: the pointer sweeps up and down the 50 % column.
  double best = 1e9;
  double total = 0;
  int paints = 0;
  for (int round = 0; round < kRounds; ++round) {
    QTest::mousePress(surface, Qt::LeftButton, {}, origin + QPoint(100, 150));
    QApplication::processEvents();
    counter.paints = 0;
    const auto start = Clock::now();
    for (int i = 0; i < kSteps; ++i) {
      const int y = 10 + (i * 7) % 180;
      QTest::mouseMove(surface, origin + QPoint(100 + i % 3, y));
      QApplication::processEvents();
    }
    const double perStep = Microseconds(Clock::now() - start, kSteps);
    paints = counter.paints;
    QTest::mouseRelease(surface, Qt::LeftButton, {}, origin + QPoint(100, 100));
    QApplication::processEvents();
    best = std::min(best, perStep);
    total += perStep;
  }

  // The graph alone, drawn into an image.
  const tonalis::ui::CurveGraph graph(tonalis::DefaultStrings());
  QImage image(300, 300, QImage::Format_RGB32);
  const QFont font = surface->font();
  double graphBest = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = Clock::now();
    for (int i = 0; i < kSteps; ++i) {
      QPainter painter(&image);
      graph.Paint(painter, QPoint(50, 40), def, tonalis::ui::GraphMode{false, 2}, font);
    }
    graphBest = std::min(graphBest, Microseconds(Clock::now() - start, kSteps));
  }

  std::printf(
      "drag step through the dialog: %.1f us mean, %.1f us best of %d rounds of %d steps"
      " (%d repaints in the last round)\n",
      total / kRounds, best, kRounds, kSteps, paints);
  std::printf("graph drawing alone:          %.1f us best\n", graphBest);
  std::printf("goal: under 1000 us per step: %s\n", total / kRounds < 1000.0 ? "met" : "MISSED");
  return 0;
}
