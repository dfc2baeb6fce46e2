// Helpers of the tests that drive the real print system: the vendor PPDs,
// running cupstestppd, cupsfilter and Ghostscript, taking PPD text apart the
// way a reader of the file sees it, and reading the CMYK rasters that
// Ghostscript renders.
//
// These helpers deliberately do not use the engine's own text routines: the
// line-ending conversion and the section cut here are written independently,
// so that the tests compare the engine with a second opinion.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonalis::test::real {

// --- Files and tools ---

// The folder of the vendor PPDs.
std::string VendorDir();

// The full path of an installed program, looked up on PATH and then in the
// system folders that a root login has but a user's PATH may lack; empty when
// it is not installed.
std::string FindTool(const std::string& name);

struct RunResult {
  int status = -1;  // exit status; -1 when the program could not be run or was killed
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs argv[0] (a full path) with the arguments, without a shell, with
// standard input from /dev/null. Standard output and error are collected
// through files in `scratchDir`.
RunResult RunTool(const std::vector<std::string>& argv, const std::string& scratchDir);

// --- PPD text ---

// Every CR LF, LF CR, lone CR and lone LF becomes CR LF.
std::string ToCrLf(std::string_view text);

// The lines of `text` without their line breaks (CR and LF both end a line).
std::vector<std::string> Lines(std::string_view text);

// `text` (CR LF lines) without its density-control sections: every line from
// one beginning with "*OpenUI *VLTone/" through the next one beginning with
// "*CloseUI: *VLTone".
std::string WithoutSections(std::string_view text);

struct SectionPlace {
  std::size_t begin = std::string::npos;  // byte offset of the opening line
  std::size_t end = std::string::npos;    // just after the closing line's CR LF
  bool found() const { return begin != std::string::npos; }
};
// The first density-control section of `text`.
SectionPlace FindSection(std::string_view text);

// The byte offset of the first line that begins with "*% Font Information"
// or "*DefaultFont: Courier" outside a section; npos when there is none.
std::size_t FindFontAnchor(std::string_view text);

// The invocation value of the choice `option`/`choice` (for example "VLTone",
// "Gumma1"): the bytes between the quote that ends the choice's line and the
// next quote. Empty when there is no such choice.
std::string InvocationOf(std::string_view ppd, std::string_view option, std::string_view choice);

// Width and height in points of a page size from its *PaperDimension line.
struct PagePoints {
  double width = 0;
  double height = 0;
};
std::optional<PagePoints> PaperDimension(std::string_view ppd, std::string_view size);

// `text` with every CR removed.
std::string WithoutCr(std::string_view text);

// --- The CMYK step wedge ---

// Steps of the wedge: 0, 5, 10 ... 100 % of each colorant alone.
inline constexpr int kWedgeSteps = 21;

// A one-page PostScript job with four rows of kWedgeSteps patches, filled
// with setcmykcolor: row 0 cyan alone, 1 magenta, 2 yellow, 3 black. The
// patches fit on a page of 300 x 300 points. `pageSetup` is PostScript run at
// the start of the page, before anything is drawn.
std::string WedgeJob(std::string_view pageSetup = {});

// The colorant value that patch `step` of the wedge asks for: step x 5 %,
// the way the job computes it (step 0.05 mul, in single precision).
float WedgeInput(int step);

// A raster of Ghostscript's pamcmyk32 device.
struct CmykRaster {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> samples;  // width * height * 4, rows from the top, C M Y K
  int At(int x, int y, int plane) const {
    return samples[(static_cast<std::size_t>(y) * width + x) * 4 + plane];
  }
};

// Reads a PAM file with DEPTH 4, MAXVAL 255 and TUPLTYPE CMYK; on failure
// returns nothing and says why in `error`.
std::optional<CmykRaster> ReadCmykPam(const std::string& path, std::string& error);

// The value of `plane` at the centre of wedge patch `step` in row `row` of a
// raster rendered at `dpi`.
int WedgePatch(const CmykRaster& raster, double dpi, int row, int step, int plane);

// A page size in points rendered at `dpi` gives this many pixels.
int PixelsFor(double points, double dpi);

}  // namespace tonalis::test::real
