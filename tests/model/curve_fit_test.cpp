// Fitting the thirteen points to 256-entry corrections, measured through the printer's table.
#include <cmath>
#include <functional>
#include <limits>

#include "model/curve_fit.h"
#include "model/tone_curve.h"
#include "model/validate.h"
#include "support/fixtures.h"

namespace tonalis::test {
namespace {

IdealCurve Sampled(const std::function<double(double)>& f) {
  IdealCurve ideal{};
  for (int i = 0; i < kIdealSize; ++i) ideal[i] = 100.0 * f(i / 255.0);
  return ideal;
}

ToneCurve SampleDefinition(std::string_view name) {
  auto library = std::make_unique<DefinitionLibrary>();
  const std::string image = ReadBytes(TONALIS_SAMPLE_LIBRARY);
  DecodeLibrary(std::span(reinterpret_cast<const uint8_t*>(image.data()), image.size()), *library);
  const std::optional<int> slot = FindDefinition(*library, name);
  EXPECT_TRUE(slot) << name;
  return slot ? library->slots[*slot].channels[kCyan] : ToneCurve{};
}

// One table step (1/255 %) is what the printer can tell apart at all.
constexpr double kStep = 1.0 / 255.0;

TEST(CurveFit, GapsOfTypicalCorrections) {
  const ToneCurve darker = SampleDefinition("Darker");
  ASSERT_EQ(std::count(darker.points, darker.points + kPointCount, kUnset), 0);
  const struct {
    const char* what;
    IdealCurve ideal;
    double bound;
  } cases[] = {
      {"identity", Sampled([](double x) { return x; }), 0.5 * kStep},
      {"gamma 0.5", Sampled([](double x) { return std::sqrt(x); }), 2.4},
      {"gamma 2.2", Sampled([](double x) { return std::pow(x, 2.2); }), 0.025},
      {"S-curve", Sampled([](double x) { return x * x * (3 - 2 * x); }), 0.06},
      // A library's own curve comes back exactly: every point set, nothing to approximate.
      {"sample Darker", CurveSamples(darker), 0.0},
      {"knee at 40 %", Sampled([](double x) { return std::min(1.0, x / 0.4); }), 1.1},
      {"all ink", Sampled([](double) { return 1.0; }), 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const CurveFit fit = FitCurve(c.ideal);
    EXPECT_LE(fit.maxGap, c.bound);
    EXPECT_EQ(fit.maxGap, MaxGap(fit.curve, c.ideal));
    EXPECT_EQ(fit.curve.gamma, kUnset);
    EXPECT_FALSE(ValidateCurve(fit.curve, kCyan)) << "points outside what the editor takes";
    if (std::string_view(c.what) == "sample Darker") {
      EXPECT_EQ(TransferTable(fit.curve), TransferTable(darker));
    }
    std::printf("[ fit      ] %-14s largest gap %.4f %%\n", c.what, fit.maxGap);
  }
}

TEST(CurveFit, OutOfRangeWantsAreLimited) {
  IdealCurve wild = Sampled([](double x) { return 3.0 * x - 1.0; });
  wild[7] = std::numeric_limits<double>::quiet_NaN();
  const CurveFit fit = FitCurve(wild);
  EXPECT_FALSE(ValidateCurve(fit.curve, kCyan));
  // Against the limited wants (0 below a third, 100 above two thirds) the fit is close.
  IdealCurve limited = Sampled([](double x) { return std::clamp(3.0 * x - 1.0, 0.0, 1.0); });
  limited[7] = 0.0;
  EXPECT_EQ(fit.maxGap, MaxGap(fit.curve, limited));
  EXPECT_LT(fit.maxGap, 6.0);
}

TEST(CurveFit, SamplesReadTheTableInInputOrder) {
  // Entry 0 of the table belongs to input 100 %; samples run from input 0 %.
  const ToneCurve curve = Curve({0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 9500,
                                 9800, 10000});
  const IdealCurve samples = CurveSamples(curve);
  const auto table = TransferTable(curve);
  EXPECT_EQ(samples[0], 0.0);
  EXPECT_EQ(samples[255], 100.0);
  EXPECT_EQ(samples[51], (25500 - table[204]) / 255.0);
  EXPECT_NEAR(samples[51], 30.0, kStep);  // input 20 %: point 3
  // A channel without a curve prints its input.
  const IdealCurve plain = CurveSamples(Curve(Ends(0, U)));
  for (int i : {0, 1, 128, 255}) EXPECT_DOUBLE_EQ(plain[i], i * 100.0 / 255.0);
}

}  // namespace
}  // namespace tonalis::test
