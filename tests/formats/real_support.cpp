#include "real_support.h"

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "formats/definition_json.h"
#include "support/fixtures.h"
#include "model/tone_curve.h"

namespace tonalis::test::real {

std::ostream& operator<<(std::ostream& os, const VendorCase& c) {
  return os << c.file;
}

std::vector<VendorCase> VendorCases() {
  std::vector<VendorCase> all;
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
    all.push_back(c);
  }
  return all;
}

std::vector<VendorCase> RenderedCases() {
  const char* sample = std::getenv("TONALIS_CHAIN_SAMPLE");
  std::vector<VendorCase> cases;
  for (const VendorCase& c : VendorCases())
    if (c.rendering == "always" || (c.rendering == "all" && sample && sample == std::string("all")))
      cases.push_back(c);
  return cases;
}

std::string VendorPath(const VendorCase& c) {
  return TONALIS_VENDOR_DATA "/" + c.file;
}

RunResult RunTool(const std::vector<std::string>& argv, const std::string& scratch) {
  // cupsfilter and cupstestppd live in sbin, which a user's PATH may lack.
  std::string command = "PATH=\"$PATH:/usr/local/sbin:/usr/sbin:/sbin\"";
  for (const std::string& arg : argv)
    command += " '" + std::regex_replace(arg, std::regex("'"), "'\\''") + "'";
  const std::string out = scratch + "/run.out", err = scratch + "/run.err";
  const int status = std::system((command + " </dev/null >'" + out + "' 2>'" + err + "'").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(out), ReadBytes(err)};
}

std::vector<std::string_view> LinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t pos = 0, end; pos < text.size(); pos = end) {
    end = std::min(text.find_first_of("\r\n", pos), text.size());
    end += text.compare(end, 2, "\r\n") == 0 ? 2 : end < text.size() ? 1 : 0;
    lines.push_back(text.substr(pos, end - pos));
  }
  return lines;
}

PrinterDefinitionList Definitions() {
  cli::JsonError error;
  const auto json = cli::ParseJson(ReadBytes(TONALIS_VENDOR_DATA "/definitions.json"), error);
  PrinterDefinitionList defs = ListOf({});
  for (const cli::Json& d : json.value())
    InsertDefinition(defs, cli::DefinitionFromJson(d, DefaultStrings()).record,
                     InsertMode::AddMode());
  return defs;
}

std::ostream& operator<<(std::ostream& os, JobInput input) {
  const char* names[] = {"PS", "PDF/gs", "PDF/pdftops"};
  return os << names[int(input)];
}

namespace {

std::string ToLf(const std::string& text) {
  return std::regex_replace(text, std::regex("\r\n?"), "\n");
}

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

// The output of a program that must succeed; throws with its messages.
std::string Output(const std::vector<std::string>& argv, const std::string& scratch) {
  const RunResult r = RunTool(argv, scratch);
  const std::string text = r.out.size() < 4000 ? r.out + r.err : r.err;
  if (r.status != 0)
    throw std::runtime_error(argv[0] + " exited with " + std::to_string(r.status) + ": " +
                             (text.size() > 1500 ? "..." + text.substr(text.size() - 1500) : text));
  return r.out;
}

// The PostScript for the printer from the PostScript `job`, as CUPS prints
// it to a queue with the PPD (cupsfilter -e), with options "NAME=VALUE".
std::string RunChain(const std::string& ppd, const std::string& job, JobInput input,
                     std::vector<std::string> options, const std::string& scratch) {
  std::string file = scratch + "/job.ps";
  WriteBytes(file, job);
  if (input != JobInput::kPostScript) {
    Output({"ps2pdf", "-dDEVICEWIDTHPOINTS=300", "-dDEVICEHEIGHTPOINTS=300", "-dFIXEDMEDIA", file,
            file + ".pdf"},
           scratch);
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

struct CmykRaster {
  int width = 0, height = 0;
  std::vector<unsigned char> samples;  // C M Y K per pixel, rows from the top
};

// The first page rendered by Ghostscript at 36 dpi, on a plain device or on
// a printer whose /Install sets identity transfer functions.
CmykRaster Render(const std::string& postscript, bool resettingPrinter,
                  const std::string& scratch) {
  WriteBytes(scratch + "/render.ps", postscript);
  const std::string bytes = Output(
      {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pamcmyk32", "-r36",
       "-sOutputFile=-", "-sstdout=%stderr", "-c",
       resettingPrinter ? "<< /Install { {} dup dup dup setcolortransfer } bind >> setpagedevice"
                        : "",
       "-f", scratch + "/render.ps"},
      scratch);
  const std::size_t body = bytes.find("ENDHDR\n") + 7;
  CmykRaster page;
  if (std::sscanf(bytes.c_str(), "P7 WIDTH %d HEIGHT %d DEPTH 4 MAXVAL 255 TUPLTYPE CMYK",
                  &page.width, &page.height) != 2 ||
      body < 7 || bytes.size() < body + std::size_t(page.width) * page.height * 4)
    throw std::runtime_error("gs wrote no CMYK raster");
  const std::size_t size = std::size_t(page.width) * page.height * 4;
  page.samples.assign(bytes.begin() + long(body), bytes.begin() + long(body + size));
  return page;
}

// Measures the wedge on `page` against `def`'s tables, into `p`.
void Measure(const CmykRaster& page, const DensityDef& def, bool ps, Printed& p) {
  // In points, at 36 dpi: where the wedge's page lies (CUPS prints a PDF
  // unscaled in the middle of the printer's page) and its patches (wedge.ps).
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
      // The transfer procedure gets the additive value 1 - input (as the job
      // computes it, in single precision) and answers table entry
      // round(255 v) / 255; the device puts down the complement.
      const double additive = 1.0 - double(float(step) * 0.05f);
      const int want = int(std::lround(255 - table[int(255 * additive + 0.5)] / 100.0));
      if (std::abs(at(row) - want) > p.worst)
        p.worst = std::abs(at(row) - want), p.worstRow = row, p.worstStep = step;
      for (int plane = 0; plane < kChannelCount; ++plane)
        p.strayInk = std::max(p.strayInk, plane == row ? 0 : std::abs(at(plane)));
    }
  }
}

}  // namespace

