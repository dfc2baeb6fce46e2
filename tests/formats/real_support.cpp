#include "real_support.h"

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "formats/definition_json.h"
#include "formats/ppd_fixtures.h"
#include "model/tone_curve.h"

namespace tonalis::test::real {

std::ostream& operator<<(std::ostream& os, const VendorCase& c) {
  return os << c.file;
}

const std::vector<VendorCase>& VendorCases() {
  static const std::vector<VendorCase> cases = [] {
    std::vector<VendorCase> all;
    std::istringstream in(ReadBytes(TONALIS_VENDOR_DATA "/cases.txt"));
    for (std::string line, anchor; std::getline(in, line);) {
      std::istringstream fields(line);
      VendorCase c;
      if (line.empty() || line[0] == '#' ||
          !(fields >> c.file >> anchor >> c.sections >> c.pageSize >> c.duplex >> c.rendering))
        continue;
      c.fontAnchor = anchor == "yes";
      for (std::string* dash : {&c.pageSize, &c.duplex})
        if (*dash == "-")
          dash->clear();
      for (std::string o; fields >> o;) c.options.push_back(o);
      all.push_back(c);
    }
    return all;
  }();
  return cases;
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
  for (const std::string& arg : argv) {
    command += " '";
    for (const char c : arg) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += "'";
  }
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

std::string ToLf(std::string_view text) {
  std::string out;
  for (std::string_view line : LinesOf(text)) {
    const std::size_t brk = line.find_first_of("\r\n");
    out.append(line.substr(0, brk)).append(brk == std::string_view::npos ? "" : "\n");
  }
  return out;
}

std::string InvocationOf(std::string_view ppd, std::string_view option, std::string_view choice) {
  const std::string key = "*" + std::string(option) + " " + std::string(choice);
  for (std::size_t at = ppd.find(key); at != std::string_view::npos; at = ppd.find(key, at + 1)) {
    const char next = ppd.size() > at + key.size() ? ppd[at + key.size()] : 0;
    if ((at == 0 || ppd[at - 1] == '\n' || ppd[at - 1] == '\r') && (next == '/' || next == ':')) {
      const std::size_t open = ppd.find('"', at), close = ppd.find('"', open + 1);
      return close == std::string_view::npos ? ""
                                             : std::string(ppd.substr(open + 1, close - open - 1));
    }
  }
  return {};
}

std::string ChoiceNamed(std::string_view ppd, std::string_view name) {
  for (std::string_view line : LinesOf(ppd)) {
    const std::size_t slash = line.find('/');
    if (line.substr(0, 8) == "*VLTone " && line.substr(slash + 1, name.size() + 1) ==
                                               std::string(name) + ":")
      return std::string(line.substr(8, slash - 8));
  }
  return {};
}

DensityDef OneTableDefinition() {
  return Def("Lighter", 1,
             {Curve({0, 350, 700, 1450, 2250, 3100, 4000, 5000, 6050, 7200, 8450, 9150, 10000}),
              Curve(kGamma22, 220), Curve(Ends(0, 5000)), Curve(kIdentity)});
}

DensityDef FourTableDefinition() {
  return Def("Proof CMYK", 0,
             {Curve({0, U, U, U, U, U, 6000, U, U, U, U, U, 10000}),
              Curve({0, 600, 1200, U, U, U, 5200, U, U, U, U, U, 9500}),
              Curve({0, 366, 732, 1544, 2383, 3249, 4141, 5061, 6009, 6985, 7989, 8502, 9000}, 120),
              Curve(Ends(0, 8000))});
}

std::string WedgeJob(std::string_view setup) {
  std::string job = ReadBytes(TONALIS_VENDOR_DATA "/wedge.ps");
  return job.replace(job.find("%SETUP"), 6, setup);
}

std::string_view InputName(JobInput input) {
  return input == JobInput::kPostScript        ? "PS"
         : input == JobInput::kPdfGhostscript ? "PDF/gs"
                                               : "PDF/pdftops";
}

namespace {

std::string Failed(const RunResult& r, const std::string& what) {
  const std::string text = r.out.size() < 4000 ? r.out + r.err : r.err;
  return what + " exited with " + std::to_string(r.status) + ": " +
         (text.size() > 1500 ? "..." + text.substr(text.size() - 1500) : text);
}

// The wedge's layout in points (wedge.ps) and the rendering's resolution.
constexpr double kPatchX0 = 12, kPatchWidth = 13, kPatchY0 = 20, kPatchHeight = 30;
constexpr double kRowPitch = 40, kWedgePage = 300, kDpi = 36;

}  // namespace

std::string RunChain(const std::string& ppd, const std::string& job, JobInput input,
                     std::vector<std::string> options, const std::string& scratch,
                     std::string& error) {
  std::string file = scratch + "/job.ps";
  WriteBytes(file, job);
  if (input != JobInput::kPostScript) {
    const RunResult pdf = RunTool({"ps2pdf", "-dDEVICEWIDTHPOINTS=300", "-dDEVICEHEIGHTPOINTS=300",
                                   "-dFIXEDMEDIA", file, file + ".pdf"},
                                  scratch);
    if (pdf.status != 0)
      return error = Failed(pdf, "ps2pdf"), "";
    file += ".pdf";
    options.push_back(std::string("pdftops-renderer=") +
                      (input == JobInput::kPdfGhostscript ? "gs" : "pdftops"));
  }
  std::vector<std::string> argv = {"cupsfilter", "-p", ppd, "-m", "printer/foo", "-e"};
  for (const std::string& o : options) argv.insert(argv.end(), {"-o", o});
  argv.push_back(file);
  const RunResult r = RunTool(argv, scratch);
  const std::size_t start = r.out.find("%!PS");
  if (r.status != 0 || start == std::string::npos)
    return error = Failed(r, "cupsfilter"), "";
  return r.out.substr(start);
}

CmykRaster Render(const std::string& postscript, bool resettingPrinter,
                  const std::string& scratch, std::string& error) {
  const std::string input = scratch + "/render.ps", raster = scratch + "/render.pam";
  WriteBytes(input, postscript);
  std::filesystem::remove(raster);
  const RunResult r = RunTool(
      {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pamcmyk32", "-r36",
       "-sOutputFile=" + raster, "-c",
       resettingPrinter ? "<< /Install { {} dup dup dup setcolortransfer } bind >> setpagedevice"
                        : "",
       "-f", input},
      scratch);
  if (r.status != 0)
    return error = Failed(r, "gs"), CmykRaster{};
  // P7 WIDTH w HEIGHT h DEPTH 4 MAXVAL 255 TUPLTYPE CMYK ENDHDR, the samples.
  const std::string bytes = ReadBytes(raster);
  const std::size_t body = bytes.find("ENDHDR\n") + 7;
  std::istringstream header(bytes.substr(0, body));
  CmykRaster page;
  std::string form;
  for (std::string line, key, value; std::getline(header, line);) {
    std::istringstream(line) >> key >> value;
    if (key == "WIDTH" || key == "HEIGHT")
      (key == "WIDTH" ? page.width : page.height) = std::stoi(value);
    else if (key == "DEPTH" || key == "MAXVAL" || key == "TUPLTYPE")
      form += key + " " + value + " ";
  }
  const std::size_t size = std::size_t(page.width) * page.height * 4;
  if (body < 7 || form != "DEPTH 4 MAXVAL 255 TUPLTYPE CMYK " || bytes.size() < body + size)
    return error = "gs wrote no CMYK raster: " + raster, CmykRaster{};
  page.samples.assign(bytes.begin() + long(body), bytes.begin() + long(body + size));
  return page;
}

std::vector<Printed> PrintWedges(const VendorCase& vendor, const std::string& original,
                                 const std::string& writtenPath, JobInput input,
                                 const std::string& scratch) {
  // A PostScript job resets the transfer itself, as Poppler's output does on
  // every page. A PDF carries no transfer function of its own (desktop
  // applications write none): Poppler adds the reset, Ghostscript's renderer
  // binds the real operators in its prolog.
  const bool ps = input == JobInput::kPostScript;
  const std::string written = ReadBytes(writtenPath);
  std::vector<Printed> printed;
  for (const bool four : {false, true}) {
    const DensityDef def = four ? FourTableDefinition() : OneTableDefinition();
    std::string setup = four ? "<< /PageSize [300 300] >> setpagedevice" : "";
    setup += !ps ? "" : four ? " {} dup dup dup setcolortransfer" : "{} settransfer";
    std::vector<std::string> options = vendor.options;
    options.push_back("VLTone=" + ChoiceNamed(written, NameOf(def)));
    double width = four && ps ? kWedgePage : 0, height = width;
    std::string duplexCode;
    if (!four && !vendor.pageSize.empty()) {
      options.push_back("PageSize=" + vendor.pageSize);
      std::istringstream(InvocationOf(original, "PaperDimension", vendor.pageSize)) >> width >>
          height;
    }
    if (const std::size_t eq = vendor.duplex.find('='); !four && eq != std::string::npos) {
      options.push_back(vendor.duplex);
      duplexCode = ToLf(
          InvocationOf(original, vendor.duplex.substr(0, eq), vendor.duplex.substr(eq + 1)));
    }
    std::string error;
    const std::string job = RunChain(writtenPath, WedgeJob(setup), input, options, scratch, error);
    for (const bool resetting : {false, true}) {
      Printed p;
      p.definition = four ? "four tables" : "one table";
      p.error = error;
      p.resetting = resetting;
      const CmykRaster page = error.empty() ? Render(job, resetting, scratch, p.error) : CmykRaster{};
      if (!p.error.empty()) {
        printed.push_back(p);
        continue;
      }
      const auto pixels = [](double points) { return int(std::floor(points * kDpi / 72 + 0.5)); };
      p.sizeOk = width == 0 || (page.width == pixels(width) && page.height == pixels(height));
      p.duplexOk = ToLf(job).find(duplexCode) != std::string::npos;
      // CUPS prints a PDF unscaled in the middle of the printer's page.
      const double x0 = ps ? 0 : (page.width * 72 / kDpi - kWedgePage) / 2;
      const double y0 = ps ? 0 : (page.height * 72 / kDpi - kWedgePage) / 2;
      for (int row = 0; row < kChannelCount; ++row) {
        const auto table = TransferTable(def.channels[def.allChannels ? kCyan : row]);
        for (int step = 0; step <= 20; ++step) {
          const int x = int(std::floor((x0 + kPatchX0 + kPatchWidth * (step + 0.5)) * kDpi / 72));
          const int y = page.height - 1 -
                        int(std::floor((y0 + kPatchY0 + kRowPitch * row + kPatchHeight / 2) *
                                       kDpi / 72));
          const auto at = [&](int plane) {  // off the page: as far from any value as can be
            return x < 0 || y < 0 || x >= page.width || y >= page.height
                       ? -255
                       : page.samples[(std::size_t(y) * page.width + x) * 4 + plane];
          };
          // The transfer procedure gets the additive value 1 - input (as the
          // job computes it, in single precision) and answers table entry
          // round(255 v) / 255; the device puts down the complement.
          const double additive = 1.0 - double(float(step) * 0.05f);
          const int want = int(std::lround(255 - table[int(std::floor(255 * additive + 0.5))] / 100.0));
          if (std::abs(at(row) - want) > p.worst)
            p.worst = std::abs(at(row) - want), p.worstRow = row, p.worstStep = step;
          for (int plane = 0; plane < kChannelCount; ++plane)
            if (plane != row)
              p.strayInk = std::max(p.strayInk, std::abs(at(plane)));
        }
      }
      printed.push_back(p);
    }
  }
  return printed;
}

}  // namespace tonalis::test::real

#ifdef TONALIS_CHAIN_TOOL
// tonalis-chain-measure, for scripts/ppd-chain-table:
//   definitions               the two definitions of the rendering as JSON
//   wedge ORIGINAL WRITTEN    per definition, input and printer of WRITTEN
//       (both definitions written into the vendor file ORIGINAL): the worst
//       patch's distance in 1/255, marked "+ink", "+size", "+duplex"; or
//       "fail" and the reason
int main(int argc, char** argv) {
  using namespace tonalis;
  using namespace tonalis::test::real;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "definitions") {
    std::cout << cli::WriteJson(cli::Json::array({cli::DefinitionToJson(OneTableDefinition()),
                                                 cli::DefinitionToJson(FourTableDefinition())}))
              << "\n";
    return 0;
  }
  if (args.size() != 3 || args[0] != "wedge") {
    std::cerr << "usage: tonalis-chain-measure definitions | wedge ORIGINAL WRITTEN\n";
    return 2;
  }
  VendorCase vendor;
  for (const VendorCase& c : VendorCases())
    if (c.file == std::filesystem::path(args[1]).filename())
      vendor = c;
  test::TempDir dir;
  for (JobInput input : kJobInputs) {
    for (const Printed& p : PrintWedges(vendor, test::ReadBytes(args[1]), args[2], input, dir.path())) {
      std::cout << p.definition << "\t" << InputName(input) << "\t"
                << (p.resetting ? "resetting" : "plain") << "\t";
      std::string why = p.error.substr(0, 200);
      for (char& c : why) c = c == '\n' || c == '\t' ? ' ' : c;
      if (!p.error.empty())
        std::cout << "fail " << why << "\n";
      else
        std::cout << p.worst << (p.strayInk ? "+ink" : "") << (p.sizeOk ? "" : "+size")
                  << (p.duplexOk ? "" : "+duplex") << "\n";
    }
  }
  return 0;
}
#endif
