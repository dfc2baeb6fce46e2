// The printed test chart: a wedge of patches per process colour, to be
// measured and turned into a density control (see model/calibration.h).
//
// The chart is one page in DeviceCMYK, written as PostScript or as a small
// uncompressed PDF. Each of cyan, magenta, yellow and black gets a wedge of
// `steps` patches at evenly spaced inputs from 0 to 100 %; steps - 1 is a
// multiple of 20, so that the wedge always holds the thirteen control
// inputs (21 steps of 5 %, 41 of 2.5 %, 61 of 1.67 %, 81 of 1.25 %). A wedge
// runs in rows of at most 21 patches of 24 points (8.5 mm) square, each
// labelled with its colour and input. The page is A4; everything drawn stays
// within US Letter too.
//
// The file depends on nothing but its options: the same options give the
// same bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/density_def.h"

namespace tonalis {

inline constexpr int kDefaultChartSteps = 21;
inline constexpr int kMaxChartSteps = 81;

// Whether `steps` is a patch count the chart offers.
bool IsChartSteps(int steps);

// The inputs of a wedge of `steps` patches, in percent, rising.
std::vector<double> ChartInputs(int steps);

struct ChartPatch {
  Channel channel;
  double input;     // percent
  double x, y;      // lower left corner, in points from the page's lower left
  double size;      // the side, in points
};

inline constexpr double kChartPageWidth = 595;   // A4, points
inline constexpr double kChartPageHeight = 842;

// Where every patch of a chart of `steps` patches lies.
std::vector<ChartPatch> ChartPatches(int steps);

struct ChartOptions {
  int steps = kDefaultChartSteps;
  std::string date;     // printed as given, e.g. "2026-12-08"
  std::string control;  // the density control in force: its name (ISO 8859-1), or empty for none
};

// Today's date in local time as the chart prints it: "2026-12-08".
std::string TodaysDate();

// The chart as PostScript; `setup` (PostScript, such as a density control's
// code from a PPD) goes into the document's setup section, before the page.
std::string ChartPostScript(const ChartOptions& options, std::string_view setup = {});
std::string ChartPdf(const ChartOptions& options);

}  // namespace tonalis
