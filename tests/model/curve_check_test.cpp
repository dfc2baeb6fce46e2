// Where the spline leaves what the printer follows: the ranges found per
// interval against the spline sampled every 1/2550 %, and the note chosen.
#include <gtest/gtest.h>

#include "model/curve_check.h"
#include "model/string_table.h"
#include "support/fixtures.h"

namespace tonalis::test {
namespace {

bool Inside(const std::vector<InputRange>& ranges, double t) {
  for (const InputRange& r : ranges)
    if (t >= r.from && t <= r.to)
      return true;
  return false;
}

// Every sample beyond a limit by more than the tolerance lies in a range of
// its kind, and so does every sample inside a sampled fall within the scale
// of more than the tolerance; no sample in a range is on the wrong side of
// its limit, or rising in a range of falls.
void ExpectRangesMatchTheSamples(const ToneCurve& curve, const std::string& name) {
  const Spline spline(curve);
  const CurveExcursions e = FindExcursions(spline);
  constexpr int kSteps = 255000;
  constexpr double kSlack = 1e-9;
  auto at = [](int i) { return i * 100.0 / kSteps; };
  std::vector<double> s(kSteps + 1);
  for (int i = 0; i <= kSteps; ++i) s[std::size_t(i)] = UnlimitedSplineValue(spline, at(i));
  int runStart = 0;  // the first sample of the present fall within the scale
  for (int i = 0; i <= kSteps; ++i) {
    const double t = at(i), v = s[std::size_t(i)];
    if (v > 100.0 + kExcursionTolerance) {
      ASSERT_TRUE(Inside(e.above, t)) << name << " above at " << t;
    }
    if (v < -kExcursionTolerance) {
      ASSERT_TRUE(Inside(e.below, t)) << name << " below at " << t;
    }
    if (Inside(e.above, t)) {
      ASSERT_GT(v, 100.0 - kSlack) << name << " at " << t;
    }
    if (Inside(e.below, t)) {
      ASSERT_LT(v, kSlack) << name << " at " << t;
    }
    if (i > 0 && Inside(e.falling, t) && Inside(e.falling, at(i - 1))) {
      ASSERT_LE(v, s[std::size_t(i - 1)] + kSlack) << name << " rises at " << t;
    }
    const bool falls = i > 0 && v < s[std::size_t(i - 1)] && v >= 0.0 && v <= 100.0;
    if (!falls || i == kSteps) {
      const int runEnd = falls ? i : i - 1;
      const bool run = runEnd > runStart;  // none before the first sample
      const double fall =
          run ? std::min(s[std::size_t(runStart)], 100.0) - s[std::size_t(runEnd)] : 0.0;
      if (run && fall > kExcursionTolerance + 1e-6) {
        for (int j = runStart + 1; j < runEnd; ++j) {
          ASSERT_TRUE(Inside(e.falling, at(j))) << name << " falls at " << at(j);
        }
      }
      runStart = i;
    }
  }
}

TEST(CurveCheck, UnlimitedSplineIsThePrintersSplineWithinTheScale) {
  // The double evaluation follows the single-precision one the tables come
  // from, and goes on beyond the limits where that one stops.
  for (const Points& p :
       {kIdentity, kGamma22, Points{0, 10000, U, U, U, U, U, U, U, U, U, U, 10000},
        Points{U, U, 1000, 4000, U, U, U, U, U, U, U, U, 10000}}) {
    const Spline spline(Curve(p));
    for (int i = 0; i <= 1000; ++i) {
      const float t = static_cast<float>(i) / 10.0f;
      const double s = UnlimitedSplineValue(spline, t);
      ASSERT_NEAR(std::clamp(s, 0.0, 100.0), spline(t), 2e-4) << t;
    }
  }
  const Spline steep(Curve({0, 10000, U, U, U, U, U, U, U, U, U, U, 10000}));
  EXPECT_NEAR(UnlimitedSplineValue(steep, 20.0), 321.0, 1.0);  // about, as the spline test says
}

TEST(CurveCheck, RangesPerKind) {
  using R = std::vector<InputRange>;
  struct Case {
    const char* name;
    Points points;
    R above, below, falling;
  } cases[] = {
      {"identity", kIdentity, {}, {}, {}},
      {"two ends", Ends(0, 10000), {}, {}, {}},
      {"flat", Ends(5000, 5000), {}, {}, {}},
      {"one point: no adjustment", {U, U, U, U, U, U, 5000, U, U, U, U, U, U}, {}, {}, {}},
      // 100 % at 5 %: the cubic towers over the scale up to the last point.
      {"overshoot", {0, 10000, U, U, U, U, U, U, U, U, U, U, 10000}, {{5, 100}}, {}, {}},
      {"overshoot after the middle",
       {0, U, U, 3000, U, U, 8500, U, U, U, U, U, 10000},
       {{66.634368, 100}},
       {},
       {}},
      {"undershoot", {0, U, U, U, U, U, 1000, U, U, U, U, U, 10000}, {}, {{0, 35.355339}}, {}},
      {"backwards",
       {0, U, U, U, U, U, 8000, 6000, U, U, U, U, 10000},
       {},
       {},
       {{40.583354, 69.438476}}},
      {"all the way down", Ends(10000, 0), {}, {}, {{0, 100}}},
      // No 0 % point: the first interval goes on below its first knot.
      {"before the first point",
       {U, U, 1000, 4000, U, U, U, U, U, U, U, U, 10000},
       {{60, 100}},
       {{0, 6.786729}},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CurveExcursions e = FindExcursions(Curve(c.points));
    for (const auto& [got, want] : {std::pair{&e.above, &c.above}, std::pair{&e.below, &c.below},
                                    std::pair{&e.falling, &c.falling}}) {
      ASSERT_EQ(got->size(), want->size());
      for (std::size_t i = 0; i < got->size(); ++i) {
        EXPECT_NEAR((*got)[i].from, (*want)[i].from, 1e-5);
        EXPECT_NEAR((*got)[i].to, (*want)[i].to, 1e-5);
      }
    }
    ExpectRangesMatchTheSamples(Curve(c.points), c.name);
  }
}

TEST(CurveCheck, GammaCurvesStayOnTheScaleAndRiseButAtTheExtremes) {
  for (int gamma : {30, 45, 70, 100, 140, 220, 300, 500, 1000}) {
    const auto points = ApplyGamma(gamma);
    Points p;
    std::copy(points.begin(), points.end(), p.begin());
    EXPECT_FALSE(FindExcursions(Curve(p)).any()) << gamma;
  }
  // Thirteen points cannot hold the steepest powers: the spline through them
  // swings, and the printer follows those swings.
  for (int gamma : {10, 9999}) {
    const auto points = ApplyGamma(gamma);
    Points p;
    std::copy(points.begin(), points.end(), p.begin());
    EXPECT_FALSE(FindExcursions(Curve(p)).falling.empty()) << gamma;
    ExpectRangesMatchTheSamples(Curve(p), "gamma " + std::to_string(gamma));
  }
}

TEST(CurveCheck, TheNoteNamesTheOneKindOrSaysAllAtOnce) {
  const CurveExcursions none, above{{{1, 2}}, {}, {}}, below{{}, {{1, 2}}, {}},
      falling{{}, {}, {{1, 2}}};
  struct Case {
    std::vector<CurveExcursions> drawn;
    int note;
  } cases[] = {
      {{}, 0},
      {{none, none, none, none}, 0},
      {{above}, sid::kCurveAbove},
      {{none, none, above, above}, sid::kCurveAbove},  // one kind in two channels
      {{below}, sid::kCurveBelow},
      {{falling, none}, sid::kCurveBackwards},
      {{above, below}, sid::kCurveClipped},
      {{CurveExcursions{{{1, 2}}, {}, {{3, 4}}}}, sid::kCurveClipped},
  };
  for (const Case& c : cases) EXPECT_EQ(ExcursionNote(c.drawn), c.note) << c.drawn.size();
}

}  // namespace
}  // namespace tonalis::test
