// Helpers of the tests that drive the real print system: the vendor PPDs,
// running cupstestppd, cupsfilter and Ghostscript, taking PPD text apart the
// way a reader of the file sees it, and reading the CMYK rasters that
// Ghostscript renders.
//
// These helpers deliberately do not use the engine's own text routines: the
// line-ending conversion and the section cut here are written independently,
// so that the tests compare the engine with a second opinion.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/density_def.h"
#include "model/tone_curve.h"

namespace tonalis::test::real {

// --- Files and tools ---

// The folder of the vendor PPDs.
std::string VendorDir();

// What the tests know about one vendor PPD.
struct VendorCase {
  const char* file;
  bool fontAnchor;        // the file has a font anchor line
  int definitionsInFile;  // the file already holds a section with this many
  // A page size other than the file's default whose code takes effect in
  // Ghostscript; nullptr when there is none (CUPS sends no page size code for
  // the printer, or the code needs the printer's own resources).
  const char* otherPageSize;
  // The option and choice that turn on two-sided printing ("Duplex",
  // "DuplexNoTumble"); nullptr when the file has none.
  const char* duplexOption;
  const char* duplexChoice;
  // Vendor choices that would change the colours on their own (colour
  // management in the printer's PostScript), turned off for the rendering.
  std::vector<std::string> neutralOptions;
  // Rendered through the filter chain: in every run, only in the whole
  // sample (TONALIS_CHAIN_SAMPLE=all), or never (the same printer as another
  // file).
  enum Rendering { kAlways, kWholeSample, kNever } rendering;
};

// Every vendor PPD, in a fixed order; the file names tell their line endings
// (LF, CR, CR LF).
const std::vector<VendorCase>& VendorCases();

// The case of a vendor file name (without its folder); nullptr for none.
const VendorCase* FindVendorCase(std::string_view file);

// Whether TONALIS_CHAIN_SAMPLE=all asks for the whole sample.
bool WholeSampleRequested();

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

// The line break that ends the first line of `text`: CR LF, LF or CR; LF
// when there is none.
std::string LineBreakOf(std::string_view text);

// The lines of `text` with their line breaks; a line ends at CR LF, LF or a
// lone CR.
std::vector<std::string_view> LinesWithBreaks(std::string_view text);

// `text` without its density-control sections (every line from one
// beginning with "*OpenUI *VLTone/" through the next one beginning with
// "*CloseUI: *VLTone") and without the option's translation lines
// ("*ll.Translation VLTone/..." and "*ll.VLTone ..."), wherever they stand.
std::string WithoutSections(std::string_view text);

struct SectionPlace {
  std::size_t begin = std::string::npos;  // byte offset of the opening line
  std::size_t end = std::string::npos;    // just after the closing line's break
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

// Whether `offset` (the start of a line) lies inside a quoted value of a
// main keyword: a value opens at the first '"' of a line that begins with
// '*' (comment lines "*%" aside) and closes at the next '"'.
bool InsideQuotedValue(std::string_view text, std::size_t offset);

// The languages of the file's *cupsLanguages line.
std::vector<std::string> CupsLanguages(std::string_view ppd);

// Width and height in points of a page size from its *PaperDimension line.
struct PagePoints {
  double width = 0;
  double height = 0;
};
std::optional<PagePoints> PaperDimension(std::string_view ppd, std::string_view size);

// `text` with every CR removed.
std::string WithoutCr(std::string_view text);

// `text` with LF line breaks: CR LF, LF CR and a lone CR become LF.
std::string ToLf(std::string_view text);

// --- The CMYK step wedge ---

// Steps of the wedge: 0, 5, 10 ... 100 % of each colorant alone.
inline constexpr int kWedgeSteps = 21;

// A PostScript job with four rows of kWedgeSteps patches on its first page,
// filled with setcmykcolor: row 0 cyan alone, 1 magenta, 2 yellow, 3 black.
// The patches fit on a page of kWedgePagePoints square. `pageSetup` is
// PostScript run at the start of the page, before anything is drawn. Further
// pages are blank (CUPS sends no duplex code for a one-page job).
std::string WedgeJob(std::string_view pageSetup = {}, int pages = 1);
inline constexpr double kWedgePagePoints = 300;

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

// A page size in points rendered at `dpi` gives this many pixels.
int PixelsFor(double points, double dpi);

// --- Density controls and what they should print ---

// The definitions written into the vendor files for the rendering: one
// curve for all colorants (the stored magenta, yellow and black curves differ
// and must not be used), and a curve per colorant. Both curves are smooth, so
// every patch prints within kWedgeTolerance of its table entry.
DensityDef OneTableDefinition();
DensityDef FourTableDefinition();
inline constexpr int kWedgeTolerance = 2;

// The definitions as a JSON array, the form `tonalis-cli library LIB put`
// reads.
std::string DefinitionsJson(const std::vector<DensityDef>& defs);

// The colorant value (0..255) that a printer with the lookup table `table`
// puts down for the input `input` (0..1). The tables as written lose the last
// digit of entries of 100 or more; the tolerance covers that.
int TableColorant(const std::array<int32_t, kTableSize>& table, float input);

// How far a rendered wedge is from what `def` asks for.
struct WedgeDeviation {
  int worst = 0;     // the largest difference from a table entry, in 1/255
  int worstRow = 0;  // where it is: colorant and step
  int worstStep = 0;
  int strayInk = 0;  // the most of another colorant found in a patch
};
// `origin` is where the wedge's page has its lower left corner on the
// raster, in points.
WedgeDeviation MeasureWedge(const CmykRaster& page, double dpi, const DensityDef& def,
                            PagePoints origin = {});

// --- The printer's whole filter chain ---

// What is sent through the chain: the PostScript wedge itself, or a PDF made
// from it, turned into PostScript by cups-filters' pdftops with Ghostscript
// or with Poppler.
enum class JobInput { kPostScript, kPdfGhostscript, kPdfPoppler };
inline constexpr JobInput kJobInputs[] = {JobInput::kPostScript, JobInput::kPdfGhostscript,
                                          JobInput::kPdfPoppler};
// "PS", "PDF/gs", "PDF/pdftops"
std::string_view JobInputName(JobInput input);

struct ChainOutput {
  std::string postscript;  // from the first "%!PS" on; empty on failure
  std::string error;       // why it failed
};

// Runs `job` (PostScript) through the PPD's own filter chain, the way CUPS
// prints it to a queue with that PPD (cupsfilter -e, foomatic-rip included),
// with the options "NAME=VALUE". For the PDF inputs the job is first made a
// PDF of pages kWedgePagePoints square with ps2pdf; CUPS prints a PDF on the
// printer's page size, unscaled and centred (see WedgeOrigin).
ChainOutput RunChain(const std::string& ppdPath, const std::string& job, JobInput input,
                     const std::vector<std::string>& options, const std::string& scratchDir);

// Where the wedge's page lies on a page that came out of the chain.
PagePoints WedgeOrigin(const CmykRaster& page, double dpi, JobInput input);

// Installs a printer whose /Install procedure sets identity transfer
// functions: every setpagedevice, also one called through systemdict, drops
// the transfer functions in force.
inline constexpr std::string_view kResettingPrinter =
    "<< /Install { {} dup dup dup setcolortransfer } bind >> setpagedevice";

// Renders a PostScript job with Ghostscript to a CMYK raster at `dpi`, on a
// plain device or on the resetting printer above. On failure returns nothing
// and says why in `error`.
std::optional<CmykRaster> RenderCmyk(const std::string& postscript, bool resettingPrinter,
                                     double dpi, const std::string& scratchDir, std::string& error);

// --- What the chain tests and the deviation table print ---

// The keyword of the choice named `name` in a written PPD ("Gumma3"); empty
// when there is none.
std::string ChoiceNamed(std::string_view ppd, std::string_view name);

// One print job through the chain, with what must come out.
struct ChainCheck {
  std::string label;                 // "one table", "four tables"
  DensityDef def;                    // the definition chosen
  std::string job;                   // the PostScript job
  std::vector<std::string> options;  // VLTone and the vendor's options
  PagePoints page;                   // the page size expected; 0 x 0: not checked
  std::string duplexCode;            // vendor code that must be in the job; empty: none
};

// For a PPD that holds OneTableDefinition and FourTableDefinition, written
// from the vendor file `original`: the one-table definition on the printer's
// other page size, two-sided, on a page that resets the transfer function
// (settransfer, as Poppler's pdftops does); the four-table one on a page
// that sets its own size (kept for PostScript; a PDF prints on the printer's
// page size) and resets all four (setcolortransfer).
std::vector<ChainCheck> ChainChecks(const VendorCase& vendor, std::string_view original,
                                    std::string_view written, JobInput input);

}  // namespace tonalis::test::real
