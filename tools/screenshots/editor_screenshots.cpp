// Writes the pictures of the curve editor for the documentation:
//   editor_screenshots DIR
// gives DIR/editor-all-colours.png, DIR/editor-per-channel.png and
// DIR/editor-overshoot.png (a curve the printer cannot follow). Runs on
// Qt's offscreen platform unless another one is asked for.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QRadioButton>
#include <cstdio>
#include <cstdlib>

#include "model/density_def.h"
#include "model/tone_curve.h"
#include "ui/editor/curve_editor_dialog.h"

namespace {

using tonalis::DensityDef;
using tonalis::ui::CurveEditorDialog;

bool Save(CurveEditorDialog& editor, const QString& path) {
  editor.show();
  QApplication::processEvents();
  const QImage image = editor.grab().toImage();
  editor.hide();
  if (!image.save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

void SetPoints(tonalis::ToneCurve& curve, std::initializer_list<int32_t> points) {
  int i = 0;
  for (int32_t p : points) curve.points[i++] = p;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tonalis"));
  const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

  constexpr int U = tonalis::kUnset;
  bool ok = true;
  {
    DensityDef def = tonalis::NewDefinition();
    tonalis::SetName(def, "Soft highlights");
    SetPoints(def.channels[0], {0, U, 800, U, U, 3600, U, U, 6600, U, U, U, 10000});
    def.channels[0].gamma = U;
    for (int c = 1; c < 4; ++c) def.channels[c] = def.channels[0];
    CurveEditorDialog editor;
    editor.Open(def);
    ok &= Save(editor, dir.filePath(QStringLiteral("editor-all-colours.png")));
  }
  {
    DensityDef def = tonalis::NewDefinition();
    def.allChannels = 0;
    tonalis::SetName(def, "Warm proof");
    const auto cyan = tonalis::ApplyGamma(140);
    std::copy(cyan.begin(), cyan.end(), def.channels[0].points);
    def.channels[0].gamma = 140;
    SetPoints(def.channels[1], {0, U, U, 2600, U, U, 5900, U, U, U, U, U, 10000});
    SetPoints(def.channels[2], {0, U, 1500, U, U, U, 6500, U, U, U, 9500, U, 10000});
    SetPoints(def.channels[3], {500, U, U, U, U, U, U, U, U, U, U, U, 9000});
    CurveEditorDialog editor;
    editor.Open(def);
    editor.controls().Control<QRadioButton>(tonalis::ui::editor_ids::kColourButtons[1])->click();
    ok &= Save(editor, dir.filePath(QStringLiteral("editor-per-channel.png")));
  }
  {
    // Cyan climbs over 100 % from about 55 % on: dashed there, with the note,
    // and the strip's cyan at full ink from there.
    DensityDef def = tonalis::NewDefinition();
    def.allChannels = 0;
    tonalis::SetName(def, "Strong cyan");
    SetPoints(def.channels[0], {0, U, U, U, U, 8500, U, U, U, U, U, U, 10000});
    for (int c = 1; c < 4; ++c) {
      const auto points = tonalis::ApplyGamma(100 + 20 * c);
      std::copy(points.begin(), points.end(), def.channels[c].points);
      def.channels[c].gamma = 100 + 20 * c;
    }
    CurveEditorDialog editor;
    editor.Open(def);
    ok &= Save(editor, dir.filePath(QStringLiteral("editor-overshoot.png")));
  }
  return ok ? 0 : 1;
}
