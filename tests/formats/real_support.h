// Helpers of the tests that drive the real print system: the vendor PPDs and
// what is known about them (tests/data/vendor/cases.txt), running the tools,
// reading PPD text (independently of the engine's routines, as a second
// opinion), and printing the CMYK step wedge (tests/data/vendor/wedge.ps)
// through a PPD's filter chain into Ghostscript.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "model/density_def.h"

namespace tonalis::test::real {

struct VendorCase {
  std::string file;
  bool fontAnchor = true;  // the file has a font anchor line
  int sections = 0;        // definitions the file already holds
  std::string pageSize;    // another page size whose code Ghostscript obeys; empty: none
  std::string duplex;      // "Option=Choice" that prints two-sided; empty: none
  std::string rendering;   // "always", "all" (TONALIS_CHAIN_SAMPLE=all) or "never"
  std::vector<std::string> options;  // vendor choices that would change the colours
};
std::ostream& operator<<(std::ostream& os, const VendorCase& c);

const std::vector<VendorCase>& VendorCases();  // in the order of cases.txt
std::vector<VendorCase> RenderedCases();       // those rendered in this run
std::string VendorPath(const VendorCase& c);

struct RunResult {
  int status = -1;  // exit status; 127: not installed (scripts/install-deps)
  std::string out, err;
};
// Runs a program with standard input from /dev/null; its output goes
// through files in `scratch`.
RunResult RunTool(const std::vector<std::string>& argv, const std::string& scratch);

// The lines of `text` with their line breaks (CR LF, LF or a lone CR).
std::vector<std::string_view> LinesOf(std::string_view text);
std::string ToLf(std::string_view text);
// The quoted value of "*OPTION CHOICE/...:" (over several lines too).
std::string InvocationOf(std::string_view ppd, std::string_view option, std::string_view choice);
// The keyword of the density-control choice named `name` ("Gumma3").
std::string ChoiceNamed(std::string_view ppd, std::string_view name);

// The definitions of tests/data/vendor/definitions.json. The first two are
// rendered, one curve for all colorants and a curve per colorant, both
// smooth enough for every patch to print within kWedgeTolerance (1/255).
std::vector<DensityDef> Definitions();
inline constexpr int kWedgeTolerance = 2;

// The wedge job, `setup` run before the first page is drawn.
std::string WedgeJob(std::string_view setup = {});

// What is sent through the chain: the PostScript wedge, or a PDF of it that
// cups-filters' pdftops turns into PostScript with Ghostscript or Poppler.
enum class JobInput { kPostScript, kPdfGhostscript, kPdfPoppler };
inline constexpr JobInput kJobInputs[] = {JobInput::kPostScript, JobInput::kPdfGhostscript,
                                          JobInput::kPdfPoppler};
std::string_view InputName(JobInput input);  // "PS", "PDF/gs", "PDF/pdftops"
std::ostream& operator<<(std::ostream& os, JobInput input);

// The PostScript `job` through the PPD's own filter chain, as CUPS prints it
// to a queue with that PPD (cupsfilter -e), with options "NAME=VALUE": the
// PostScript for the printer, or nothing and the reason in `error`.
std::string RunChain(const std::string& ppd, const std::string& job, JobInput input,
                     std::vector<std::string> options, const std::string& scratch,
                     std::string& error);

// A page rendered by Ghostscript at 36 dpi, C M Y K per pixel, rows from the
// top; on a plain device or on a printer whose /Install sets identity
// transfer functions at every setpagedevice. Empty on failure, with `error`.
struct CmykRaster {
  int width = 0, height = 0;
  std::vector<unsigned char> samples;
};
CmykRaster Render(const std::string& postscript, bool resettingPrinter,
                  const std::string& scratch, std::string& error);

// One job of the written PPD on one printer.
struct Printed {
  std::string definition;  // "one table", "four tables"
  bool resetting = false;  // on the printer that resets the transfer functions
  std::string error;     // the chain or the rendering failed
  int worst = 0, worstRow = 0, worstStep = 0;  // largest distance from a table entry
  int strayInk = 0;      // the most of another colorant in a patch
  bool sizeOk = true;    // the page has the size asked for
  bool duplexOk = true;  // the job carries the vendor's duplex code
};
// The jobs for the PPD at `writtenPath`, holding both definitions, written
// from `original`: the one-table definition on the vendor's other page size,
// two-sided, on a page that resets the transfer (settransfer, as Poppler's
// pdftops does); the four-table one on a page that sets its own size (a PDF
// prints on the printer's) and resets all four (setcolortransfer). Each
// goes once through the chain and is rendered on both printers.
std::vector<Printed> PrintWedges(const VendorCase& vendor, const std::string& original,
                                 const std::string& writtenPath, JobInput input,
                                 const std::string& scratch);

}  // namespace tonalis::test::real
