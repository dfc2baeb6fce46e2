// The real curve editor driven by key and mouse events, with scripted message
// boxes: controls and mouse reach the edit session, its state and refusals the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "support/fixtures.h"
#include "ui/editor/curve_editor_dialog.h"
#include "ui/editor/curve_graph.h"
#include "ui/editor/gradient_strip.h"

namespace tonalis::test {
namespace {

namespace ids = ui::editor_ids;

class EditorTest : public ::testing::Test {
 protected:
  void OpenOn(const DensityDef& d) {
    def = d;
    editor = std::make_unique<ui::CurveEditorDialog>(
        ui::CurveEditorSeams{&messages, DefaultStrings(), [this](int h) { help.push_back(h); }});
    editor->Open(def);
    editor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
  }
  const DensityDef& Edited() const { return editor->edit().definition(); }
  template <class T = QLineEdit>
  T* Control(int id) const {
    return editor->controls().Control<T>(id);
  }
  QLineEdit* PointField(int i) const { return Control(ids::kPointFields[i]); }
  QRadioButton* Colour(int c) const { return Control<QRadioButton>(ids::kColourButtons[c]); }
  // Replaces a field's text by typing; characters beyond ASCII arrive as key
  // events carrying their text, as from a keyboard layout that has them.
  static void Type(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    for (const QChar c : text)
      QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
  void Click(int id) { QTest::mouseClick(Control<QAbstractButton>(id), Qt::LeftButton); }
  void Show(int channel) { QTest::mouseClick(Colour(channel), Qt::LeftButton); }
  // Mouse events at plot coordinates, on the surface that takes them.
  QWidget* Surface() const { return editor->controls().root(); }
  QPoint At(int x, int y) const { return editor->GraphOrigin() + QPoint(x, y) - Surface()->pos(); }
  void Press(int x, int y) { QTest::mousePress(Surface(), Qt::LeftButton, {}, At(x, y)); }
  void Move(int x, int y) { QTest::mouseMove(Surface(), At(x, y)); }
  void Release(int x, int y) { QTest::mouseRelease(Surface(), Qt::LeftButton, {}, At(x, y)); }
  void ClickPlot(int x, int y) { Press(x, y), Release(x, y); }

  ScriptedInteraction messages;
  std::vector<int> help;
  DensityDef def{};
  std::unique_ptr<ui::CurveEditorDialog> editor;
};

TEST_F(EditorTest, OpensOnTheDefinitionAndEachControlReachesItsCommand) {
  DensityDef d = FourCurves();
  SetName(d, "Caf\xe9");  // a Latin-1 byte
  OpenOn(d);
  EXPECT_EQ(Control(ids::kName)->text() + PointField(6)->text() + Control(ids::kGamma)->text(),
            QStringLiteral("Caf\u00e930.001.10"));
  EXPECT_TRUE(Colour(kYellow)->isEnabled() && Colour(kCyan)->isChecked());
  Show(kMagenta);
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("40.00"));
  Type(PointField(6), "1.5");
  EXPECT_EQ(Edited().channels[kMagenta].points[6], 150);
  Type(Control(ids::kGamma), "");
  EXPECT_FALSE(Control<QPushButton>(ids::kGammaSetting)->isEnabled());  // nothing to apply
  Type(Control(ids::kGamma), "100");        // no gamma: refused by the command
  Click(ids::kGammaSetting);
  EXPECT_EQ(messages.Ids(), (std::vector<int>{16}));
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("1.5"));
  Type(Control(ids::kGamma), "2.2");
  Click(ids::kGammaSetting);
  EXPECT_EQ(PointField(5)->text(), QStringLiteral("13.32"));
  Click(ids::kAllColours);
  EXPECT_TRUE(editor->edit().allChannels() && !Colour(kMagenta)->isEnabled());
  Click(ids::kAllColours);
  Click(ids::kReset);
  EXPECT_TRUE(Control<QCheckBox>(ids::kAllColours)->isChecked() && Colour(kCyan)->isChecked());
  EXPECT_EQ(PointField(5)->text() + Control(ids::kGamma)->text(), QStringLiteral("2.2"));
  Click(ids::kHelp);
  editor->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
  QTest::keyClick(editor.get(), Qt::Key_F1);
  EXPECT_EQ(help, (std::vector<int>{5003, 5003}));
  EXPECT_EQ(def, d);  // nothing reaches the caller before Accept
}

TEST_F(EditorTest, ARefusalGoesToItsChannelAndFieldAndAcceptWritesBack) {
  OpenOn(FourCurves());
  Show(kMagenta);
  Type(PointField(12), "");
  Show(kCyan);
  Click(ids::kAccept);
  EXPECT_EQ(messages.Ids(), (std::vector<int>{2}));
  EXPECT_TRUE(Colour(kMagenta)->isChecked() && PointField(12)->hasFocus() && editor->isVisible());
  Type(PointField(12), "99");
  QTest::keyClick(PointField(12), Qt::Key_Return);  // Enter presses the accept button
  EXPECT_EQ(editor->result(), ui::kEditorAccepted);
  DensityDef expected = FourCurves();
  expected.channels[kMagenta].points[12] = 9900;
  EXPECT_EQ(def, expected);
}

TEST_F(EditorTest, ClosingRunsAcceptAndEndsAsCancelledWhenItRefuses) {
  OpenOn(NewDefinition());
  editor->close();
  EXPECT_TRUE(!editor->isVisible() && editor->result() == ui::kEditorCancelled);
  EXPECT_EQ(messages.Ids(), (std::vector<int>{1}));
  OpenOn(NewDefinition());
  Type(Control(ids::kName), "Closed");  // the name field reaches the session
  editor->close();
  EXPECT_EQ(editor->result(), ui::kEditorAccepted);
  EXPECT_EQ(NameOf(def), "Closed");
}

TEST_F(EditorTest, TheNameFieldRefusesCharactersANameCannotHold) {
  OpenOn(NewDefinition());
  Type(Control(ids::kName), QStringLiteral("Gr\u00fc\u00df\u20ac"));  // no euro in ISO 8859-1
  QApplication::clipboard()->setText(QStringLiteral("x\u0085"));      // a C1 control character
  QTest::keyClick(Control(ids::kName), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(editor->edit().name(), "Gr\xfc\xdf");
  ASSERT_EQ(messages.Texts().size(), 2u);
  EXPECT_NE(messages.Texts()[0].find("\u201C\u20ac\u201D"), std::string::npos);
  EXPECT_NE(messages.Texts()[1].find("control characters"), std::string::npos);
}

// The session's texts have a decimal point; a German window shows commas and
// takes both.
TEST_F(EditorTest, FieldsShowAndTakeTheDecimalSeparatorOfTheWindowsLanguage) {
  OpenOn(FourCurves());
  editor->setLocale(QLocale(QLocale::German));
  editor->Open(def);
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("30,00"));
  Type(PointField(6), "12,5");
  Type(PointField(5), "12.5");
  EXPECT_EQ(PointField(5)->text(), QStringLiteral("12.5"));  // as typed
  EXPECT_EQ(Edited().channels[kCyan].points[6], 1250);
  EXPECT_EQ(Edited().channels[kCyan].points[5], 1250);
  Show(kMagenta), Show(kCyan);
  EXPECT_EQ(PointField(6)->text() + PointField(5)->text(), QStringLiteral("12,5012,50"));
  Type(PointField(7), "101,5");  // out of range, and said so
  Click(ids::kAccept);
  EXPECT_EQ(messages.Ids(), (std::vector<int>{sid::kFirstPointOutOfRange + 7}));
}

TEST_F(EditorTest, TheMouseSetsDragsAndClearsThePointOfItsColumn) {
  OpenOn(NewDefinition());
  ClickPlot(100, 100);
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("50.00"));
  const DensityDef before = Edited();
  ClickPlot(200, 120);  // the right and bottom frame lie outside
  Press(-20, 100);      // a press outside starts no drag
  Move(100, 150);
  Release(100, 150);
  EXPECT_EQ(Edited(), before);
  // The first move picks the column; the session changes at the release.
  Press(100, 150);
  Move(101, 140);
  Move(160, 60);
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("70.00"));
  EXPECT_EQ(editor->displayDefinition().channels[kCyan].points[6], 7000);
  EXPECT_EQ(Edited(), before);
  Release(160, 60);
  EXPECT_EQ(Edited().channels[kCyan].points[6] + Edited().channels[kCyan].points[9], 7000 + U);
  // Leaving the plot abandons the drag.
  Press(100, 100);
  Move(100, 20);
  Move(-20, 50);
  Release(100, 20);
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("70.00"));
  EXPECT_EQ(editor->displayDefinition(), Edited());
  // A double-click clears an inner point and puts the end points back.
  ClickPlot(2, 120);
  ClickPlot(198, 120);
  for (int x : {100, 198, 3}) {  // as the window system delivers a double-click
    ClickPlot(x, 40);
    QTest::mouseDClick(Surface(), Qt::LeftButton, {}, At(x, 40));
    Release(x, 40);
  }
  EXPECT_EQ(Edited(), NewDefinition());
}

