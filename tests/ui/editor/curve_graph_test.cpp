// The graph's plot, pixel for pixel, against pictures kept in
// tests/data/editor (frame, grid, backgrounds, curves, markers; the labels
// lie outside the compared square and depend on the fonts). To make the
// pictures again after a deliberate change of the drawing, run the test with
// TONALIS_UPDATE_PICTURES=1 and look at them before committing.
#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include "model/density_def.h"
#include "ui/editor/curve_graph.h"

namespace tonalis::test {
namespace {

// The plot with the markers reaching over its frame, around the origin.
const QRect kCompared(-1, -2, 203, 204);

QString PicturePath(const char* name) {
  return QStringLiteral(TONALIS_TEST_DATA "/editor/%1.png").arg(name);
}

void ExpectPicture(const QImage& got, const char* name) {
  const QString path = PicturePath(name);
  if (QProcessEnvironment::systemEnvironment().contains("TONALIS_UPDATE_PICTURES")) {
    ASSERT_TRUE(got.save(path)) << path.toStdString();
    return;
  }
  const QImage want = QImage(path).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(want.size(), got.size()) << path.toStdString();
  for (int y = 0; y < want.height(); ++y) {
    for (int x = 0; x < want.width(); ++x) {
      ASSERT_EQ(got.pixel(x, y), want.pixel(x, y))
          << name << " at plot " << x + kCompared.left() << "," << y + kCompared.top();
    }
  }
}

// The definition drawn with the plot's origin at (40, 40), compared square.
QImage Drawn(const DensityDef& def, ui::GraphMode mode) {
  QImage image(300, 300, QImage::Format_RGB32);
  image.fill(QApplication::palette().window().color());  // as the dialog around it
  {
    QPainter painter(&image);
    ui::CurveGraph(DefaultStrings()).Paint(painter, QPoint(40, 40), def, mode, QFont());
  }
  return image.copy(kCompared.translated(40, 40));
}

TEST(CurveGraph, DrawsAsThePictures) {
  ExpectPicture(Drawn(NewDefinition(), {true, kCyan}), "graph-new");
  // Per channel, the checked one on top with its markers; yellow's curve is
  // held at the top above 100 %, black's has no 0 % point and starts at its
  // first set point.
  DensityDef layered = NewDefinition();
  layered.allChannels = 0;
  for (int c = 0; c < kChannelCount; ++c) layered.channels[c].points[3 + 2 * c] = 2500 + 2000 * c;
  layered.channels[kYellow].points[5] = 10600;
  layered.channels[kBlack].points[0] = kUnset;
  ExpectPicture(Drawn(layered, {false, kMagenta}), "graph-per-channel");
}

}  // namespace
}  // namespace tonalis::test
