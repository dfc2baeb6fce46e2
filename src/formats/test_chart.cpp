#include "formats/test_chart.h"

#include <ctime>

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tonalis {
namespace {

constexpr int kPatchesPerRow = 21;
constexpr double kPatch = 24;
constexpr double kLabelHeight = 9;
constexpr double kLeft = (kChartPageWidth - kPatchesPerRow * kPatch) / 2;
constexpr double kTop = 792 - 40;  // below the title lines, within Letter's height
constexpr double kHeading = 12;
constexpr double kWedgeGap = 8;

constexpr std::string_view kChannelNames[kChannelCount] = {"Cyan", "Magenta", "Yellow", "Black"};
constexpr char kChannelLetters[kChannelCount] = {'C', 'M', 'Y', 'K'};

// A number as PostScript and PDF take it: at most four decimals, no
// exponent, no trailing zeros.
std::string Number(double v) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
  std::string s(buf, end);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

// A literal string of both languages; bytes outside printable ASCII as
// octal escapes, so the file stays 7-bit.
std::string Literal(std::string_view text) {
  std::string out = "(";
  for (unsigned char c : text) {
    if (c == '(' || c == ')' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c > 0x7E) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\%03o", c);
      out += buf;
    } else {
      out += char(c);
    }
  }
  return out + ")";
}

// What is drawn: filled rectangles and lines of text, both languages alike.
struct Mark {
  bool text = false;
  double cmyk[4] = {0, 0, 0, 0};
  double x = 0, y = 0, w = 0, h = 0;  // text: size in h
  std::string string{};
};

std::vector<Mark> ChartMarks(const ChartOptions& options) {
  std::vector<Mark> marks;
  auto text = [&](double x, double y, double size, std::string s) {
    marks.push_back({.text = true, .cmyk = {0, 0, 0, 1}, .x = x, .y = y, .h = size,
                     .string = std::move(s)});
  };
  text(kLeft, 792 - 22, 14, "Tonalis test chart");
  text(kLeft, 792 - 34, 8,
       "Date: " + options.date + "    Density control: " +
           (options.control.empty() ? std::string("none") : options.control) + "    Steps: " +
           std::to_string(options.steps) + " per colour");
  Channel last = kBlack;
  bool first = true;
  for (const ChartPatch& p : ChartPatches(options.steps)) {
    if (first || p.channel != last)
      text(kLeft, p.y + kPatch + 3, 8, std::string(kChannelNames[p.channel]));
    first = false;
    last = p.channel;
    Mark patch;
    patch.cmyk[p.channel] = p.input / 100;
    patch.x = p.x, patch.y = p.y, patch.w = p.size, patch.h = p.size;
    marks.push_back(patch);
    text(p.x + 1.5, p.y - 6.5, 5.5,
         std::string(1, kChannelLetters[p.channel]) + " " + Number(std::round(p.input * 100) / 100));
  }
  return marks;
}

std::string Colour(const Mark& m) {
  return Number(m.cmyk[0]) + " " + Number(m.cmyk[1]) + " " + Number(m.cmyk[2]) + " " +
         Number(m.cmyk[3]);
}

}  // namespace

bool IsChartSteps(int steps) {
  return steps >= kDefaultChartSteps && steps <= kMaxChartSteps && (steps - 1) % 20 == 0;
}

std::vector<double> ChartInputs(int steps) {
  std::vector<double> inputs;
  for (int i = 0; i < steps; ++i) inputs.push_back(100.0 * i / (steps - 1));
  return inputs;
}

std::vector<ChartPatch> ChartPatches(int steps) {
  std::vector<ChartPatch> patches;
  const std::vector<double> inputs = ChartInputs(steps);
  const int rows = (steps + kPatchesPerRow - 1) / kPatchesPerRow;
  double top = kTop;
  for (int c = 0; c < kChannelCount; ++c) {
    top -= kHeading;
    for (int i = 0; i < steps; ++i) {
      const int row = i / kPatchesPerRow, column = i % kPatchesPerRow;
      patches.push_back({Channel(c), inputs[i], kLeft + column * kPatch,
                         top - (row + 1) * kPatch - row * kLabelHeight, kPatch});
    }
    top -= rows * (kPatch + kLabelHeight) + kWedgeGap;
  }
  return patches;
}

std::string ChartPostScript(const ChartOptions& options, std::string_view setup) {
  std::string out =
      "%!PS-Adobe-3.0\n"
      "%%Title: Tonalis test chart\n"
      "%%Creator: Tonalis\n"
      "%%CreationDate: " + options.date + "\n"
      "%%BoundingBox: 0 0 595 842\n"
      "%%DocumentMedia: A4 595 842 0 () ()\n"
      "%%Pages: 1\n"
      "%%EndComments\n"
      "%%BeginProlog\n"
      "/Helvetica findfont dup length dict begin\n"
      "{1 index /FID ne {def} {pop pop} ifelse} forall\n"
      "/Encoding ISOLatin1Encoding def currentdict end\n"
      "/TonalisChartFont exch definefont pop\n"
      "%%EndProlog\n"
      "%%BeginSetup\n";
  out += setup;
  if (!setup.empty() && setup.back() != '\n')
    out += '\n';
  out += "%%EndSetup\n%%Page: 1 1\n";
  for (const Mark& m : ChartMarks(options)) {
    out += Colour(m) + " setcmykcolor ";
    if (m.text) {
      out += "/TonalisChartFont " + Number(m.h) + " selectfont " + Number(m.x) + " " +
             Number(m.y) + " moveto " + Literal(m.string) + " show\n";
    } else {
      out += Number(m.x) + " " + Number(m.y) + " " + Number(m.w) + " " + Number(m.h) +
             " rectfill\n";
    }
  }
  out += "showpage\n%%Trailer\n%%EOF\n";
  return out;
}

std::string ChartPdf(const ChartOptions& options) {
  std::string content;
  for (const Mark& m : ChartMarks(options)) {
    content += Colour(m) + " k ";
    if (m.text) {
      content += "BT /F1 " + Number(m.h) + " Tf " + Number(m.x) + " " + Number(m.y) + " Td " +
                 Literal(m.string) + " Tj ET\n";
    } else {
      content += Number(m.x) + " " + Number(m.y) + " " + Number(m.w) + " " + Number(m.h) +
                 " re f\n";
    }
  }
  std::string date;
  for (char c : options.date)
    if (c >= '0' && c <= '9') date += c;
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 5 0 R >> "
      ">> /Contents 4 0 R >>",
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
      "<< /Title (Tonalis test chart) /Creator (Tonalis)" +
          (date.size() == 8 ? " /CreationDate (D:" + date + ")" : std::string()) + " >>",
  };
  std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(out.size());
    out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = out.size();
  out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    char line[24];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    out += line;
  }
  out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R /Info 6 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return out;
}

std::string TodaysDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &local);
  return buf;
}

}  // namespace tonalis
