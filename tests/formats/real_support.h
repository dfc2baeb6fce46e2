// Helpers of the tests that drive the real print system: the vendor PPDs and
// what is known about them (tests/data/vendor/cases.txt), running the tools,
// and printing the CMYK step wedge (tests/data/vendor/wedge.ps) through a
// PPD's filter chain into Ghostscript. PPD text is read here independently
// of the engine's routines, as a second opinion.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "model/definition_table.h"

namespace tonalis::test::real {

struct VendorCase {  // the columns of cases.txt
  std::string file;
  bool fontAnchor = true;
  int sections = 0;
  std::string pageSize, duplex, rendering;  // "-" becomes empty
  std::vector<std::string> options;
};
std::ostream& operator<<(std::ostream& os, const VendorCase& c);

std::vector<VendorCase> VendorCases();
std::vector<VendorCase> RenderedCases();  // those rendered in this run
std::string VendorPath(const VendorCase& c);

struct RunResult {
  int status = -1;  // exit status; 127: not installed (scripts/install-deps)
  std::string out, err;
};
// Runs a program, standard input from /dev/null, output through `scratch`.
RunResult RunTool(const std::vector<std::string>& argv, const std::string& scratch);

// The lines of `text` with their line breaks (CR LF, LF or a lone CR).
std::vector<std::string_view> LinesOf(std::string_view text);

// The definitions of tests/data/vendor/definitions.json. The first two are
// rendered, one curve for all colorants and a curve per colorant, both
// smooth enough for every patch to print within kWedgeTolerance (1/255);
// then a gamma-only record, a name of the full length and one with bytes
// that translation strings treat specially.
PrinterDefinitionList Definitions();
inline constexpr int kWedgeTolerance = 2;

// The job sent through the PPD's own filters (cupsfilter -e): the wedge as
// PostScript, or as a PDF that cups-filters' pdftops turns into PostScript
// with Ghostscript or with Poppler.
enum class JobInput { kPostScript, kPdfGhostscript, kPdfPoppler };
inline constexpr JobInput kJobInputs[] = {JobInput::kPostScript, JobInput::kPdfGhostscript,
                                          JobInput::kPdfPoppler};
std::ostream& operator<<(std::ostream& os, JobInput input);  // PS, PDF/gs, PDF/pdftops

// One job of the written PPD, rendered on one printer.
struct Printed {
  std::string definition;  // "one table", "four tables"
  bool resetting = false;  // the printer's /Install resets the transfer functions
  std::string error;       // the chain or the rendering failed
  int worst = 0, worstRow = 0, worstStep = 0;  // largest distance from a table entry
  int strayInk = 0;                            // the most of another colorant in a patch
  bool sizeOk = true;                          // the page has the size asked for
  bool duplexOk = true;                        // the job carries the vendor's duplex code
};
// The wedge through the chain of the PPD at `writtenPath`, holding the two
// rendered definitions, written from `original`: the one-table one on the
// other page size, two-sided, resetting the transfer (settransfer, as
// Poppler's pdftops does), the four-table one on a page of its own size
// (a PDF prints on the printer's) resetting all four (setcolortransfer).
std::vector<Printed> PrintWedges(const VendorCase& vendor, const std::string& original,
                                 const std::string& writtenPath, JobInput input,
                                 const std::string& scratch);

// How the wedge with VLTone=None ("Not Specified") of the PPD at
// `writtenPath` prints differently from the untouched file; empty: not at all.
std::string NoneDiffers(const VendorCase& vendor, const std::string& writtenPath, JobInput input,
                        const std::string& scratch);

}  // namespace tonalis::test::real