// Undo and Redo are the window's keys and the session's steps, also while a
// value field, with its own undo, has the focus.
TEST_F(EditorTest, UndoAndRedoKeysTakeWholeStepsBackAndForthFromAnyField) {
  OpenOn(FourCurves());
  editor->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
  const auto key = [this](QWidget* focus, Qt::Key k, Qt::KeyboardModifiers m) {
    focus->setFocus();
    QTest::keyClick(focus, k, m);
  };
  const auto undo = [&](QWidget* focus) { key(focus, Qt::Key_Z, Qt::ControlModifier); };
  const auto fields = [this] {
    return PointField(6)->text() + "|" + PointField(7)->text() + "|" +
           Control(ids::kGamma)->text();
  };
  Type(PointField(6), "12.5");
  Type(PointField(7), "40");
  Show(kMagenta);
  Type(PointField(6), "7");
  Show(kBlack);
  Click(ids::kAllColours);
  EXPECT_TRUE(Colour(kBlack)->isChecked() && !Colour(kBlack)->isEnabled());
  // Step by step back, each showing the channel it was on.
  undo(PointField(7));
  EXPECT_FALSE(editor->edit().allChannels() || Control<QCheckBox>(ids::kAllColours)->isChecked());
  EXPECT_TRUE(Colour(kBlack)->isChecked() && Colour(kBlack)->isEnabled());
  undo(PointField(7));  // the field's own undo would take back its "4"
  EXPECT_TRUE(Colour(kMagenta)->isChecked());
  EXPECT_EQ(fields(), QStringLiteral("40.00||1.20"));
  EXPECT_EQ(Edited().channels[kCyan].points[7], 4000);
  undo(Control(ids::kGamma));
  EXPECT_TRUE(Colour(kCyan)->isChecked());
  EXPECT_EQ(fields(), QStringLiteral("12.5||1.10"));  // as typed
  EXPECT_EQ(editor->displayDefinition(), Edited());   // the graph draws what came back
  EXPECT_EQ(Edited().channels[kCyan].points[6], 1250);
  undo(PointField(6));
  EXPECT_EQ(Edited(), FourCurves());
  EXPECT_EQ(editor->displayDefinition(), FourCurves());
  EXPECT_EQ(fields(), QStringLiteral("30.00||1.10"));
  undo(PointField(6));  // nothing left: neither the session nor the field changes
  EXPECT_EQ(fields(), QStringLiteral("30.00||1.10"));
  // Both redo keys, from a field and from the window.
  key(PointField(6), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  key(PointField(7), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(fields(), QStringLiteral("12.5|40|1.10"));
  key(editor.get(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_TRUE(Colour(kMagenta)->isChecked());
  EXPECT_EQ(PointField(6)->text(), QStringLiteral("7"));
  EXPECT_EQ(editor->displayDefinition().channels[kMagenta].points[6], 700);
  // A new edit drops what is left to redo; the name is a step as well.
  Type(Control(ids::kName), "Renamed");
  key(Control(ids::kName), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_FALSE(editor->edit().allChannels() || editor->edit().canRedo());
  undo(Control(ids::kName));
  EXPECT_EQ(Control(ids::kName)->text(), QStringLiteral("Four"));
  EXPECT_EQ(editor->edit().name(), "Four");
  EXPECT_EQ(def, FourCurves());  // nothing reaches the caller before Accept
}

TEST_F(EditorTest, TheGraphIsDrawnAtItsAnchorWithTheChannelOnShowOnTop) {
  OpenOn(FourCurves());
  Show(kYellow);
  QImage drawn(editor->size(), QImage::Format_RGB32);
  drawn.fill(editor->palette().window().color());
  QPainter painter(&drawn);
  ui::CurveGraph(DefaultStrings())
      .Paint(painter, editor->GraphOrigin(), Edited(), {false, kYellow}, QFont());
  const QRect plot = QRect(-1, -2, 203, 204).translated(editor->GraphOrigin());
  EXPECT_TRUE(editor->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(plot) ==
              drawn.copy(plot));
}

// The note under the graph comes with a curve the printer cannot follow and
// goes with it, during a drag too; the strip shows each edit as it prints,
// and the dialog keeps its size throughout.
TEST_F(EditorTest, TheNoteAndTheStripFollowTheCurveIntoAndOutOfWhatPrints) {
  OpenOn(NewDefinition());
  auto* note = editor->findChild<QLabel*>(QStringLiteral("graphNote"));
  auto* strip = editor->findChild<ui::GradientStrip*>(QStringLiteral("gradientStrip"));
  ASSERT_TRUE(note != nullptr && strip != nullptr);
  const QSize size = editor->size();
  auto noteId = [&]() -> int {
    if (!note->isVisible())
      return 0;
    for (int id = sid::kCurveAbove; id <= sid::kCurveClipped; ++id)
      if (note->text().toStdString() == DefaultStrings().Load(id))
        return id;
    return -1;
  };
  // Column 40 of the strip shows input 20 %, column 120 input 60 %.
  EXPECT_EQ(noteId(), 0);
  for (int c = 0; c < kChannelCount; ++c) EXPECT_EQ(strip->Coverage(c, 40), 0.2) << c;

  Type(PointField(1), "100");  // 100 % at 5 %: the spline towers over the scale
  EXPECT_EQ(noteId(), sid::kCurveAbove);
  for (int c = 0; c < kChannelCount; ++c) EXPECT_EQ(strip->Coverage(c, 40), 1.0) << c;
  Type(PointField(1), "5");  // back on the straight line
  EXPECT_EQ(noteId(), 0);
  EXPECT_EQ(strip->Coverage(kMagenta, 40), 0.2);

  // Per channel every curve drawn counts: yellow backwards, then black below 0 %.
  Click(ids::kAllColours);
  Show(kYellow);
  Type(PointField(6), "80");
  Type(PointField(7), "60");
  EXPECT_EQ(noteId(), sid::kCurveBackwards);
  EXPECT_EQ(strip->Coverage(kYellow, 120), 0.6);
  EXPECT_EQ(strip->Coverage(kCyan, 120), 0.6);
  EXPECT_GT(strip->Coverage(kYellow, 100), 0.6);  // 50 % prints darker than 60 %
  Show(kBlack);
  Type(PointField(1), "");
  Type(PointField(6), "10");
  EXPECT_EQ(noteId(), sid::kCurveClipped);
  EXPECT_EQ(strip->Coverage(kBlack, 40), 0.0);  // held at no ink
  Type(PointField(6), "50");
  Show(kYellow);
  Type(PointField(6), "50");  // on the straight line again
  EXPECT_EQ(noteId(), 0);
  Show(kBlack);

  // A drag shows what its preview would print; leaving the plot takes it back.
  Press(100, 100);
  Move(101, 100);
  Move(100, 2);  // 99 % at 50 %: over the top on either side
  EXPECT_EQ(noteId(), sid::kCurveAbove);
  Move(-20, 50);
  EXPECT_EQ(noteId(), 0);
  Release(-20, 50);

  // What the strip paints is what it says.
  const QImage painted = strip->grab().toImage();
  for (int c = 0; c < kChannelCount; ++c)
    for (int x : {1, 60, 100, 199})
      EXPECT_EQ(painted.pixelColor(x, 1 + c * ui::GradientStrip::kRowHeight + 2),
                strip->ColourAt(c, x))
          << c << " " << x;
  EXPECT_EQ(editor->size(), size);
}

}  // namespace
}  // namespace tonalis::test
