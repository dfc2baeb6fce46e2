#include "real_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "formats/ppd_fixtures.h"

namespace tonalis::test::real {

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool BeginsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

// The end of the line that starts at `pos`, after its line break.
std::size_t LineEnd(std::string_view text, std::size_t pos) {
  const std::size_t brk = text.find_first_of("\r\n", pos);
  if (brk == std::string_view::npos)
    return text.size();
  if (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n')
    return brk + 2;
  return brk + 1;
}

// Calls f(line, offset) for each line of the text, which may end its lines
// with CR LF, LF or CR; `line` includes its line break.
template <typename F>
void ForEachLine(std::string_view text, F f) {
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = LineEnd(text, pos);
    if (!f(text.substr(pos, end - pos), pos))
      return;
    pos = end;
  }
}

// "*de.Translation VLTone/..." or "*pt_BR.VLTone Gumma1/...".
bool IsTranslationLine(std::string_view line) {
  if (line.empty() || line[0] != '*')
    return false;
  std::size_t i = 1;
  while (i < line.size() && (std::isalpha(static_cast<unsigned char>(line[i])) || line[i] == '_'))
    ++i;
  if (i == 1 || i >= line.size() || line[i] != '.')
    return false;
  const std::string_view rest = line.substr(i + 1);
  return BeginsWith(rest, "Translation VLTone/") || BeginsWith(rest, "VLTone ");
}

constexpr std::string_view kOpen = "*OpenUI *VLTone/";
constexpr std::string_view kClose = "*CloseUI: *VLTone";

// Layout of the wedge, in points.
constexpr double kPatchX0 = 12, kPatchWidth = 13;
constexpr double kPatchY0 = 20, kPatchHeight = 30, kRowPitch = 40;

}  // namespace

std::string VendorDir() {
  return TONALIS_VENDOR_DATA;
}

const std::vector<VendorCase>& VendorCases() {
  using R = VendorCase::Rendering;
  static const std::vector<VendorCase> cases = {
      {"brother_hl2700cn_lf.ppd",
       true,
       0,
       "A5",
       "Duplex",
       "DuplexNoTumble",
       {"BRGammaValue=Off"},
       R::kWholeSample},
      {"brother_hl3070cw_noanchor_lf.ppd",
       false,
       0,
       "A5",
       nullptr,
       nullptr,
       {"BRColorMode=None"},
       R::kWholeSample},
      {"canon_lbp7660c_lf.ppd", true, 0, "A5", "Duplex", "DuplexNoTumble", {}, R::kWholeSample},
      {"epson_alcx21_crlf.ppd", true, 0, "Letter", nullptr, nullptr, {}, R::kWholeSample},
      // foomatic-rip, with "&&" continuations; the file has no last line break.
      {"gestetner_c7425dn_foomatic_lf.ppd",
       true,
       0,
       "A5",
       "Duplex",
       "DuplexNoTumble",
       {},
       R::kAlways},
      // Every option's code calls systemdict's setpagedevice; the page sizes
      // need the printer's own procedures.
      {"hp_dj5000_lf.ppd", true, 0, nullptr, nullptr, nullptr, {}, R::kAlways},
      // cups-filters takes Poppler's pdftops for this maker.
      {"konica_c351_crlf.ppd", true, 0, "A5", "KMDuplex", "True", {}, R::kAlways},
      // Nine languages in *cupsLanguages.
      {"lexmark_c734_lf.ppd", true, 0, "A5", "Duplex", "DuplexNoTumble", {}, R::kWholeSample},
      {"oce_vp2090_cr.ppd", true, 0, nullptr, nullptr, nullptr, {}, R::kWholeSample},
      {"ricoh_mpc2003_foomatic_lf.ppd",
       true,
       0,
       "A5",
       "Duplex",
       "DuplexNoTumble",
       {},
       R::kWholeSample},
      // The same printer as oce_vp2090_cr.ppd, with a section in the middle.
      {"oce_vp2090_section_crlf.ppd", true, 2, nullptr, "Duplex", "DuplexNoTumble", {}, R::kNever},
  };
  return cases;
}

const VendorCase* FindVendorCase(std::string_view file) {
  for (const VendorCase& c : VendorCases())
    if (file == c.file)
      return &c;
  return nullptr;
}

