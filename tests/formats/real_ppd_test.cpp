// Real vendor PPDs (tests/data/vendor, cases.txt) against the real print system: a write changes
// only the section and cupstestppd finds nothing new; each printer's CUPS filter chain carries the
// chosen definition onto the CMYK wedge (wedge.ps) that Ghostscript renders. PPD text is read here
// apart from the engine, as a second opinion. TONALIS_CHAIN_SAMPLE=all renders every file; built
// with TONALIS_CHAIN_TOOL this is tonalis-chain-measure (scripts/ppd-chain-table).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <regex>
#include <set>
#include <sstream>

#include "formats/definition_json.h"
#include "model/tone_curve.h"
#include "support/fixtures.h"
#include "support/ghostscript.h"

namespace tonalis::test {
namespace {

struct VendorCase {  // the columns of cases.txt, "-" as empty
  std::string file;
  bool fontAnchor = true;
  int sections = 0;
  std::string pageSize, duplex, rendering;
  std::vector<std::string> options;
};
std::ostream& operator<<(std::ostream& os, const VendorCase& c) { return os << c.file; }

// The job sent through the PPD's own filters (cupsfilter -e): the wedge as PostScript, or as a
// PDF that cups-filters' pdftops turns into PostScript with Ghostscript or with Poppler.
enum class JobInput { kPostScript, kPdfGhostscript, kPdfPoppler };
constexpr JobInput kJobInputs[] = {JobInput::kPostScript, JobInput::kPdfGhostscript,
                                   JobInput::kPdfPoppler};
std::ostream& operator<<(std::ostream& os, JobInput input) {
  return os << std::array{"PS", "PDF/gs", "PDF/pdftops"}[int(input)];
}

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
// Both rendered definitions of definitions.json print every patch within this (1/255).
constexpr int kWedgeTolerance = 2;

// All of cases.txt, or those rendered in this run.
std::vector<VendorCase> VendorCases(bool rendered = false) {
  const char* sample = std::getenv("TONALIS_CHAIN_SAMPLE");
  const bool everyFile = sample && sample == std::string("all");
  std::vector<VendorCase> cases;
  std::istringstream in(ReadBytes(TONALIS_VENDOR_DATA "/cases.txt"));
  for (std::string line, anchor; std::getline(in, line);) {
    std::istringstream fields(line);
    VendorCase c;
    if (line[0] == '#' ||
        !(fields >> c.file >> anchor >> c.sections >> c.pageSize >> c.duplex >> c.rendering))
      continue;
    c.fontAnchor = anchor == "yes";
    for (std::string* dash : {&c.pageSize, &c.duplex}) *dash = *dash == "-" ? "" : *dash;
    for (std::string o; fields >> o;) c.options.push_back(o);
    if (!rendered || c.rendering == "always" || (c.rendering == "all" && everyFile))
      cases.push_back(c);
  }
  return cases;
}

// definitions.json: the two rendered ones (one curve for all colorants, a curve per colorant),
// a gamma-only one, a full-length name, bytes that translations escape.
PrinterDefinitionList Definitions() {
  cli::JsonError error;
  const auto json = cli::ParseJson(ReadBytes(TONALIS_VENDOR_DATA "/definitions.json"), error);
  PrinterDefinitionList defs = ListOf({});
  for (const cli::Json& d : json.value())
    InsertDefinition(defs, cli::DefinitionFromJson(d, DefaultStrings()).record,
                     InsertMode::AddMode());
  return defs;
}

std::string ToLf(const std::string& s) { return std::regex_replace(s, std::regex("\r\n?"), "\n"); }
// The first group of `pattern` in `text`.
std::string Match(const std::string& text, const std::string& pattern) {
  std::smatch m;
  return std::regex_search(text, m, std::regex(pattern)) ? m[1].str() : "";
}
// The quoted value of "*OPTION CHOICE/...:", which may run over several lines.
std::string InvocationOf(const std::string& ppd, const std::string& option,
                         const std::string& choice) {
  return Match(ppd, "[\r\n]\\*" + option + " " + choice + "[/:][^\"\r\n]*\"([^\"]*)\"");
}
std::string WedgeJob(std::string_view setup = {}) {
  std::string job = ReadBytes(TONALIS_VENDOR_DATA "/wedge.ps");
  return job.replace(job.find("%SETUP"), 6, setup);
}

// The PostScript for the printer from the PostScript `job`, as CUPS prints it to a queue with
// the PPD (cupsfilter -e), with options "NAME=VALUE".
std::string RunChain(const std::string& ppd, const std::string& job, JobInput input,
                     std::vector<std::string> options, const std::string& scratch) {
  std::string file = scratch + "/job.ps";
  WriteBytes(file, job);
  if (input != JobInput::kPostScript) {
    Output({"ps2pdf", "-dDEVICEWIDTHPOINTS=300", "-dDEVICEHEIGHTPOINTS=300", "-dFIXEDMEDIA", file,
            file + ".pdf"}, scratch);
    file += ".pdf";
    options.push_back(input == JobInput::kPdfGhostscript ? "pdftops-renderer=gs"
                                                         : "pdftops-renderer=pdftops");
  }
  std::vector<std::string> argv = {"cupsfilter", "-p", ppd, "-m", "printer/foo", "-e"};
  for (const std::string& o : options) argv.insert(argv.end(), {"-o", o});
  argv.push_back(file);
  const std::string out = Output(argv, scratch);
  if (out.find("%!PS") == std::string::npos)
    throw std::runtime_error("cupsfilter wrote no PostScript");
  return out.substr(out.find("%!PS"));
}

// The first page rendered by Ghostscript at 36 dpi, on a plain device or on a printer whose
// /Install sets identity transfer functions.
CmykRaster Render(const std::string& postscript, bool resetting, const std::string& scratch) {
  WriteBytes(scratch + "/render.ps", postscript);
  const std::string bytes = Output(
      {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pamcmyk32", "-r36",
       "-sOutputFile=-", "-sstdout=%stderr", "-c",
       resetting ? "<< /Install { {} dup dup dup setcolortransfer } bind >> setpagedevice" : "",
       "-f", scratch + "/render.ps"},
      scratch);
  return ReadPam(bytes);
}

// Measures the wedge on `page` against `def`'s tables, into `p`.
void Measure(const CmykRaster& page, const DensityDef& def, bool ps, Printed& p) {
  // In points, at 36 dpi: where the wedge's page lies (CUPS prints a PDF unscaled in the middle
  // of the printer's page) and its patches (wedge.ps).
  const double x0 = ps ? 0 : page.width - 150, y0 = ps ? 0 : page.height - 150;
  for (int row = 0; row < kChannelCount; ++row) {
    const auto table = TransferTable(def.channels[def.allChannels ? kCyan : row]);
    for (int step = 0; step <= 20; ++step) {
      const int x = int(std::floor((x0 + 12 + 13 * (step + 0.5)) / 2));
      const int y = page.height - 1 - int(std::floor((y0 + 20 + 40 * row + 15) / 2));
      const auto at = [&](int plane) {  // off the page: as far from any value as can be
        return x < 0 || y < 0 || x >= page.width || y >= page.height
                   ? -255
                   : page.samples[(std::size_t(y) * page.width + x) * 4 + plane];
      };
      // The transfer procedure gets the additive value 1 - input (in single precision, as the
      // job computes it) and answers entry round(255 v) / 255; the device puts down the rest.
      const double additive = 1.0 - double(float(step) * 0.05f);
      const int want = int(std::lround(255 - table[int(255 * additive + 0.5)] / 100.0));
      if (std::abs(at(row) - want) > p.worst)
        p.worst = std::abs(at(row) - want), p.worstRow = row, p.worstStep = step;
      for (int plane = 0; plane < kChannelCount; ++plane)
        p.strayInk = std::max(p.strayInk, plane == row ? 0 : std::abs(at(plane)));
    }
  }
}

// The wedge through the chain of the PPD at `writtenPath` (`original` with the two rendered
// definitions): one table on the case's other page size, two-sided, resetting the transfer as
// Poppler's pdftops does; four on a page of their own size (a PDF prints on the printer's),
// resetting all four. A PDF has no reset (desktop applications write none): Poppler adds one,
// Ghostscript's renderer binds the real operators in its prolog.
std::vector<Printed> PrintWedges(const VendorCase& vendor, const std::string& original,
                                 const std::string& writtenPath, JobInput input,
                                 const std::string& scratch) {
  const bool ps = input == JobInput::kPostScript;
  std::vector<Printed> printed;
  for (const bool four : {false, true}) {
    const PrinterDefinitionList defs = Definitions();
    const DensityDef& def = defs.slots[VisibleSlots(defs)[four]];
    std::vector<std::string> options = vendor.options;
    const std::string choice = "[\r\n]\\*VLTone (\\w+)/" + std::string(NameOf(def)) + ":";
    options.push_back("VLTone=" + Match(ReadBytes(writtenPath), choice));
    double width = four && ps ? 300 : 0, height = width;
    std::string duplexCode;
    if (!four && !vendor.pageSize.empty()) {
      options.push_back("PageSize=" + vendor.pageSize);
      std::istringstream(InvocationOf(original, "PaperDimension", vendor.pageSize)) >> width >>
          height;
    }
    if (const std::size_t eq = vendor.duplex.find('='); !four && eq != std::string::npos) {
      options.push_back(vendor.duplex);
      duplexCode =
          ToLf(InvocationOf(original, vendor.duplex.substr(0, eq), vendor.duplex.substr(eq + 1)));
    }
    const std::string setup =
        std::string(four ? "<< /PageSize [300 300] >> setpagedevice " : "") +
        (!ps ? "" : four ? "{} dup dup dup setcolortransfer" : "{} settransfer");
    std::string job;
    for (const bool resetting : {false, true}) {
      Printed& p = printed.emplace_back();
      p.definition = four ? "four tables" : "one table", p.resetting = resetting;
      try {
        job = job.empty() ? RunChain(writtenPath, WedgeJob(setup), input, options, scratch) : job;
        const CmykRaster page = Render(job, resetting, scratch);
        p.sizeOk = width == 0 ||
                   (page.width == int(width / 2 + 0.5) && page.height == int(height / 2 + 0.5));
        p.duplexOk = ToLf(job).find(duplexCode) != std::string::npos;
        Measure(page, def, ps, p);
      } catch (const std::exception& e) {
        p.error = e.what();
      }
    }
  }
  return printed;
}

// The lines of a PPD with their breaks (CR LF, LF or a lone CR), each with its offset and
// whether it belongs to a section ("*OpenUI *VLTone/" through "*CloseUI: *VLTone").
struct Line {
  std::string_view text;
  std::size_t offset;
  bool section;
};
std::vector<Line> Scan(std::string_view ppd) {
  std::vector<Line> lines;
  bool inside = false;
  for (std::size_t pos = 0, end; pos < ppd.size(); pos = end) {
    end = std::min(ppd.find_first_of("\r\n", pos), ppd.size());
    end += ppd.compare(end, 2, "\r\n") == 0 ? 2 : end < ppd.size() ? 1 : 0;
    const std::string_view text = ppd.substr(pos, end - pos);
    inside = inside || text.starts_with("*OpenUI *VLTone/");
    lines.push_back({text, pos, inside});
    inside = inside && !text.starts_with("*CloseUI: *VLTone");
  }
  return lines;
}

// The file without its sections and the option's translation lines.
std::string WithoutSections(std::string_view ppd) {
  static const std::regex translation(R"(^\*[A-Za-z_]+\.(Translation VLTone/|VLTone ))");
  std::string out;
  for (const Line& l : Scan(ppd))
    if (!l.section && !std::regex_search(std::string(l.text), translation)) out += l.text;
  return out;
}

// What cupstestppd reports on a file beyond its PASS lines.
std::set<std::string> Findings(const std::string& path, const std::string& scratch) {
  const RunResult r = RunTool({"cupstestppd", "-W", "all", "-v", path}, scratch);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  std::set<std::string> findings;
  std::istringstream in(r.out + r.err);
  for (std::string line; in >> std::ws && std::getline(in, line);)
    if (!line.starts_with("PASS")) findings.insert(line);
  return findings;
}

// A vendor file copied into a scratch folder, read and written by the engine.
class RealPpd : public ::testing::TestWithParam<VendorCase> {
 protected:
  TempDir dir;
  std::string path = dir / "printer.ppd";
  std::string original = ReadBytes(TONALIS_VENDOR_DATA "/" + GetParam().file);
  ScriptedInteraction ui;
  PrinterDefinitionList list;