std::vector<Printed> PrintWedges(const VendorCase& vendor, const std::string& original,
                                 const std::string& writtenPath, JobInput input,
                                 const std::string& scratch) {
  // A PostScript job resets the transfer itself, as Poppler's output does on
  // every page. A PDF carries no transfer function of its own (desktop
  // applications write none): Poppler adds the reset, Ghostscript's renderer
  // binds the real operators in its prolog.
  const bool ps = input == JobInput::kPostScript;
  std::vector<Printed> printed;
  for (const bool four : {false, true}) {
    const PrinterDefinitionList defs = Definitions();
    const DensityDef& def = defs.slots[VisibleSlots(defs)[four]];
    std::vector<std::string> options = vendor.options;
    options.push_back(
        "VLTone=" +
        Match(ReadBytes(writtenPath), "[\r\n]\\*VLTone (\\w+)/" + std::string(NameOf(def)) + ":"));
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
    const std::string setup = four ? (ps ? "<< /PageSize [300 300] >> setpagedevice "
                                           "{} dup dup dup setcolortransfer"
                                         : "<< /PageSize [300 300] >> setpagedevice")
                                   : (ps ? "{} settransfer" : "");
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

std::string NoneDiffers(const VendorCase& vendor, const std::string& writtenPath, JobInput input,
                        const std::string& scratch) {
  std::vector<std::string> options = vendor.options;
  const CmykRaster a =
      Render(RunChain(VendorPath(vendor), WedgeJob(), input, options, scratch), false, scratch);
  options.push_back("VLTone=None");
  const CmykRaster b =
      Render(RunChain(writtenPath, WedgeJob(), input, options, scratch), false, scratch);
  if (a.width != b.width || a.height != b.height)
    return "page size " + std::to_string(b.width) + "x" + std::to_string(b.height);
  return a.samples == b.samples ? "" : "pixels";
}

}  // namespace tonalis::test::real

#ifdef TONALIS_CHAIN_TOOL
// tonalis-chain-measure ORIGINAL WRITTEN, for scripts/ppd-chain-table: per
// definition, input and printer of WRITTEN (the first two definitions
// written into the vendor file ORIGINAL) the worst patch's distance in
// 1/255, marked "+ink", "+size", "+duplex"; or "fail" and the reason.
int main(int argc, char** argv) {
  using namespace tonalis::test::real;
  if (argc != 3)
    return std::cerr << "usage: tonalis-chain-measure ORIGINAL WRITTEN\n", 2;
  VendorCase vendor;
  for (const VendorCase& c : VendorCases())
    if (std::string(argv[1]).ends_with("/" + c.file))
      vendor = c;
  const tonalis::test::TempDir dir;
  for (JobInput input : kJobInputs) {
    for (Printed& p :
         PrintWedges(vendor, tonalis::test::ReadBytes(argv[1]), argv[2], input, dir.path())) {
      for (char& c : p.error) c = c == '\n' || c == '\t' ? ' ' : c;
      std::cout << p.definition << "\t" << input << "\t" << (p.resetting ? "resetting" : "plain");
      if (!p.error.empty())
        std::cout << "\tfail " << p.error.substr(0, 200) << "\n";
      else
        std::cout << "\t" << p.worst << (p.strayInk ? "+ink" : "") << (p.sizeOk ? "" : "+size")
                  << (p.duplexOk ? "" : "+duplex") << "\n";
    }
  }
  return 0;
}
#endif