bool WholeSampleRequested() {
  const char* sample = std::getenv("TONALIS_CHAIN_SAMPLE");
  return sample && std::string_view(sample) == "all";
}

std::string FindTool(const std::string& name) {
  std::string dirs = std::getenv("PATH") ? std::getenv("PATH") : "";
  dirs += ":/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
  std::stringstream list(dirs);
  for (std::string dir; std::getline(list, dir, ':');) {
    if (dir.empty())
      continue;
    const std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

RunResult RunTool(const std::vector<std::string>& argv, const std::string& scratchDir) {
  RunResult result;
  const std::string outPath = scratchDir + "/run.stdout";
  const std::string errPath = scratchDir + "/run.stderr";
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0)
    return result;
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0)
      _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return result;
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = Slurp(outPath);
  result.err = Slurp(errPath);
  return result;
}

std::string ToCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      out += c;
      continue;
    }
    // A pair of different break characters is one line break.
    if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n') && text[i + 1] != c)
      ++i;
    out += "\r\n";
  }
  return out;
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
    } else {
      current += c;
    }
  }
  if (!current.empty())
    lines.push_back(current);
  return lines;
}

std::string LineBreakOf(std::string_view text) {
  const std::size_t brk = text.find_first_of("\r\n");
  if (brk == std::string_view::npos)
    return "\n";
  if (text[brk] == '\n')
    return "\n";
  return brk + 1 < text.size() && text[brk + 1] == '\n' ? "\r\n" : "\r";
}

std::vector<std::string_view> LinesWithBreaks(std::string_view text) {
  std::vector<std::string_view> lines;
  ForEachLine(text, [&](std::string_view line, std::size_t) {
    lines.push_back(line);
    return true;
  });
  return lines;
}

std::string WithoutSections(std::string_view text) {
  std::string out;
  bool inside = false;
  ForEachLine(text, [&](std::string_view line, std::size_t) {
    if (!inside && BeginsWith(line, kOpen)) {
      inside = true;
    } else if (inside) {
      if (BeginsWith(line, kClose))
        inside = false;
    } else if (!IsTranslationLine(line)) {
      out += line;
    }
    return true;
  });
  return out;
}

SectionPlace FindSection(std::string_view text) {
  SectionPlace place;
  ForEachLine(text, [&](std::string_view line, std::size_t offset) {
    if (!place.found()) {
      if (BeginsWith(line, kOpen))
        place.begin = offset;
      return true;
    }
    if (BeginsWith(line, kClose)) {
      place.end = offset + line.size();
      return false;
    }
    return true;
  });
  return place;
}

std::size_t FindFontAnchor(std::string_view text) {
  std::size_t anchor = std::string_view::npos;
  bool inside = false;
  ForEachLine(text, [&](std::string_view line, std::size_t offset) {
    if (inside) {
      if (BeginsWith(line, kClose))
        inside = false;
      return true;
    }
    if (BeginsWith(line, kOpen)) {
      inside = true;
      return true;
    }
    if (BeginsWith(line, "*% Font Information") || BeginsWith(line, "*DefaultFont: Courier")) {
      anchor = offset;
      return false;
    }
    return true;
  });
  return anchor;
}

std::string InvocationOf(std::string_view ppd, std::string_view option, std::string_view choice) {
  const std::string key = "*" + std::string(option) + " " + std::string(choice);
  std::size_t pos = 0;
  while ((pos = ppd.find(key, pos)) != std::string_view::npos) {
    const bool lineStart = pos == 0 || ppd[pos - 1] == '\n' || ppd[pos - 1] == '\r';
    const char next = pos + key.size() < ppd.size() ? ppd[pos + key.size()] : '\0';
    if (lineStart && (next == '/' || next == ':')) {
      const std::size_t open = ppd.find('"', pos);
      if (open == std::string_view::npos)
        return {};
      const std::size_t close = ppd.find('"', open + 1);
      if (close == std::string_view::npos)
        return {};
      return std::string(ppd.substr(open + 1, close - open - 1));
    }
    pos += key.size();
  }
  return {};
}

bool InsideQuotedValue(std::string_view text, std::size_t offset) {
  bool open = false;
  ForEachLine(text.substr(0, offset), [&](std::string_view line, std::size_t) {
    if (!open && (line.empty() || line[0] != '*' || BeginsWith(line, "*%")))
      return true;
    if (std::count(line.begin(), line.end(), '"') % 2 == 1)
      open = !open;
    return true;
  });
  return open;
}