  void SetUp() override {
    ASSERT_FALSE(original.empty()) << "missing vendor file";
    WriteBytes(path, original);
  }
  LoadedPpd Load() {
    LoadedPpd loaded = MustLoad(FileTarget(path), list, ui);
    EXPECT_TRUE(ui.Empty());
    return loaded;
  }
  // Writing succeeds: CUPS's parser, in the engine, finds every vendor option.
  void Write(const LoadedPpd& loaded, const PrinterDefinitionList& defs) {
    ASSERT_TRUE(SetPPDToneInfo(loaded, defs, {ui})) << ui.shown().at(0).detail;
    EXPECT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWritten});
    ui.Clear();
  }
};

TEST_P(RealPpd, AWriteChangesOnlyTheSectionAndCupsTestPpdFindsNothingNew) {
  const std::set<std::string> delivered = Findings(path, dir.path());
  LoadedPpd first = Load();
  EXPECT_EQ(list.count, GetParam().sections);
  const PrinterDefinitionList defs = Definitions();
  Write(first, defs);
  const std::string written = ReadBytes(path);

  // Outside the section the file is the original, byte for byte; a last line without a break
  // gets one when the section comes after it.
  const std::string_view line1 = Scan(original)[0].text;
  const std::string lineBreak(line1.substr(line1.find_first_of("\r\n")));
  const bool endsWithBreak = original.back() == '\n' || original.back() == '\r';
  EXPECT_EQ(WithoutSections(written),
            WithoutSections(original) + (GetParam().fontAnchor || endsWithBreak ? "" : lineBreak));

  // The section uses the file's own line break (foomatic-rip joins continued lines only with
  // LF) and stands right before the first font anchor, or at the end of a file without one.
  std::size_t end = std::string::npos, anchor = written.size();
  std::vector<std::string> texts = {"Translation VLTone/"};  // of the option, in each language
  for (const Line& l : Scan(written)) {
    if (l.text.starts_with("*VLTone ")) texts.emplace_back(l.text.substr(1, l.text.find('/')));
    if (l.section) {
      EXPECT_EQ(l.text.substr(l.text.find_last_not_of("\r\n") + 1), lineBreak) << l.text;
      if (end == std::string::npos && l.text.starts_with("*CloseUI: *VLTone"))
        end = l.offset + l.text.size();
    } else if (anchor == written.size() && (l.text.starts_with("*% Font Information") ||
                                            l.text.starts_with("*DefaultFont: Courier"))) {
      anchor = l.offset;
    }
  }
  EXPECT_EQ(end, anchor);
  EXPECT_EQ(anchor == written.size(), !GetParam().fontAnchor);

  // Every language of *cupsLanguages gets the option's texts.
  const std::size_t at = original.find("*cupsLanguages: \"") + 17;
  std::istringstream languages(at < 17 ? "" : original.substr(at, original.find('"', at) - at));
  for (std::string ll; languages >> ll;)
    for (const std::string& text : texts)
      EXPECT_NE(written.find(lineBreak + "*" + ll + "." + text), std::string::npos) << ll << text;

  // Reading gives the definitions back; writing them again gives the same file.
  LoadedPpd second = Load();
  ASSERT_EQ(list.count, defs.count);
  for (std::size_t i = 0; i < VisibleSlots(defs).size(); ++i)
    EXPECT_EQ(cli::DefinitionToJson(list.slots[VisibleSlots(list)[i]]),
              cli::DefinitionToJson(defs.slots[VisibleSlots(defs)[i]]));
  Write(second, list);
  EXPECT_EQ(ReadBytes(path), written);
  for (const std::string& f : Findings(path, dir.path()))
    EXPECT_TRUE(delivered.count(f)) << "new: " << f;
}

