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

}  // namespace
}  // namespace tonalis::test