std::vector<std::string> CupsLanguages(std::string_view ppd) {
  std::vector<std::string> languages;
  ForEachLine(ppd, [&](std::string_view line, std::size_t) {
    if (!BeginsWith(line, "*cupsLanguages:"))
      return true;
    const std::size_t open = line.find('"'), close = line.rfind('"');
    if (open == std::string_view::npos || close <= open)
      return false;
    std::istringstream in(std::string(line.substr(open + 1, close - open - 1)));
    for (std::string l; in >> l;) languages.push_back(l);
    return false;
  });
  return languages;
}

std::optional<PagePoints> PaperDimension(std::string_view ppd, std::string_view size) {
  const std::string value = InvocationOf(ppd, "PaperDimension", size);
  PagePoints p;
  std::istringstream in(value);
  if (!(in >> p.width >> p.height))
    return std::nullopt;
  return p;
}

std::string WithoutCr(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\r')
      out += c;
  return out;
}

std::string ToLf(std::string_view text) {
  return WithoutCr(ToCrLf(text));
}

std::string WedgeJob(std::string_view pageSetup, int pages) {
  std::ostringstream ps;
  ps << "%!PS-Adobe-3.0\n"
        "%%Pages: "
     << pages
     << "\n"
        "%%EndComments\n"
        "%%BeginProlog\n"
        "% c m y k column row patch: fills one patch of the wedge\n"
        "/patch { /row exch def /column exch def setcmykcolor\n"
        "  column "
     << kPatchWidth << " mul " << kPatchX0
     << " add\n"
        "  row "
     << kRowPitch << " mul " << kPatchY0
     << " add\n"
        "  "
     << kPatchWidth << " " << kPatchHeight
     << " rectfill } bind def\n"
        "%%EndProlog\n"
        "%%Page: 1 1\n"
     << pageSetup << "\n"
     << "0 1 20 { /i exch def i 0.05 mul 0 0 0 i 0 patch } for\n"
        "0 1 20 { /i exch def 0 i 0.05 mul 0 0 i 1 patch } for\n"
        "0 1 20 { /i exch def 0 0 i 0.05 mul 0 i 2 patch } for\n"
        "0 1 20 { /i exch def 0 0 0 i 0.05 mul i 3 patch } for\n"
        "showpage\n";
  for (int page = 2; page <= pages; ++page)
    ps << "%%Page: " << page << " " << page << "\nshowpage\n";
  ps << "%%EOF\n";
  return ps.str();
}

float WedgeInput(int step) {
  return static_cast<float>(step) * 0.05f;
}

std::optional<CmykRaster> ReadCmykPam(const std::string& path, std::string& error) {
  const std::string bytes = Slurp(path);
  if (bytes.empty()) {
    error = "no raster in " + path;
    return std::nullopt;
  }
  const std::string endHeader = "ENDHDR\n";
  const std::size_t headerEnd = bytes.find(endHeader);
  if (bytes.rfind("P7\n", 0) != 0 || headerEnd == std::string::npos) {
    error = "not a PAM file: " + path;
    return std::nullopt;
  }
  CmykRaster raster;
  int depth = 0, maxval = 0;
  std::string tupleType;
  std::istringstream header(bytes.substr(3, headerEnd - 3));
  for (std::string line; std::getline(header, line);) {
    if (line.empty() || line[0] == '#')
      continue;
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "WIDTH")
      fields >> raster.width;
    else if (key == "HEIGHT")
      fields >> raster.height;
    else if (key == "DEPTH")
      fields >> depth;
    else if (key == "MAXVAL")
      fields >> maxval;
    else if (key == "TUPLTYPE")
      fields >> tupleType;
  }
  if (depth != 4 || maxval != 255 || tupleType != "CMYK" || raster.width <= 0 ||
      raster.height <= 0) {
    error = "unexpected PAM header in " + path;
    return std::nullopt;
  }
  const std::size_t size = static_cast<std::size_t>(raster.width) * raster.height * 4;
  const std::size_t start = headerEnd + endHeader.size();
  if (bytes.size() - start < size) {
    error = "short PAM raster in " + path;
    return std::nullopt;
  }
  raster.samples.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                        bytes.begin() + static_cast<std::ptrdiff_t>(start + size));
  return raster;
}