std::string FileName(const ::testing::TestParamInfo<VendorCase>& info) {
  return info.param.file.substr(0, info.param.file.find('.'));
}
INSTANTIATE_TEST_SUITE_P(Vendor, RealPpd, ::testing::ValuesIn(VendorCases()), FileName);

// The rendered files with every job input, each job on a plain printer and on one whose
// /Install resets the transfer functions; with VLTone=None the file prints as the untouched one.
class RealChain : public RealPpd {};

TEST_P(RealChain, EveryPatchPrintsItsTableEntryAndNonePrintsLikeTheUntouchedFile) {
  Write(Load(), Definitions());
  for (JobInput input : kJobInputs) {
    SCOPED_TRACE(::testing::PrintToString(input));
    for (const Printed& p : PrintWedges(GetParam(), original, path, input, dir.path())) {
      SCOPED_TRACE(p.definition + (p.resetting ? ", resetting printer" : ", plain printer"));
      EXPECT_EQ(p.error, "");
      EXPECT_LE(p.worst, kWedgeTolerance) << "colorant " << p.worstRow << " at " << p.worstStep * 5;
      EXPECT_EQ(p.strayInk, 0);
      EXPECT_TRUE(p.sizeOk);
      EXPECT_TRUE(p.duplexOk);
    }
    std::vector<std::string> options = GetParam().options;
    const auto print = [&](const std::string& ppd) {
      return Render(RunChain(ppd, WedgeJob(), input, options, dir.path()), false, dir.path());
    };
    const CmykRaster untouched = print(TONALIS_VENDOR_DATA "/" + GetParam().file);
    options.push_back("VLTone=None");
    const CmykRaster none = print(path);
    EXPECT_EQ(none.width, untouched.width);
    EXPECT_EQ(none.height, untouched.height);
    EXPECT_TRUE(none.samples == untouched.samples) << "VLTone=None changes pixels";
  }
}
INSTANTIATE_TEST_SUITE_P(Vendor, RealChain, ::testing::ValuesIn(VendorCases(true)), FileName);

}  // namespace
}  // namespace tonalis::test

