// Drives the real curve editor on a definition of the test's own, with
// scripted message boxes, real key and mouse events and grabbed pixels.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "model/density_def.h"
#include "model/string_table.h"
#include "support/scripted_interaction.h"
#include "ui/editor/curve_editor_dialog.h"

namespace tonalis::test {

namespace ids = ui::editor_ids;
inline constexpr int32_t U = kUnset;

inline ToneCurve Curve(std::array<int32_t, kPointCount> points, int32_t gamma = U) {
  ToneCurve c{};
  for (int i = 0; i < kPointCount; ++i) c.points[i] = points[static_cast<std::size_t>(i)];
  c.gamma = gamma;
  return c;
}

inline const ToneCurve kIdentity =
    Curve({0, 500, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 9500, 10000});

// A per-channel definition with a different curve in each channel.
inline DensityDef FourCurves() {
  DensityDef def = NewDefinition();
  def.allChannels = 0;
  SetName(def, "Four");
  def.channels[kCyan] = Curve({0, U, U, U, U, U, 4000, U, U, U, U, U, 10000}, 110);
  def.channels[kMagenta] = Curve({0, U, U, U, 3500, U, U, U, U, U, U, U, 10000}, 120);
  def.channels[kYellow] = Curve({0, U, U, U, U, U, U, U, 7700, U, U, U, 9000}, 130);
  def.channels[kBlack] = Curve({500, U, U, U, U, U, U, U, U, U, U, U, 10000}, U);
  return def;
}

class EditorTest : public ::testing::Test {
 protected:
  void TearDown() override { editor.reset(); }

  // Opens the editor on `d` (kept in `def`) and shows it.
  void OpenOn(const DensityDef& d) {
    def = d;
    ui::CurveEditorSeams seams;
    seams.ui = &messages;
    seams.showHelp = [this](int context) { helpContexts.push_back(context); };
    editor = std::make_unique<ui::CurveEditorDialog>(seams);
    editor->Open(def);
    editor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
  }

  // Scripted messages and no help.
  ui::CurveEditorSeams PlainSeams() {
    ui::CurveEditorSeams seams;
    seams.ui = &messages;
    return seams;
  }

  template <class T>
  T* Control(int id) const {
    return editor->controls().Control<T>(id);
  }
  QLineEdit* NameField() const { return Control<QLineEdit>(ids::kName); }
  QLineEdit* PointField(int index) const {
    return Control<QLineEdit>(ids::kPointFields[static_cast<std::size_t>(index)]);
  }
  QLineEdit* GammaField() const { return Control<QLineEdit>(ids::kGamma); }
  QRadioButton* ColourButton(int channel) const {
    return Control<QRadioButton>(ids::kColourButtons[static_cast<std::size_t>(channel)]);
  }
  QCheckBox* AllColoursBox() const { return Control<QCheckBox>(ids::kAllColours); }

  // Replaces a field's text by typing, as the user does.
  static void Type(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    if (text.isEmpty()) {
      QTest::keyClick(field, Qt::Key_Backspace);
    } else {
      TypeMore(field, text);
    }
  }
  // Types `text` at the cursor; characters beyond ASCII arrive as key events
  // carrying their text, as from a keyboard layout that has them.
  static void TypeMore(QLineEdit* field, const QString& text) {
    for (const QChar c : text) {
      if (c.unicode() < 0x80) {
        QTest::keyClick(field, static_cast<char>(c.unicode()));
      } else {
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
      }
    }
  }
  void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  void Click(int id) { Click(Control<QAbstractButton>(id)); }

  std::vector<QString> PointTexts() const {
    std::vector<QString> texts;
    for (int i = 0; i < kPointCount; ++i) texts.push_back(PointField(i)->text());
    return texts;
  }

  bool Ended() const { return !editor->isVisible(); }

  // The editor's pixels as shown (device pixel ratio 1 offscreen).
  QImage Shot() const { return editor->grab().toImage().convertToFormat(QImage::Format_RGB32); }

  // Plot coordinates to the dialog surface's (the template root's), for
  // mouse events, which the dialog takes there.
  QWidget* Surface() const { return editor->controls().root(); }
  QPoint OnSurface(int x, int y) const {
    return Surface()->mapFrom(editor.get(), editor->GraphOrigin() + QPoint(x, y));
  }

  void Press(int x, int y) { QTest::mousePress(Surface(), Qt::LeftButton, {}, OnSurface(x, y)); }
  void Move(int x, int y) { QTest::mouseMove(Surface(), OnSurface(x, y)); }
  void Release(int x, int y) {
    QTest::mouseRelease(Surface(), Qt::LeftButton, {}, OnSurface(x, y));
  }
  void ClickPlot(int x, int y) {
    QTest::mouseClick(Surface(), Qt::LeftButton, {}, OnSurface(x, y));
  }
  // A double-click as the window system delivers it: press, release,
  // double-click, release.
  void DoubleClickPlot(int x, int y) {
    ClickPlot(x, y);
    QTest::mouseDClick(Surface(), Qt::LeftButton, {}, OnSurface(x, y));
    Release(x, y);
  }

  ScriptedInteraction messages;
  std::vector<int> helpContexts;
  DensityDef def{};
  std::unique_ptr<ui::CurveEditorDialog> editor;
};

}  // namespace tonalis::test
