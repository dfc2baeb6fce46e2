// The test chart's files and the reading of measurements.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "formats/measurements.h"
#include "formats/test_chart.h"
#include "support/fixtures.h"

namespace tonalis::test {
namespace {

TEST(TestChart, WedgesHoldTheControlInputsInPatchesOfEightMillimetres) {
  for (int steps = 0; steps <= 120; ++steps)
    EXPECT_EQ(IsChartSteps(steps), steps == 21 || steps == 41 || steps == 61 || steps == 81)
        << steps;
  for (int steps : {21, 41, 61, 81}) {
    const std::vector<double> inputs = ChartInputs(steps);
    for (int control : ControlInputs)
      EXPECT_TRUE(std::any_of(inputs.begin(), inputs.end(),
                              [&](double x) { return std::abs(x - control) < 1e-9; }))
          << steps << " steps lack " << control;
    const std::vector<ChartPatch> patches = ChartPatches(steps);
    ASSERT_EQ(patches.size(), std::size_t(4 * steps));
    for (std::size_t i = 0; i < patches.size(); ++i) {
      const ChartPatch& p = patches[i];
      EXPECT_GE(p.size, 8 / 25.4 * 72);
      // Within US Letter's width and height as well as A4's, with a margin.
      EXPECT_GE(p.x, 18);
      EXPECT_LE(p.x + p.size, 612 - 18);
      EXPECT_GE(p.y, 18);
      EXPECT_LE(p.y + p.size, 792 - 40);
      for (std::size_t j = 0; j < i; ++j) {
        const ChartPatch& q = patches[j];
        EXPECT_TRUE(p.x >= q.x + q.size || q.x >= p.x + p.size || p.y >= q.y + q.size ||
                    q.y >= p.y + p.size)
            << "patches " << i << " and " << j << " overlap";
      }
    }
  }
}

TEST(TestChart, FilesDependOnTheirOptionsOnly) {
  const ChartOptions a{21, "2026-12-08", ""};
  ChartOptions b = a;
  b.date = "2027-01-31";
  ChartOptions named = a;
  named.control = "Gain (\\30\xE9)";
  for (auto write : {+[](const ChartOptions& o) { return ChartPostScript(o); }, &ChartPdf}) {
    EXPECT_EQ(write(a), write(a));
    EXPECT_NE(write(a), write(b));
    EXPECT_NE(write(a).find("Density control: none"), std::string::npos);
    EXPECT_NE(write(named).find("Density control: Gain \\(\\\\30\\351\\)"), std::string::npos);
  }
  const std::string ps = ChartPostScript(a, "%% the control's code\n");
  EXPECT_LT(ps.find("%%BeginSetup\n%% the control's code\n%%EndSetup\n"), ps.find("%%Page: 1 1"));
  EXPECT_NE(ps.find("0 0 0.5 0 setcmykcolor"), std::string::npos);
  EXPECT_NE(ps.find("(Y 50) show"), std::string::npos);
}

// Every object the cross-reference table names starts where it says, and
// startxref points at the table.
TEST(TestChart, PdfCrossReferenceIsExact) {
  const std::string pdf = ChartPdf({41, "2026-12-08", "x"});
  const std::size_t xref = std::stoul(pdf.substr(pdf.rfind("startxref\n") + 10));
  ASSERT_EQ(pdf.compare(xref, 5, "xref\n"), 0);
  std::istringstream table(pdf.substr(xref + 5));
  int first = -1, count = 0;
  table >> first >> count;
  ASSERT_EQ(first, 0);
  ASSERT_EQ(count, 7);
  table.ignore(1);
  for (int n = 0; n < count; ++n) {
    std::string line(20, '\0');
    table.read(line.data(), 20);
    ASSERT_EQ(line.back(), '\n') << "entry " << n << " is not 20 bytes";
    if (n == 0) continue;
    const std::size_t offset = std::stoul(line.substr(0, 10));
    EXPECT_EQ(pdf.compare(offset, 8, std::to_string(n) + " 0 obj\n"), 0) << "object " << n;
  }
  const std::size_t length = std::stoul(pdf.substr(pdf.find("/Length ") + 8));
  const std::size_t stream = pdf.find("stream\n") + 7;
  EXPECT_EQ(pdf.compare(stream + length, 10, "endstream\n"), 0);
}

MeasurementsRead Read(const std::string& text) { return ParseMeasurements(text, "m.csv"); }

std::string Wedge(const std::string& channel, const std::string& extra = {}) {
  std::string s;
  for (int x : {0, 20, 40, 60, 80, 100})
    s += channel + "," + std::to_string(x) + "," + std::to_string(x / 50.0) + "\n";
  return s + extra;
}
std::string AllWedges() { return Wedge("C") + Wedge("m") + Wedge("Yellow") + Wedge("BLACK"); }

TEST(Measurements, CsvInAnyOrderAndCaseWithRepeatsAveraged) {
  const MeasurementsRead r = Read("\xEF\xBB\xBF" "Channel, Input, LStar\r\n# comment\n\n" +
                                  std::regex_replace(Wedge("K") + Wedge("y") + Wedge("Magenta") +
                                                     Wedge("cyan", "C,40,1.2\nC,10,0.3\n"),
                                                     std::regex(","), " , "));
  ASSERT_TRUE(r.measurements) << r.error;
  EXPECT_EQ(r.measurements->quantity, MeasuredQuantity::LStar);
  const auto& cyan = r.measurements->channels[kCyan];
  ASSERT_EQ(cyan.size(), 7u);
  EXPECT_DOUBLE_EQ(cyan[1].input, 10);
  EXPECT_DOUBLE_EQ(cyan[3].value, (0.8 + 1.2) / 2);
  EXPECT_EQ(r.measurements->channels[kBlack].size(), 6u);
}

TEST(Measurements, BadFilesNameTheLineAndTheFault) {
  const std::string header = "channel,input,density\n";
  const struct {
    std::string text, error;
  } cases[] = {
      {"", "m.csv: no measurements"},
      {"channel,input,value\n", "m.csv:1: expected the header"},
      {header + "C,0\n", "m.csv:2: expected three fields (channel,input,value), not 2"},
      {header + "G,0,0.1\n", "m.csv:2: unknown channel 'G'"},
      {header + "C,1e2x,0.1\n", "m.csv:2: input '1e2x' is not a number"},
      {header + "C,101,0.1\n", "m.csv:2: input 101 is outside 0 to 100"},
      {header + "\nC,50,-0.1\n", "m.csv:3: density -0.1 is outside 0 to 10"},
      {"channel,input,lstar\nC,50,nan\n", "m.csv:2: L* 'nan' is not a number"},
      {header + AllWedges() + "C,50,inf\n", "m.csv:26: density 'inf' is not a number"},
      {header + Wedge("C").substr(Wedge("C").find('\n') + 1) + Wedge("M") + Wedge("Y") + Wedge("K"),
       "m.csv: cyan: no patch at 0 %"},
      {header + Wedge("C") + Wedge("Y") + Wedge("K"), "m.csv: magenta: no patch at 0 %"},
      {header + Wedge("C") + Wedge("M") + Wedge("Y") +
           std::regex_replace(Wedge("K"), std::regex("K,100,2\\.0+\n"), ""),
       "m.csv: black: no patch at 100 %"},
      {header + Wedge("C") + Wedge("M") + Wedge("Y") +
           std::regex_replace(Wedge("K"), std::regex("K,40,.*\n"), ""),
       "m.csv: black: 5 patches; at least six are needed"},
  };
  for (const auto& c : cases) {
    const MeasurementsRead r = Read(c.text);
    EXPECT_FALSE(r.measurements) << c.text;
    EXPECT_TRUE(r.error.starts_with(c.error)) << r.error << "\n  expected: " << c.error;
  }
  EXPECT_TRUE(Read(header + AllWedges()).measurements);
}

TEST(Measurements, ChartreadFileGivesTheSingleColourPatches) {
  const MeasurementsRead r = ParseMeasurements(
      ReadBytes(TONALIS_TEST_DATA "/calibration/chartread.ti3"), "chartread.ti3");
  ASSERT_TRUE(r.measurements) << r.error;
  EXPECT_EQ(r.measurements->quantity, MeasuredQuantity::Density);
  for (const auto& patches : r.measurements->channels) {
    ASSERT_EQ(patches.size(), 7u);  // the paper, read twice, and six wedge steps
    EXPECT_NEAR(patches[0].value, 0.06, 1e-4);
    for (std::size_t i = 1; i < patches.size(); ++i) EXPECT_GT(patches[i].value, patches[i - 1].value);
  }
  EXPECT_NEAR(r.measurements->channels[kBlack].back().value, 1.66, 1e-4);
}

TEST(Measurements, BadChartreadFilesNameTheLineAndTheFault) {
  const std::string head = "CTI3\nNUMBER_OF_SETS 1\nBEGIN_DATA_FORMAT\n";
  const struct {
    std::string text, error;
  } cases[] = {
      {"CTI3\n", "t.ti3: no data (BEGIN_DATA)"},
      {"CTI3\nBEGIN_DATA\n", "t.ti3:2: BEGIN_DATA before the data format"},
      {head + "SAMPLE_ID RGB_R LAB_L\nEND_DATA_FORMAT\n", "t.ti3:5: no CMYK_C field"},
      {head + "CMYK_C CMYK_M CMYK_Y CMYK_K\nSPEC_380\nEND_DATA_FORMAT\n",
       "t.ti3:6: no XYZ_Y or LAB_L field"},
      {head + "CMYK_C CMYK_M CMYK_Y CMYK_K LAB_L END_DATA_FORMAT\nBEGIN_DATA\n0 0 0 0\n",
       "t.ti3:6: expected 5 values, not 4"},
      {head + "CMYK_C CMYK_M CMYK_Y CMYK_K XYZ_Y END_DATA_FORMAT\nBEGIN_DATA\n0 0 0 0 0\n",
       "t.ti3:6: XYZ_Y 0 is not above 0"},
      {head + "CMYK_C CMYK_M CMYK_Y CMYK_K XYZ_Y END_DATA_FORMAT\nBEGIN_DATA\n0 0 0 x 9\n",
       "t.ti3:6: CMYK_K 'x' is not a number"},
      {head + "CMYK_C CMYK_M CMYK_Y CMYK_K XYZ_Y END_DATA_FORMAT\nBEGIN_DATA\n0 0 0 0 9\n",
       "t.ti3: no END_DATA after the data"},
      {head + "CMYK_C CMYK_M CMYK_Y CMYK_K XYZ_Y END_DATA_FORMAT\nBEGIN_DATA\nEND_DATA\n",
       "t.ti3: NUMBER_OF_SETS is 1 but the data holds 0"},
  };
  for (const auto& c : cases) {
    const MeasurementsRead r = ParseMeasurements(c.text, "t.ti3");
    EXPECT_FALSE(r.measurements) << c.text;
    EXPECT_TRUE(r.error.starts_with(c.error)) << r.error << "\n  expected: " << c.error;
  }
}

}  // namespace
}  // namespace tonalis::test