namespace {

// The value of `plane` at the centre of wedge patch `step` in row `row`, the
// wedge's page lying at `origin` (points) on a raster rendered at `dpi`.
int PatchAt(const CmykRaster& raster, double dpi, PagePoints origin, int row, int step, int plane) {
  const double cx = origin.width + kPatchX0 + kPatchWidth * (step + 0.5);
  const double cy = origin.height + kPatchY0 + kRowPitch * row + kPatchHeight / 2;
  const int x = static_cast<int>(std::floor(cx * dpi / 72));
  const int y = raster.height - 1 - static_cast<int>(std::floor(cy * dpi / 72));
  if (x < 0 || y < 0 || x >= raster.width || y >= raster.height)
    return -255;  // off the page: as far from any value as can be
  return raster.At(x, y, plane);
}

}  // namespace

int PixelsFor(double points, double dpi) {
  return static_cast<int>(std::floor(points * dpi / 72 + 0.5));
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

std::string DefinitionsJson(const std::vector<DensityDef>& defs) {
  std::ostringstream json;
  json << "[";
  for (std::size_t d = 0; d < defs.size(); ++d) {
    const DensityDef& def = defs[d];
    json << (d ? ",\n " : "") << "{\"name\": \"" << NameOf(def)
         << "\", \"allChannels\": " << def.allChannels << ", \"channels\": [";
    for (int c = 0; c < kChannelCount; ++c) {
      json << (c ? ", " : "") << "{\"points\": [";
      for (int i = 0; i < kPointCount; ++i) json << (i ? ", " : "") << def.channels[c].points[i];
      json << "], \"gamma\": " << def.channels[c].gamma << "}";
    }
    json << "]}";
  }
  json << "]\n";
  return json.str();
}

int TableColorant(const std::array<int32_t, kTableSize>& table, float input) {
  // The transfer procedure gets the additive value 1 - input and answers
  // element round(255 v) of the table divided by 255; the device puts down
  // the complement.
  const double additive = 1.0 - static_cast<double>(input);
  const int index = static_cast<int>(std::floor(255.0 * additive + 0.5));
  return static_cast<int>(std::lround(255.0 - table[index] / 100.0));
}

WedgeDeviation MeasureWedge(const CmykRaster& page, double dpi, const DensityDef& def,
                            PagePoints origin) {
  WedgeDeviation d;
  for (int row = 0; row < kChannelCount; ++row) {
    const auto table = TransferTable(def.channels[def.allChannels == 1 ? kCyan : row]);
    for (int step = 0; step < kWedgeSteps; ++step) {
      const int off = std::abs(PatchAt(page, dpi, origin, row, step, row) -
                               TableColorant(table, WedgeInput(step)));
      if (off > d.worst)
        d = {off, row, step, d.strayInk};
      for (int plane = 0; plane < kChannelCount; ++plane)
        if (plane != row)
          d.strayInk = std::max(d.strayInk, std::abs(PatchAt(page, dpi, origin, row, step, plane)));
    }
  }
  return d;
}

std::string_view JobInputName(JobInput input) {
  switch (input) {
    case JobInput::kPostScript:
      return "PS";
    case JobInput::kPdfGhostscript:
      return "PDF/gs";
    case JobInput::kPdfPoppler:
      return "PDF/pdftops";
  }
  return "?";
}

namespace {

// The last lines of a tool's messages, enough to say what went wrong.
std::string Tail(const std::string& text) {
  return text.size() > 1500 ? "..." + text.substr(text.size() - 1500) : text;
}

}  // namespace

ChainOutput RunChain(const std::string& ppdPath, const std::string& job, JobInput input,
                     const std::vector<std::string>& options, const std::string& scratchDir) {
  ChainOutput out;
  const std::string cupsfilter = FindTool("cupsfilter");
  const std::string ps2pdf = FindTool("ps2pdf");
  if (cupsfilter.empty() || ps2pdf.empty()) {
    out.error = "cupsfilter or ps2pdf is not installed (scripts/install-deps installs them)";
    return out;
  }
  std::string file = scratchDir + "/chain-job.ps";
  std::ofstream(file, std::ios::binary | std::ios::trunc) << job;
  std::vector<std::string> argv = {cupsfilter, "-p", ppdPath, "-m", "printer/foo", "-e"};
  if (input != JobInput::kPostScript) {
    const std::string pdf = scratchDir + "/chain-job.pdf";
    const std::string side = std::to_string(static_cast<int>(kWedgePagePoints));
    const RunResult made = RunTool({ps2pdf, "-dDEVICEWIDTHPOINTS=" + side,
                                    "-dDEVICEHEIGHTPOINTS=" + side, "-dFIXEDMEDIA", file, pdf},
                                   scratchDir);
    if (made.status != 0) {
      out.error = "ps2pdf failed: " + Tail(made.out + made.err);
      return out;
    }
    file = pdf;
    argv.insert(argv.end(),
                {"-o", input == JobInput::kPdfGhostscript ? "pdftops-renderer=gs"
                                                          : "pdftops-renderer=pdftops"});
  }
  for (const std::string& o : options) argv.insert(argv.end(), {"-o", o});
  argv.push_back(file);
  const RunResult r = RunTool(argv, scratchDir);
  const std::size_t start = r.out.find("%!PS");
  if (r.status != 0 || start == std::string::npos) {
    out.error = "cupsfilter exited with " + std::to_string(r.status) + ": " + Tail(r.err);
    return out;
  }
  out.postscript = r.out.substr(start);
  return out;
}

PagePoints WedgeOrigin(const CmykRaster& page, double dpi, JobInput input) {
  if (input == JobInput::kPostScript)
    return {};
  return {(page.width * 72 / dpi - kWedgePagePoints) / 2,
          (page.height * 72 / dpi - kWedgePagePoints) / 2};
}

std::optional<CmykRaster> RenderCmyk(const std::string& postscript, bool resettingPrinter,
                                     double dpi, const std::string& scratchDir,
                                     std::string& error) {
  const std::string gs = FindTool("gs");
  if (gs.empty()) {
    error = "gs is not installed (scripts/install-deps installs it)";
    return std::nullopt;
  }
  const std::string input = scratchDir + "/render.ps";
  const std::string raster = scratchDir + "/render.pam";
  std::ofstream(input, std::ios::binary | std::ios::trunc) << postscript;
  std::filesystem::remove(raster);
  std::vector<std::string> argv = {gs,
                                   "-q",
                                   "-dSAFER",
                                   "-dBATCH",
                                   "-dNOPAUSE",
                                   "-sDEVICE=pamcmyk32",
                                   "-r" + std::to_string(static_cast<int>(dpi)),
                                   "-sOutputFile=" + raster};
  if (resettingPrinter)
    argv.insert(argv.end(), {"-c", std::string(kResettingPrinter), "-f"});
  argv.push_back(input);
  const RunResult r = RunTool(argv, scratchDir);
  if (r.status != 0) {
    error = "gs exited with " + std::to_string(r.status) + ": " + Tail(r.out + r.err);
    return std::nullopt;
  }
  return ReadCmykPam(raster, error);
}

std::string ChoiceNamed(std::string_view ppd, std::string_view name) {
  std::string keyword;
  ForEachLine(ppd, [&](std::string_view line, std::size_t) {
    if (!BeginsWith(line, "*VLTone "))
      return true;
    const std::size_t slash = line.find('/'), colon = line.find(':', slash);
    if (slash == std::string_view::npos || colon == std::string_view::npos ||
        line.substr(slash + 1, colon - slash - 1) != name)
      return true;
    keyword = std::string(line.substr(8, slash - 8));
    return false;
  });
  return keyword;
}

std::vector<ChainCheck> ChainChecks(const VendorCase& vendor, std::string_view original,
                                    std::string_view written, JobInput input) {
  std::vector<ChainCheck> checks(2);
  ChainCheck& one = checks[0];
  one.label = "one table";
  one.def = OneTableDefinition();
  // A PostScript job resets the transfer itself, as Poppler's output does on
  // every page. A PDF carries no transfer function of its own (desktop
  // applications write none): Poppler adds the reset, Ghostscript's renderer
  // binds the real operators in its prolog (a documented limit for a PDF that
  // does carry one).
  const bool pdf = input != JobInput::kPostScript;
  one.job = WedgeJob(pdf ? "" : "{} settransfer", 2);
  one.options = {"VLTone=" + ChoiceNamed(written, NameOf(one.def))};
  if (vendor.otherPageSize) {
    one.options.push_back(std::string("PageSize=") + vendor.otherPageSize);
    one.page = PaperDimension(original, vendor.otherPageSize).value_or(PagePoints{});
  }
  if (vendor.duplexOption) {
    one.options.push_back(std::string(vendor.duplexOption) + "=" + vendor.duplexChoice);
    one.duplexCode = ToLf(InvocationOf(original, vendor.duplexOption, vendor.duplexChoice));
  }
  ChainCheck& four = checks[1];
  four.label = "four tables";
  four.def = FourTableDefinition();
  four.job = WedgeJob(pdf ? "<< /PageSize [300 300] >> setpagedevice"
                          : "<< /PageSize [300 300] >> setpagedevice {} dup dup dup setcolortransfer");
  static_assert(kWedgePagePoints == 300);
  four.options = {"VLTone=" + ChoiceNamed(written, NameOf(four.def))};
  if (input == JobInput::kPostScript)
    four.page = {kWedgePagePoints, kWedgePagePoints};
  for (ChainCheck& c : checks)
    c.options.insert(c.options.end(), vendor.neutralOptions.begin(), vendor.neutralOptions.end());
  return checks;
}

}  // namespace tonalis::test::real

