// The edit session behind the curve editor: typing, the commands and Accept.
#include "workspace/curve_edit.h"

#include <functional>
#include <tuple>

#include "support/fixtures.h"

namespace tonalis::test {
namespace {

// Leaves magenta without its 100 % point, cyan on show.
void UnsetMagenta100(CurveEdit& e) {
  e.SelectChannel(kMagenta), e.SetPointText(12, ""), e.SelectChannel(kCyan);
}

TEST(CurveEdit, AcceptChecksWhatTheFieldsShowAndEveryChannelThatTakesPart) {
  using Outcome = std::tuple<int, int, int>;  // string id (0: accepted), channel, point
  struct Case { const char* what; std::function<void(CurveEdit&)> edits; Outcome outcome; };
  const Case cases[] = {
      {"no name", [](CurveEdit& e) { e.SetName(""); }, {sid::kNameThisSetting, -1, -1}},
      {"blanks are a name", [](CurveEdit& e) { e.SetName("  "); }, {0, 0, 0}},
      {"100 % unset", [](CurveEdit& e) { e.SetPointText(12, ""); }, {2, kCyan, 12}},
      {"a number out of range", [](CurveEdit& e) { e.SetPointText(4, "101"); }, {7, kCyan, 4}},
      {"no number", [](CurveEdit& e) { e.SetPointText(0, "1..2"); }, {3, kCyan, 0}},
      {"ends first", [](CurveEdit& e) { e.SetPointText(3, "x"), e.SetPointText(0, ""); },
       {2, 0, 0}},
      {"gamma 100", [](CurveEdit& e) { e.SetGammaText("100"); }, {16, kCyan, -1}},
      {"gamma 0", [](CurveEdit& e) { e.SetGammaText("0.00"); }, {16, kCyan, -1}},
      {"gamma no number", [](CurveEdit& e) { e.SetGammaText("1.234"); }, {16, kCyan, -1}},
      {"gamma .01", [](CurveEdit& e) { e.SetGammaText(".01"); }, {0, 0, 0}},
      // A channel not on show is checked too.
      {"magenta's 100 %", [](CurveEdit& e) { UnsetMagenta100(e); }, {2, kMagenta, 12}},
      {"black's gamma", [](CurveEdit& e) { e.SelectChannel(kBlack), e.SetGammaText("0"),
                                           e.SelectChannel(kYellow); }, {16, kBlack, -1}},
      // With one curve for all colours the other channels do not count.
      {"one curve", [](CurveEdit& e) { UnsetMagenta100(e), e.SetAllChannels(true); }, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    CurveEdit edit(FourCurves());
    c.edits(edit);
    const DensityDef before = edit.definition();
    const std::optional<Refusal> refusal = edit.Accept();
    EXPECT_EQ(refusal ? Outcome(refusal->stringId, refusal->channel, refusal->point) : Outcome(),
              c.outcome) << c.what;
    EXPECT_TRUE(!refusal || edit.definition() == before) << c.what;  // refused: no change
  }
}

TEST(CurveEdit, TypingStoresAtOnceAndMalformedTextsKeepTheValue) {
  CurveEdit edit(FourCurves());
  edit.SelectChannel(kYellow);
  for (const auto& [text, value] : std::vector<std::pair<std::string, int32_t>>{
           {"1.5", 150}, {"1.234", 150}, {"", U}, {"x", U}, {"101", 10100}}) {
    edit.SetPointText(2, text);
    EXPECT_EQ(edit.definition().channels[kYellow].points[2], value) << text;
    EXPECT_EQ(edit.pointText(2), text);
  }
  edit.SetGammaText("2.2");
  EXPECT_EQ(edit.definition().channels[kYellow].gamma, 220);
  // Showing a channel formats its values afresh.
  edit.SelectChannel(kYellow);
  EXPECT_EQ(edit.pointText(2), "101.0");
  EXPECT_EQ(edit.gammaText(), "2.20");
}

TEST(CurveEdit, GammaSettingFillsTheCurveOnShowAndRefusesWhatIsNoGamma) {
  for (const char* text : {"", "0", "100", "100.0", "x"}) {
    CurveEdit edit(FourCurves());
    edit.SetGammaText(text);
    EXPECT_EQ(edit.ApplyGamma().value_or(Refusal{}).stringId, sid::kGammaOutOfRange) << text;
    EXPECT_EQ(edit.definition().channels[kCyan].points[6], 3000) << text;
  }
  CurveEdit edit(FourCurves());
  edit.SelectChannel(kMagenta);
  for (const char* text : {"99.99", "2.2"})
    EXPECT_FALSE((edit.SetGammaText(text), edit.ApplyGamma()));
  EXPECT_EQ(edit.definition().channels[kMagenta].points[5], 1332);
  EXPECT_EQ(edit.definition().channels[kMagenta].gamma, 220);  // as typed, not touched
  EXPECT_EQ(edit.pointText(5), "13.32");
  EXPECT_EQ(edit.definition().channels[kCyan], FourCurves().channels[kCyan]);
}

TEST(CurveEdit, OneCurveForAllColoursTakesTheCurveOnShowAndGivesItToAll) {
  CurveEdit edit(FourCurves());
  edit.SelectChannel(kYellow), edit.SetAllChannels(true);
  EXPECT_EQ(edit.currentChannel(), kCyan);
  for (const ToneCurve& c : edit.definition().channels) EXPECT_EQ(c, FourCurves().channels[2]);
  // Edits go to the one curve; asking again keeps them.
  edit.SetPoint(4, 2500), edit.SetAllChannels(true);
  EXPECT_EQ(edit.definition().channels[kCyan].points[4], 2500);
  EXPECT_FALSE(edit.Accept());
  for (const ToneCurve& c : edit.definition().channels) EXPECT_EQ(c.points[4], 2500);
  edit.SetPoint(5, 3300), edit.SetAllChannels(false);
  EXPECT_EQ(edit.currentChannel(), kYellow);
  for (const ToneCurve& c : edit.definition().channels) EXPECT_EQ(c.points[5], 3300);
}

TEST(CurveEdit, ResetAndClearPoint) {
  CurveEdit edit(FourCurves());
  edit.SelectChannel(kBlack), edit.SetGammaText("1.5"), edit.Reset();
  const DensityDef& d = edit.definition();
  EXPECT_TRUE(edit.allChannels() && edit.selectedChannel() == kCyan);
  EXPECT_EQ(edit.gammaText() + edit.pointText(6) + std::string(edit.name()), "1.5Four");
  for (int c = 0; c < kChannelCount; ++c) {
    EXPECT_EQ(d.channels[c].gamma, c == kBlack ? 150 : FourCurves().channels[c].gamma);
    EXPECT_EQ(d.channels[c].points[6], U);
  }
  // Inner points go; the end points go back to 0 % and 100 %.
  CurveEdit clear(FourCurves());
  clear.SelectChannel(kYellow);
  for (int i : {0, 12}) clear.SetPoint(i, 700);
  for (int i : {0, 6, 12}) clear.ClearPoint(i);
  const int32_t* p = clear.definition().channels[kYellow].points;
  EXPECT_EQ((std::vector<int32_t>{p[0], p[6], p[12]}), (std::vector<int32_t>{0, U, 10000}));
  EXPECT_EQ(clear.pointText(12), "100.0");
}

// Undo and Redo: each case edits (undoing and redoing among the edits), and
// the session must then equal a fresh one given the expected edits, with as
// many steps left to undo and to redo as said.
TEST(CurveEdit, UndoTakesBackWholeStepsAndRedoMakesThemAgain) {
  using Edits = std::function<void(CurveEdit&)>;
  struct Case { const char* what; Edits edits; Edits expected; int undos, redos; };
  const auto type = [](CurveEdit& e, int index, const std::string& text) {
    for (std::size_t n = 1; n <= text.size(); ++n) e.SetPointText(index, text.substr(0, n));
  };
  const auto typeGamma = [](CurveEdit& e, const std::string& text) {
    for (std::size_t n = 1; n <= text.size(); ++n) e.SetGammaText(text.substr(0, n));
  };
  const auto none = [](CurveEdit&) {};
  const Case cases[] = {
      {"typing in one field is one step", [&](CurveEdit& e) { type(e, 6, "12.5"), e.Undo(); },
       none, 0, 1},
      {"and Redo types it all again", [&](CurveEdit& e) { type(e, 6, "12.5"), e.Undo(), e.Redo(); },
       [](CurveEdit& e) { e.SetPointText(6, "12.5"); }, 1, 0},
      {"deleting belongs to the typing", [&](CurveEdit& e) {
         e.SetPointText(6, ""), type(e, 6, "12"), e.SetPointText(6, "1"), e.Undo(); }, none, 0, 1},
      {"two fields are two steps", [&](CurveEdit& e) { type(e, 6, "12"), type(e, 7, "15"), e.Undo(); },
       [](CurveEdit& e) { e.SetPointText(6, "12"); }, 1, 1},
      {"back to the first field is a third", [&](CurveEdit& e) {
         type(e, 6, "1"), type(e, 7, "2"), type(e, 6, "13"), e.Undo(); },
       [](CurveEdit& e) { e.SetPointText(6, "1"), e.SetPointText(7, "2"); }, 2, 1},
      {"the gamma field", [&](CurveEdit& e) { typeGamma(e, "2.2"), type(e, 3, "5"), e.Undo(); },
       [](CurveEdit& e) { e.SetGammaText("2.2"); }, 1, 1},
      {"the name", [](CurveEdit& e) { e.SetName("F"), e.SetName("Fo"), e.SetName("Fox"), e.Undo(); },
       none, 0, 1},
      {"picking a channel ends the typing", [&](CurveEdit& e) {
         type(e, 6, "1"), e.SelectChannel(kMagenta), e.SelectChannel(kCyan), type(e, 6, "12"),
         e.Undo(); },
       [](CurveEdit& e) { e.SetPointText(6, "1"), e.SelectChannel(kCyan); }, 1, 1},
      {"typed back as it was: no step", [&](CurveEdit& e) { type(e, 6, "30.00"); }, none, 0, 0},
      {"Undo shows the channel of its step", [](CurveEdit& e) {
         e.SelectChannel(kYellow), e.SetPoint(4, 2500), e.SelectChannel(kBlack), e.Undo(); },
       [](CurveEdit& e) { e.SelectChannel(kYellow); }, 0, 1},
      {"and so does Redo", [](CurveEdit& e) {
         e.SelectChannel(kYellow), e.SetPoint(4, 2500), e.Undo(), e.SelectChannel(kBlack),
         e.Redo(); },
       [](CurveEdit& e) { e.SelectChannel(kYellow), e.SetPoint(4, 2500); }, 1, 0},
      {"a point of another channel", [](CurveEdit& e) { e.SetPoint(kBlack, 3, 900), e.Undo(); },
       none, 0, 1},
      {"a click and the double-click's clearing: one step", [](CurveEdit& e) {
         e.SetPoint(6, 8000), e.ClearPoint(6), e.Undo(); }, none, 0, 1},
      {"clearing another point: two", [](CurveEdit& e) {
         e.SetPoint(5, 8000), e.ClearPoint(6), e.Undo(); },
       [](CurveEdit& e) { e.SetPoint(5, 8000); }, 1, 1},
      {"Reset", [&](CurveEdit& e) {
         e.SelectChannel(kBlack), typeGamma(e, "1.5"), e.Reset(), e.Undo(); },
       [](CurveEdit& e) { e.SelectChannel(kBlack), e.SetGammaText("1.5"); }, 1, 1},
      {"one curve for all colours", [](CurveEdit& e) {
         e.SelectChannel(kYellow), e.SetAllChannels(true), e.Undo(); },
       [](CurveEdit& e) { e.SelectChannel(kYellow); }, 0, 1},
      {"and back to one per colour", [](CurveEdit& e) {
         e.SetAllChannels(true), e.SetPoint(4, 2500), e.SetAllChannels(false), e.Undo(),
         e.Undo(); },
       [](CurveEdit& e) { e.SetAllChannels(true); }, 1, 2},
      {"the gamma setting", [&](CurveEdit& e) { typeGamma(e, "2.2"), e.ApplyGamma(), e.Undo(); },
       [](CurveEdit& e) { e.SetGammaText("2.2"); }, 1, 1},
      {"a refused gamma setting adds nothing", [](CurveEdit& e) {
         e.SetGammaText("100"), e.ApplyGamma(); },
       [](CurveEdit& e) { e.SetGammaText("100"); }, 1, 0},
      {"edits that change nothing add nothing", [](CurveEdit& e) {
         e.SetPoint(6, 3000), e.SetPointText(6, "30.00"), e.ClearPoint(7), e.SetAllChannels(false),
         e.SetName("Four"), e.SelectChannel(kMagenta), e.SelectChannel(kCyan); }, none, 0, 0},
      {"nor end the typing", [&](CurveEdit& e) {
         type(e, 6, "1"), e.SetPointText(6, "1"), type(e, 6, "12"), e.Undo(); }, none, 0, 1},
      {"a new edit drops what Redo would make", [](CurveEdit& e) {
         e.SetPoint(4, 2500), e.SetPoint(5, 3300), e.Undo(), e.Undo(), e.SetPoint(8, 5000),
         e.Redo(); },
       [](CurveEdit& e) { e.SetPoint(8, 5000); }, 1, 0},
      {"a new edit that changes nothing keeps it", [](CurveEdit& e) {
         e.SetPoint(4, 2500), e.Undo(), e.SetPoint(6, 3000); }, none, 0, 1},
      {"Undo and Redo beyond the ends", [](CurveEdit& e) {
         e.Undo(), e.SetPoint(4, 2500), e.Redo(), e.Undo(), e.Undo(), e.Redo(), e.Redo(); },
       [](CurveEdit& e) { e.SetPoint(4, 2500); }, 1, 0},
      {"after Accept refused", [](CurveEdit& e) {
         e.SelectChannel(kMagenta), e.SetPointText(12, ""), e.SelectChannel(kCyan),
         (void)e.Accept(), e.Undo(); },
       [](CurveEdit& e) { e.SelectChannel(kMagenta); }, 0, 1},
      {"at most 100 steps, the oldest dropped", [](CurveEdit& e) {
         for (int i = 1; i <= CurveEdit::kUndoDepth + 5; ++i) e.SetPoint(6, i);
         while (e.canUndo()) e.Undo(); },
       [](CurveEdit& e) { e.SetPoint(6, 5); }, 0, 100},
  };
  const auto steps = [](CurveEdit e, void (CurveEdit::*op)(), bool (CurveEdit::*can)() const) {
    int n = 0;
    for (; (e.*can)() && n <= 2 * CurveEdit::kUndoDepth; ++n) (e.*op)();
    return n;
  };
  for (const Case& c : cases) {
    CurveEdit edit(FourCurves()), expected(FourCurves());
    c.edits(edit);
    c.expected(expected);
    EXPECT_EQ(edit.definition(), expected.definition()) << c.what;
    EXPECT_EQ(edit.selectedChannel(), expected.selectedChannel()) << c.what;
    for (int i = 0; i < kPointCount; ++i)
      EXPECT_EQ(edit.pointText(i), expected.pointText(i)) << c.what << ", point " << i;
    EXPECT_EQ(edit.gammaText(), expected.gammaText()) << c.what;
    EXPECT_EQ(steps(edit, &CurveEdit::Undo, &CurveEdit::canUndo), c.undos) << c.what;
    EXPECT_EQ(steps(edit, &CurveEdit::Redo, &CurveEdit::canRedo), c.redos) << c.what;
  }
}

}  // namespace
}  // namespace tonalis::test
