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
      if (line[0] == '#' ||
          !(fields >> c.file >> anchor >> c.sections >> c.pageSize >> c.duplex >> c.rendering))
        continue;
      c.fontAnchor = anchor == "yes";
      for (std::string* dash : {&c.pageSize, &c.duplex}) *dash = *dash == "-" ? "" : *dash;
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
      return std::string(ppd.substr(open + 1, close - open - 1));
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

std::vector<DensityDef> Definitions() {
  cli::JsonError error;
  const auto json = cli::ParseJson(ReadBytes(TONALIS_VENDOR_DATA "/definitions.json"), error);
  std::vector<DensityDef> defs;
  for (const cli::Json& d : json.value())
    defs.push_back(cli::DefinitionFromJson(d, DefaultStrings()).record);
  return defs;
}

std::string WedgeJob(std::string_view setup) {
  std::string job = ReadBytes(TONALIS_VENDOR_DATA "/wedge.ps");
  return job.replace(job.find("%SETUP"), 6, setup);
}

std::string_view InputName(JobInput input) {
  const char* names[] = {"PS", "PDF/gs", "PDF/pdftops"};
  return names[int(input)];
}

std::ostream& operator<<(std::ostream& os, JobInput input) {
  return os << InputName(input);
}

namespace {

std::string Failed(const RunResult& r, const std::string& what) {
  const std::string text = r.out.size() < 4000 ? r.out + r.err : r.err;
  return what + " exited with " + std::to_string(r.status) + ": " +
         (text.size() > 1500 ? "..." + text.substr(text.size() - 1500) : text);
}

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
    options.push_back(input == JobInput::kPdfGhostscript ? "pdftops-renderer=gs"
                                                         : "pdftops-renderer=pdftops");
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
  // P7, WIDTH, HEIGHT, DEPTH 4, MAXVAL 255, TUPLTYPE CMYK, comments, ENDHDR.
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
    const DensityDef def = Definitions()[four];
    std::vector<std::string> options = vendor.options;
    options.push_back("VLTone=" + ChoiceNamed(written, NameOf(def)));
    double width = four && ps ? 300 : 0, height = width;
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
    const std::string setup = four ? (ps ? "<< /PageSize [300 300] >> setpagedevice "
                                           "{} dup dup dup setcolortransfer"
                                         : "<< /PageSize [300 300] >> setpagedevice")
                                   : (ps ? "{} settransfer" : "");
    std::string error;
    const std::string job = RunChain(writtenPath, WedgeJob(setup), input, options, scratch, error);
    for (const bool resetting : {false, true}) {
      Printed p;
      p.definition = four ? "four tables" : "one table";
      p.resetting = resetting;
      p.error = error;
      const CmykRaster page = error.empty() ? Render(job, resetting, scratch, p.error) : CmykRaster{};
      const auto pixels = [](double points) { return int(std::floor(points / 2 + 0.5)); };
      p.sizeOk = width == 0 || (page.width == pixels(width) && page.height == pixels(height));
      p.duplexOk = ToLf(job).find(duplexCode) != std::string::npos;
      // In points, at 36 dpi: the wedge's patches (wedge.ps), and where its
      // page lies; CUPS prints a PDF unscaled in the middle of the page.
      const double x0 = ps ? 0 : page.width - 150, y0 = ps ? 0 : page.height - 150;
      for (int row = 0; row < kChannelCount && p.error.empty(); ++row) {
        const auto table = TransferTable(def.channels[def.allChannels ? kCyan : row]);
        for (int step = 0; step <= 20; ++step) {
          const int x = int(std::floor((x0 + 12 + 13 * (step + 0.5)) / 2));
          const int y = page.height - 1 - int(std::floor((y0 + 20 + 40 * row + 15) / 2));
          const auto at = [&](int plane) {  // off the page: as far from any value as can be
            return x < 0 || y < 0 || x >= page.width || y >= page.height
                       ? -255
                       : page.samples[(std::size_t(y) * page.width + x) * 4 + plane];
          };
          // The transfer procedure gets the additive value 1 - input (as the
          // job computes it, in single precision) and answers table entry
          // round(255 v) / 255; the device puts down the complement.
          const double additive = 1.0 - double(float(step) * 0.05f);
          const int want = int(std::lround(255 - table[int(255 * additive + 0.5)] / 100.0));
          if (std::abs(at(row) - want) > p.worst)
            p.worst = std::abs(at(row) - want), p.worstRow = row, p.worstStep = step;
          for (int plane = 0; plane < kChannelCount; ++plane)
            p.strayInk = std::max(p.strayInk, plane == row ? 0 : std::abs(at(plane)));
        }
      }
      printed.push_back(p);
    }
  }
  return printed;
}

}  // namespace tonalis::test::real

#ifdef TONALIS_CHAIN_TOOL
// tonalis-chain-measure ORIGINAL WRITTEN, for scripts/ppd-chain-table: per
// definition, input and printer of WRITTEN (the first two definitions
// written into the vendor file ORIGINAL) the worst patch's distance in
// 1/255, marked "+ink", "+size", "+duplex"; or "fail" and the reason.
int main(int argc, char** argv) {
  using namespace tonalis::test::real;
  if (argc != 3) {
    std::cerr << "usage: tonalis-chain-measure ORIGINAL WRITTEN\n";
    return 2;
  }
  VendorCase vendor;
  for (const VendorCase& c : VendorCases())
    if (c.file == std::filesystem::path(argv[1]).filename())
      vendor = c;
  const tonalis::test::TempDir dir;
  for (JobInput input : kJobInputs) {
    for (Printed& p : PrintWedges(vendor, tonalis::test::ReadBytes(argv[1]), argv[2], input,
                                  dir.path())) {
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