#ifdef TONALIS_CHAIN_TOOL
// tonalis-chain-measure: the measuring of the chain tests as a command, for
// scripts/ppd-chain-table.
//
//   tonalis-chain-measure definitions
//       prints the two definitions of the rendering as JSON
//   tonalis-chain-measure wedge ORIGINAL WRITTEN
//       sends the wedge jobs through the chain of the PPD WRITTEN (which holds
//       both definitions, written from the vendor file ORIGINAL) and prints one
//       line per definition, input and printer: the worst patch deviation in
//       1/255, marked "+ink" when another colorant's ink is in a patch,
//       "+size" when the page size is not the one asked for and "+duplex"
//       when the duplex code is not in the job; or "fail" with the reason
int main(int argc, char** argv) {
  using namespace tonalis;
  using namespace tonalis::test;
  using namespace tonalis::test::real;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "definitions") {
    std::cout << DefinitionsJson({OneTableDefinition(), FourTableDefinition()});
    return 0;
  }
  if (args.size() != 3 || args[0] != "wedge") {
    std::cerr << "usage: tonalis-chain-measure definitions | wedge ORIGINAL WRITTEN\n";
    return 2;
  }
  const std::string original = ReadBytes(args[1]), written = ReadBytes(args[2]);
  const VendorCase* known = FindVendorCase(std::filesystem::path(args[1]).filename().string());
  VendorCase vendor = known ? *known : VendorCase{"", true, 0, nullptr, nullptr, nullptr, {}, {}};
  TempDir dir;
  const double dpi = 36;
  for (int c = 0; c < 2; ++c) {
    for (JobInput input : kJobInputs) {
      const ChainCheck check = ChainChecks(vendor, original, written, input)[c];
      const ChainOutput chain = RunChain(args[2], check.job, input, check.options, dir.path().string());
      for (bool resetting : {false, true}) {
        std::cout << check.label << "\t" << JobInputName(input) << "\t"
                  << (resetting ? "resetting" : "plain") << "\t";
        std::string error = chain.error;
        std::optional<CmykRaster> page;
        if (error.empty())
          page = RenderCmyk(chain.postscript, resetting, dpi, dir.path().string(), error);
        if (!page) {
          std::replace(error.begin(), error.end(), '\n', ' ');
          std::replace(error.begin(), error.end(), '\t', ' ');
          std::cout << "fail " << error.substr(0, 200) << "\n";
          continue;
        }
        const WedgeDeviation d =
            MeasureWedge(*page, dpi, check.def, WedgeOrigin(*page, dpi, input));
        std::cout << d.worst;
        if (d.strayInk)
          std::cout << "+ink";
        if (check.page.width > 0 && (page->width != PixelsFor(check.page.width, dpi) ||
                                     page->height != PixelsFor(check.page.height, dpi)))
          std::cout << "+size";
        if (!check.duplexCode.empty() &&
            ToLf(chain.postscript).find(check.duplexCode) == std::string::npos)
          std::cout << "+duplex";
        std::cout << "\n";
      }
    }
  }
  return 0;
}
#endif