#ifdef TONALIS_CHAIN_TOOL
// tonalis-chain-measure ORIGINAL WRITTEN (the vendor file with the two definitions): for each
// definition, input and printer the worst patch's distance in 1/255 and its marks, or "fail".
int main(int argc, char** argv) {
  using namespace tonalis::test;
  if (argc != 3) return std::cerr << "usage: tonalis-chain-measure ORIGINAL WRITTEN\n", 2;
  VendorCase vendor;
  for (const VendorCase& c : VendorCases())
    if (std::string(argv[1]).ends_with("/" + c.file)) vendor = c;
  const TempDir dir;
  for (JobInput input : kJobInputs)
    for (Printed& p : PrintWedges(vendor, ReadBytes(argv[1]), argv[2], input, dir.path())) {
      for (char& c : p.error) c = c == '\n' || c == '\t' ? ' ' : c;
      std::cout << p.definition << "\t" << input << "\t" << (p.resetting ? "resetting" : "plain");
      if (!p.error.empty())
        std::cout << "\tfail " << p.error.substr(0, 200) << "\n";
      else
        std::cout << "\t" << p.worst << (p.strayInk ? "+ink" : "") << (p.sizeOk ? "" : "+size")
                  << (p.duplexOk ? "" : "+duplex") << "\n";
    }
  return 0;
}
#endif
