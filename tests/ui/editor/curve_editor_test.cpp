// The editor's fields and commands, driven through its controls.
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>
#include <algorithm>

#include "editor_fixture.h"

namespace tonalis::test {
namespace {

using P = std::vector<QString>;

TEST_F(EditorTest, OpensWithTheDefinitionsTextsAndTheTemplatesStates) {
  DensityDef d = FourCurves();
  SetName(d, "Caf\xe9");  // a Latin-1 byte
  OpenOn(d);
  EXPECT_EQ(editor->windowTitle(), QStringLiteral("The Definition of Density Control"));
  EXPECT_EQ(Control<QLabel>(ids::kGammaLabel)->text(), QStringLiteral("Gamma-\nvalue(&G):"));
  EXPECT_EQ(Control<QGroupBox>(ids::kColourGroup)->title(), QStringLiteral("Selection of Color"));
  EXPECT_EQ(ColourButton(kBlack)->text(), QStringLiteral("Black"));

  EXPECT_EQ(NameField()->text(), QStringLiteral("Caf\u00e9"));
  EXPECT_EQ(PointTexts(), (P{"0.00", "", "", "", "", "", "40.00", "", "", "", "", "", "100.0"}));
  EXPECT_EQ(GammaField()->text(), QStringLiteral("1.10"));
  EXPECT_TRUE(Control<QPushButton>(ids::kGammaSetting)->isEnabled());
  EXPECT_EQ(NameField()->maxLength(), 32);
  EXPECT_EQ(PointField(0)->maxLength(), 5);
  EXPECT_EQ(GammaField()->maxLength(), 5);
  // Per channel: the colour buttons are live and Cyan is checked.
  EXPECT_FALSE(AllColoursBox()->isChecked());
  EXPECT_TRUE(ColourButton(kYellow)->isEnabled());
  EXPECT_TRUE(ColourButton(kCyan)->isChecked());
  EXPECT_EQ(editor->displayDefinition(), def);
  // Opening changes nothing.
  EXPECT_EQ(def, d);

  OpenOn(NewDefinition());
  EXPECT_TRUE(AllColoursBox()->isChecked());
  EXPECT_FALSE(ColourButton(kMagenta)->isEnabled());
  EXPECT_FALSE(Control<QPushButton>(ids::kGammaSetting)->isEnabled());
}

TEST_F(EditorTest, ANewDefinitionAcceptedWithANameHasFourIdenticalChannels) {
  OpenOn(NewDefinition());
  Type(NameField(), "Plain");
  QTest::keyClick(NameField(), Qt::Key_Return);  // Enter presses the accept button
  EXPECT_TRUE(Ended());
  EXPECT_EQ(editor->result(), ui::kEditorAccepted);
  DensityDef expected = NewDefinition();
  SetName(expected, "Plain");
  EXPECT_EQ(def, expected);
  EXPECT_TRUE(messages.Empty());
}

TEST_F(EditorTest, RunReturnsTheResultAndEachRunStartsAfresh) {
  def = NewDefinition();
  def.channels[kCyan].gamma = 150;
  ui::CurveEditorDialog dialog(PlainSeams());
  auto* gammaSetting = dialog.controls().Control<QPushButton>(ids::kGammaSetting);
  bool enabled = false;
  QTimer::singleShot(0, &dialog, [&] {
    enabled = gammaSetting->isEnabled();
    dialog.controls().Control<QLineEdit>(ids::kName)->setText("Modal");
    dialog.controls().Control<QPushButton>(ids::kAccept)->click();
  });
  EXPECT_EQ(dialog.Run(def), ui::kEditorAccepted);
  EXPECT_TRUE(enabled);
  EXPECT_EQ(NameOf(def), "Modal");

  // Again, on a definition without gamma: Gamma-setting starts disabled.
  def.channels[kCyan].gamma = U;
  QTimer::singleShot(0, &dialog, [&] {
    enabled = gammaSetting->isEnabled();
    dialog.controls().Control<QPushButton>(ids::kCancel)->click();
  });
  EXPECT_EQ(dialog.Run(def), ui::kEditorCancelled);
  EXPECT_FALSE(enabled);
}

TEST_F(EditorTest, TypingStoresAtOnceAndAcceptChecksTheFieldsInOrder) {
  OpenOn(NewDefinition());
  Type(NameField(), "Checks");
  Type(PointField(6), "101");
  EXPECT_EQ(def.channels[kCyan].points[6], 10100);
  EXPECT_EQ(editor->displayDefinition().channels[kCyan].points[6], 10100);
  Click(ids::kAccept);
  EXPECT_EQ(messages.Ids(), (std::vector<int>{9}));
  EXPECT_EQ(messages.shown().back().kind, MessageKind::Warning);
  EXPECT_FALSE(Ended());
  // A refused Accept keeps what typing stored.
  EXPECT_EQ(def.channels[kCyan].points[6], 10100);

  // A malformed text leaves the stored value; the earlier field is reported first.
  Type(PointField(6), "50");
  Type(PointField(1), "1.234");
  EXPECT_EQ(def.channels[kCyan].points[1], 123);  // what "1.23" stored on the way
  Type(PointField(0), "1..2");
  EXPECT_EQ(def.channels[kCyan].points[0], 100);
  messages.Clear();
  Click(ids::kAccept);
  EXPECT_EQ(messages.Ids(), (std::vector<int>{3}));
  Type(PointField(0), "0");
  Click(ids::kAccept);
  EXPECT_EQ(messages.Ids(), (std::vector<int>{3, 4}));
  Type(PointField(1), "1.5");
  Click(ids::kAccept);
  EXPECT_TRUE(Ended());
  EXPECT_EQ(def.channels[kBlack].points[1], 150);  // copied to all four
}

TEST_F(EditorTest, NameAndEndPointsAreCheckedFirst) {
  OpenOn(NewDefinition());
  Type(PointField(12), "");
  EXPECT_EQ(def.channels[kCyan].points[12], U);
  Type(PointField(3), "x");  // would be string 6, but comes later
  Click(ids::kAccept);
  Type(NameField(), "Named");
  Click(ids::kAccept);
  Type(PointField(12), "100");
  Type(PointField(0), "");
  Click(ids::kAccept);
  EXPECT_EQ(messages.Ids(), (std::vector<int>{1, 2, 2}));
  EXPECT_FALSE(Ended());
}

TEST_F(EditorTest, GammaOnAccept) {
  struct Case {
    QString text;
    bool accepted;
    int32_t gamma;
  };
  for (const Case& c :
       {Case{"", true, U}, Case{"0", false, 0}, Case{"0.00", false, 0}, Case{"100", false, 0},
        Case{".01", true, 1}, Case{"99.99", true, 9999}, Case{"2.2", true, 220}}) {
    OpenOn(NewDefinition());
    messages.Clear();
    Type(NameField(), "G");
    Type(GammaField(), c.text);
    Click(ids::kAccept);
    EXPECT_EQ(Ended(), c.accepted) << c.text.toStdString();
    if (c.accepted) {
      EXPECT_TRUE(messages.Empty());
      for (const ToneCurve& channel : def.channels) EXPECT_EQ(channel.gamma, c.gamma);
    } else {
      EXPECT_EQ(messages.Ids(), (std::vector<int>{16})) << c.text.toStdString();
    }
  }
}

TEST_F(EditorTest, GammaSettingFillsThePointsOfTheChannelOnShow) {
  OpenOn(FourCurves());
  Click(ColourButton(kMagenta));
  auto* button = Control<QPushButton>(ids::kGammaSetting);
  Type(GammaField(), "");
  EXPECT_FALSE(button->isEnabled());
  EXPECT_EQ(def.channels[kMagenta].gamma, U);
  Type(GammaField(), "2.2");
  EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(def.channels[kMagenta].gamma, 220);
  Click(button);
  EXPECT_EQ(PointTexts(), (P{"0.00", "0.13", "0.63", "2.89", "7.07", "13.32", "21.76", "32.50",
                             "45.62", "61.20", "79.31", "89.32", "100.0"}));
  EXPECT_EQ(def.channels[kMagenta].points[5], 1332);
  EXPECT_EQ(editor->displayDefinition(), def);
  EXPECT_EQ(def.channels[kCyan], FourCurves().channels[kCyan]);

  // An out-of-range gamma changes nothing.
  const DensityDef before = def;
  Type(GammaField(), "0");
  Click(button);
  EXPECT_EQ(messages.Ids(), (std::vector<int>{16}));
  EXPECT_EQ(PointTexts()[1], QStringLiteral("0.13"));
  EXPECT_TRUE(std::equal(std::begin(def.channels[kMagenta].points),
                         std::end(def.channels[kMagenta].points),
                         std::begin(before.channels[kMagenta].points)));
}

TEST_F(EditorTest, AllColoursTakesTheCheckedChannelAndGivesItBackWhenCleared) {
  OpenOn(FourCurves());
  const ToneCurve yellow = def.channels[kYellow];
  Click(ColourButton(kYellow));
  EXPECT_EQ(GammaField()->text(), QStringLiteral("1.30"));
  Click(AllColoursBox());
  EXPECT_EQ(def.allChannels, 1);
  for (const ToneCurve& channel : def.channels) EXPECT_EQ(channel, yellow);
  EXPECT_TRUE(ColourButton(kYellow)->isChecked());
  EXPECT_FALSE(ColourButton(kYellow)->isEnabled());
  EXPECT_EQ(editor->activeChannel(), kCyan);

  // One curve now: typing changes cyan only, Accept copies it.
  Type(PointField(4), "25");
  EXPECT_EQ(def.channels[kCyan].points[4], 2500);
  EXPECT_EQ(def.channels[kMagenta].points[4], U);

  Click(AllColoursBox());
  EXPECT_EQ(def.allChannels, 0);
  for (const ToneCurve& channel : def.channels) EXPECT_EQ(channel, def.channels[kCyan]);
  EXPECT_TRUE(ColourButton(kMagenta)->isEnabled());

  Click(AllColoursBox());
  Click(ids::kAccept);
  EXPECT_TRUE(Ended());
  EXPECT_EQ(def.allChannels, 1);
  for (const ToneCurve& channel : def.channels) EXPECT_EQ(channel.points[4], 2500);
}

TEST_F(EditorTest, ResetKeepsTheGammasTheGammaTextAndTheName) {
  OpenOn(FourCurves());
  Type(NameField(), "Kept");
  Click(ColourButton(kBlack));
  Type(GammaField(), "1.5");
  Click(ids::kReset);
  for (int c = 0; c < kChannelCount; ++c) {
    EXPECT_EQ(def.channels[c].gamma, c == kBlack ? 150 : FourCurves().channels[c].gamma);
  }
  const DensityDef fresh = NewDefinition();
  for (int c = 0; c < kChannelCount; ++c) {
    EXPECT_TRUE(std::equal(std::begin(def.channels[c].points), std::end(def.channels[c].points),
                           std::begin(fresh.channels[c].points)));
  }
  EXPECT_EQ(def.allChannels, 1);
  EXPECT_EQ(PointTexts(), (P{"0.00", "", "", "", "", "", "", "", "", "", "", "", "100.0"}));
  EXPECT_EQ(GammaField()->text(), QStringLiteral("1.5"));
  EXPECT_EQ(NameField()->text(), QStringLiteral("Kept"));
  EXPECT_TRUE(AllColoursBox()->isChecked());
  EXPECT_TRUE(ColourButton(kCyan)->isChecked());
  EXPECT_FALSE(ColourButton(kCyan)->isEnabled());
}

TEST_F(EditorTest, ChannelsKeepTheirOwnValuesAndOnlyTheChannelOnShowIsChecked) {
  OpenOn(FourCurves());
  Type(NameField(), "Leftovers");
  Click(ColourButton(kMagenta));
  // Showing a channel sets the fields without storing them anywhere.
  EXPECT_EQ(def, FourCurves());
  EXPECT_EQ(NameField()->text(), QStringLiteral("Leftovers"));
  Type(PointField(0), "");
  Type(PointField(5), "x");  // malformed, but magenta is not checked on Accept
  Click(ColourButton(kCyan));
  EXPECT_EQ(PointTexts()[0], QStringLiteral("0.00"));
  Click(ids::kAccept);
  EXPECT_TRUE(Ended());
  EXPECT_EQ(def.allChannels, 0);
  EXPECT_EQ(def.channels[kMagenta].points[0], U);
  EXPECT_EQ(def.channels[kCyan], FourCurves().channels[kCyan]);
  EXPECT_EQ(NameOf(def), "Leftovers");
}

TEST_F(EditorTest, NamesAreTakenAsTypedInLatin1UpToThirtyTwoBytes) {
  OpenOn(NewDefinition());
  Type(NameField(), "   ");
  Click(ids::kAccept);
  EXPECT_TRUE(Ended());
  EXPECT_EQ(NameOf(def), "   ");

  OpenOn(NewDefinition());
  Type(NameField(), QString(40, QLatin1Char('n')));
  EXPECT_EQ(NameField()->text().size(), 32);
  Type(NameField(), QStringLiteral("Gr\u00fc\u00dfe \u00e0 \u00ff"));
  Click(ids::kAccept);
  EXPECT_EQ(NameOf(def),
            "Gr\xfc\xdf"
            "e \xe0 \xff");
}

TEST_F(EditorTest, TheNameFieldRefusesCharactersAPpdCannotHold) {
  OpenOn(NewDefinition());
  Type(NameField(), "Euro");
  TypeMore(NameField(), QStringLiteral("\u20ac"));  // the euro sign is not in ISO 8859-1
  EXPECT_EQ(NameField()->text(), QStringLiteral("Euro"));
  NameField()->insert(QStringLiteral("\U0001F600"));
  // Pasting refuses the whole text.
  QApplication::clipboard()->setText(QStringLiteral("\ttab"));
  QTest::keyClick(NameField(), Qt::Key_V, Qt::ControlModifier);
  QApplication::clipboard()->setText(QStringLiteral("x\u0085"));  // a C1 control character
  QTest::keyClick(NameField(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(NameField()->text(), QStringLiteral("Euro"));
  ASSERT_EQ(messages.shown().size(), 4u);
  EXPECT_EQ(messages.shown()[0].kind, MessageKind::Warning);
  EXPECT_NE(messages.Texts()[0].find("\u201C\u20ac\u201D"), std::string::npos);
  EXPECT_NE(messages.Texts()[0].find("ISO 8859-1"), std::string::npos);
  EXPECT_NE(messages.Texts()[1].find("\U0001F600"), std::string::npos);
  EXPECT_NE(messages.Texts()[2].find("control characters"), std::string::npos);
  EXPECT_NE(messages.Texts()[3].find("control characters"), std::string::npos);

  // A full field says nothing.
  messages.Clear();
  Type(NameField(), QString(32, QLatin1Char('n')));
  QTest::keyClicks(NameField(), "more");
  EXPECT_TRUE(messages.Empty());

  // A stored name with a control character (from a PPD) can still be edited.
  DensityDef odd = NewDefinition();
  SetName(odd, "a\tb");
  OpenOn(odd);
  NameField()->end(false);
  QTest::keyClicks(NameField(), "c");
  EXPECT_EQ(NameField()->text(), QStringLiteral("a\tbc"));
}

TEST_F(EditorTest, CancelEscapeAndClose) {
  OpenOn(NewDefinition());
  Type(PointField(6), "30");
  Click(ids::kCancel);
  EXPECT_TRUE(Ended());
  EXPECT_EQ(editor->result(), ui::kEditorCancelled);
  EXPECT_EQ(def.channels[kCyan].points[6], 3000);  // the caller does not use it

  OpenOn(NewDefinition());
  QTest::keyClick(NameField(), Qt::Key_Escape);
  EXPECT_TRUE(Ended());
  EXPECT_EQ(editor->result(), ui::kEditorCancelled);

  // Closing runs Accept: refused, it ends as cancelled after the message.
  OpenOn(NewDefinition());
  editor->close();
  EXPECT_TRUE(Ended());
  EXPECT_EQ(editor->result(), ui::kEditorCancelled);
  EXPECT_EQ(messages.Ids(), (std::vector<int>{1}));

  OpenOn(NewDefinition());
  Type(NameField(), "Closed");
  editor->close();
  EXPECT_EQ(editor->result(), ui::kEditorAccepted);
  EXPECT_EQ(NameOf(def), "Closed");
}

TEST_F(EditorTest, HelpCallsTheHookWithTheEditorsTopic) {
  OpenOn(NewDefinition());
  Click(ids::kHelp);
  EXPECT_EQ(helpContexts, (std::vector<int>{5003}));
  EXPECT_FALSE(Ended());
  // Without a hook Help does nothing.
  ui::CurveEditorDialog plain(PlainSeams());
  plain.Open(def);
  plain.controls().Control<QPushButton>(ids::kHelp)->click();
  EXPECT_TRUE(messages.Empty());
}

}  // namespace
}  // namespace tonalis::test
