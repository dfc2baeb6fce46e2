#include "real_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tonalis::test::real {

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool BeginsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

// Calls f(line, offset) for each line of CR LF text; `line` includes its
// line break.
template <typename F>
void ForEachLine(std::string_view text, F f) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    std::size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    if (!f(text.substr(pos, end - pos), pos))
      return;
    pos = end;
  }
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

std::string WithoutSections(std::string_view text) {
  std::string out;
  bool inside = false;
  ForEachLine(text, [&](std::string_view line, std::size_t) {
    if (!inside && BeginsWith(line, kOpen)) {
      inside = true;
    } else if (inside) {
      if (BeginsWith(line, kClose))
        inside = false;
    } else {
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

std::string WedgeJob(std::string_view pageSetup) {
  std::ostringstream ps;
  ps << "%!PS-Adobe-3.0\n"
        "%%Pages: 1\n"
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
        "showpage\n"
        "%%EOF\n";
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

int WedgePatch(const CmykRaster& raster, double dpi, int row, int step, int plane) {
  const double cx = kPatchX0 + kPatchWidth * (step + 0.5);
  const double cy = kPatchY0 + kRowPitch * row + kPatchHeight / 2;
  const int x = static_cast<int>(std::floor(cx * dpi / 72));
  const int y = raster.height - 1 - static_cast<int>(std::floor(cy * dpi / 72));
  return raster.At(x, y, plane);
}

int PixelsFor(double points, double dpi) {
  return static_cast<int>(std::floor(points * dpi / 72 + 0.5));
}

}  // namespace tonalis::test::real
