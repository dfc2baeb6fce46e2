// Calibration end to end: the chart rendered by Ghostscript, a simulated printer with dot gain
// measured into CSV, the control made from it rendered again with its transfer tables installed
// as the PPD's choice installs them; and the use case's refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "formats/ppd_section.h"
#include "formats/test_chart.h"
#include "support/fixtures.h"
#include "support/ghostscript.h"
#include "workspace/calibrate.h"

namespace tonalis::test {
namespace {

// The simulated printer: mid-tone gain, then Murray-Davies density with a solid density per
// colorant, on paper of density 0.07.
constexpr double kGain[kChannelCount] = {0.15, 0.20, 0.17, 0.23};
constexpr double kSolid[kChannelCount] = {1.35, 1.30, 0.95, 1.70};
constexpr double kPaper = 0.07;
double Printed(int channel, double ink) {  // ink 0..1
  const double dot = ink + 4 * kGain[channel] * ink * (1 - ink);
  return kPaper - std::log10(1 - dot * (1 - std::pow(10, -kSolid[channel])));
}

struct Wedge {
  std::vector<ChartPatch> patches;
  std::vector<double> density;  // per patch
};

// The chart with `def` in force (none: null), as the simulated printer prints it.
Wedge PrintChart(const DensityDef* def, const std::string& scratch) {
  std::string setup;
  if (def) {
    std::string choice;
    ppd::AppendChoice(choice, *def, 1, "\n");
    setup = choice.substr(choice.find('"') + 1, choice.rfind('"') - choice.find('"') - 1);
  }
  const ChartOptions options{kDefaultChartSteps, "2026-12-08", def ? "calibrated" : ""};
  WriteBytes(scratch + "/chart.ps", ChartPostScript(options, setup));
  const CmykRaster page = ReadPam(Output(
      {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pamcmyk32", "-r72",
       "-dDEVICEWIDTHPOINTS=595", "-dDEVICEHEIGHTPOINTS=842", "-dFIXEDMEDIA", "-sOutputFile=-",
       "-sstdout=%stderr", scratch + "/chart.ps"},
      scratch));
  Wedge w;
  w.patches = ChartPatches(kDefaultChartSteps);
  for (const ChartPatch& p : w.patches) {
    // The middle of the patch (a quarter of its side on each side), one ink value throughout.
    const int x = int(p.x + p.size / 2), y = page.height - int(p.y + p.size / 2);
    const int ink = page.at(x, y, p.channel);
    for (int dy = -6; dy <= 6; ++dy)
      for (int dx = -6; dx <= 6; ++dx)
        for (int plane = 0; plane < kChannelCount; ++plane)
          EXPECT_EQ(page.at(x + dx, y + dy, plane), plane == p.channel ? ink : 0);
    w.density.push_back(Printed(p.channel, ink / 255.0));
  }
  return w;
}

std::string Csv(const Wedge& w) {
  std::string csv = "channel,input,density\n";
  for (std::size_t i = 0; i < w.patches.size(); ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%c,%.4f,%.5f\n", "CMYK"[w.patches[i].channel],
                  w.patches[i].input, w.density[i]);
    csv += line;
  }
  return csv;
}

// Per channel, the largest distance of a step from the linear-density aim, in percent of the
// density range from paper to solid.
std::array<double, kChannelCount> Deviations(const Wedge& w) {
  std::array<double, kChannelCount> worst{};
  for (std::size_t i = 0; i < w.patches.size(); ++i) {
    const int c = w.patches[i].channel;
    const double low = Printed(c, 0), high = Printed(c, 1);
    const double aim = low + (high - low) * w.patches[i].input / 100;
    worst[c] = std::max(worst[c], 100 * std::abs(w.density[i] - aim) / (high - low));
  }
  return worst;
}

DensityDef Calibrate(const Wedge& w, const DensityDef* from) {
  const MeasurementsRead read = ParseMeasurements(Csv(w), "printed.csv");
  EXPECT_TRUE(read.measurements) << read.error;
  const CalibrationOutcome out = CalibrateMeasurements(*read.measurements, Aim{}, from);
  EXPECT_TRUE(out.ok) << out.error;
  for (int c = 0; c < kChannelCount; ++c)
    std::printf("  %-7s fit gap %.2f %%, predicted %.2f %%\n",
                std::array{"cyan", "magenta", "yellow", "black"}[c], out.channels[c].fitGap,
                out.channels[c].predicted);
  return out.definition;
}

TEST(CalibrationLoop, GhostscriptPrintsEveryStepWithinOnePercentOfTheAim) {
  TempDir scratch;
  if (RunTool({"gs", "--version"}, scratch.path()).status != 0)
    GTEST_SKIP() << "Ghostscript (gs) is not installed";
  const Wedge raw = PrintChart(nullptr, scratch.path());
  const DensityDef first = Calibrate(raw, nullptr);
  const Wedge once = PrintChart(&first, scratch.path());
  const DensityDef second = Calibrate(once, &first);
  const Wedge twice = PrintChart(&second, scratch.path());

  const auto before = Deviations(raw), after = Deviations(once), again = Deviations(twice);
  std::printf("largest deviation from linear density, %% of the range:\n"
              "  channel   uncorrected  calibrated  again with --from\n");
  for (int c = 0; c < kChannelCount; ++c) {
    std::printf("  %-8s  %10.2f  %10.2f  %10.2f\n",
                std::array{"cyan", "magenta", "yellow", "black"}[c], before[c], after[c],
                again[c]);
    EXPECT_GT(before[c], 5);
    EXPECT_LE(after[c], 1.0) << c;
    // The second step measures what the first printed; rendering to 8 bits leaves each step
    // up to half a level of ink off, so the second can differ from the first by about that.
    EXPECT_LE(again[c], 1.0) << c;
    EXPECT_LE(again[c], after[c] + 0.25) << c;
  }
}

TEST(CalibrationLoop, UseCaseRefusesBeforeTouchingTheLibrary) {
  TempDir dir;
  const std::string lib = dir / "lib.dat", csv = dir / "m.csv";
  std::string good = "channel,input,density\n";
  for (int c = 0; c < kChannelCount; ++c)
    for (int x = 0; x <= 100; x += 10)
      good += std::string(1, "CMYK"[c]) + "," + std::to_string(x) + "," +
              std::to_string(Printed(c, x / 100.0)) + "\n";
  WriteBytes(csv, good);
  WriteBytes(dir / "bad.csv", "channel,input,density\nC,5,x\n");
  ScriptedInteraction ui;
  auto run = [&](CalibrationRequest request) {
    Workspace ws(WorkspaceSeams{ui, DefaultStrings(), lib});
    return CalibrateIntoLibrary(ws, request);
  };
  auto request = [&](std::string file, std::string name, std::string from = {},
                     bool replace = false) {
    CalibrationRequest r;
    r.measurements = std::move(file), r.name = std::move(name), r.from = std::move(from);
    r.replace = replace;
    return r;
  };
  EXPECT_EQ(run(request(dir / "bad.csv", "Gain")).error,
            dir / "bad.csv" + ":2: density 'x' is not a number");
  EXPECT_EQ(run(request(dir / "none.csv", "Gain")).error,
            dir / "none.csv" + ": cannot be read: No such file or directory");
  EXPECT_FALSE(std::filesystem::exists(lib));

  CalibrationOutcome out = run(request(csv, "Gain"));
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_EQ(out.stored, StoreResult::Stored);
  const std::string stored = ReadBytes(lib);
  EXPECT_EQ(run(request(csv, "Gain")).error,
            lib + ": a definition named \"Gain\" is already there (--replace replaces it)");
  EXPECT_EQ(run(request(csv, "Next", "Lost")).error, lib + ": there is no definition named \"Lost\"");
  EXPECT_EQ(ReadBytes(lib), stored);
  EXPECT_EQ(run(request(csv, "Gain", {}, true)).stored, StoreResult::Replaced);
  // Printed with Gain in force, the same readings mean the printer got less ink: the next
  // correction gives more than Gain did.
  out = run(request(csv, "Next", "Gain"));
  ASSERT_TRUE(out.ok) << out.error;
  const ChannelCalibration gain = run(request(csv, "Gain", {}, true)).channels[kBlack];
  EXPECT_GT(out.definition.channels[kBlack].points[6], gain.curve.points[6]);
  EXPECT_TRUE(ui.Empty());
}

}  // namespace
}  // namespace tonalis::test
