#include "formats/curve_files.h"

#include "formats/cgats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace tonalis {
namespace {

constexpr int kTop = kTableSize - 1;   // the top level of the 0..255 scale
constexpr int32_t kFull = 100 * kTop;  // the top of a table entry

int32_t Hundredths(double level) {
  return static_cast<int32_t>(
      std::clamp(std::llround(level * 100), 0LL, static_cast<long long>(kFull)));
}

char LowerChar(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::optional<double> Number(std::string_view s) {
  s = Trim(s);
  if (!s.empty() && s.front() == '+')
    s.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
    return std::nullopt;
  return v;
}

// Lines without their breaks, numbered from 1.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos)
      break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string_view WithoutByteOrderMark(std::string_view text) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark))
    text.remove_prefix(kByteOrderMark.size());
  return text;
}

struct Failure {
  const std::string& file;
  CurveFileRead At(int line, const std::string& what) {
    return {std::nullopt,
            file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + what};
  }
  CurveFileRead Bytes(std::size_t size, const std::string& what) {
    return {std::nullopt,
            file + ": " + std::to_string(size) + (size == 1 ? " byte: " : " bytes: ") + what};
  }
};

// --- ArgyllCMS .cal ---

// A text for a quoted CGATS value: no quotes, no line breaks.
std::string Quotable(std::string_view s) {
  std::string out;
  for (char c : s) out += c == '"' ? '\'' : static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  return out;
}

std::string CalBytes(const CurveTables& t, const CurveFileText& text) {
  std::string out = "CAL    \n\n";
  out += "DESCRIPTOR \"" +
         Quotable(text.description.empty() ? "Tonalis density control" : text.description) + "\"\n";
  out += "ORIGINATOR \"Tonalis\"\n";
  if (!text.created.empty())
    out += "CREATED \"" + Quotable(text.created) + "\"\n";
  out +=
      "KEYWORD \"DEVICE_CLASS\"\nDEVICE_CLASS \"OUTPUT\"\n"
      "KEYWORD \"COLOR_REP\"\nCOLOR_REP \"CMYK\"\n\n"
      "NUMBER_OF_FIELDS 5\nBEGIN_DATA_FORMAT\nCMYK_I CMYK_C CMYK_M CMYK_Y "
      "CMYK_K\nEND_DATA_FORMAT\n\n"
      "NUMBER_OF_SETS 256\nBEGIN_DATA\n";
  // Ten decimals: within 1e-10 of the entry, far closer than the 1/25500
  // that tells two entries apart, so reading back rounds to the same ones.
  char buf[32];
  for (int i = 0; i < kTableSize; ++i) {
    std::snprintf(buf, sizeof buf, "%.10f", double(i) / kTop);
    out += buf;
    for (int c = 0; c < kChannelCount; ++c) {
      std::snprintf(buf, sizeof buf, " %.10f", double(t.channels[c][i]) / kFull);
      out += buf;
    }
    out += '\n';
  }
  return out + "END_DATA\n";
}


constexpr std::string_view kCalFields[kChannelCount + 1] = {"CMYK_I", "CMYK_C", "CMYK_M", "CMYK_Y",
                                                            "CMYK_K"};

CurveFileRead ReadCal(std::string_view text, Failure& f) {
  const std::vector<std::string_view> lines = Lines(WithoutByteOrderMark(text));
  enum { kStart, kHead, kFormat, kBetween, kData, kDone } state = kStart;
  std::vector<std::string> fields;
  int column[kChannelCount + 1] = {-1, -1, -1, -1, -1};
  int declaredSets = -1, setsLine = 0;
  std::string colorRep;
  // Per set: CMYK_I, then the four outputs.
  std::vector<std::array<double, kChannelCount + 1>> sets;
  for (std::size_t n = 0; n < lines.size() && state != kDone; ++n) {
    const int line = int(n + 1);
    const std::vector<std::string> words = CgatsWords(lines[n]);
    if (words.empty())
      continue;
    // The keywords that matter, wherever they stand before the data.
    if ((state == kHead || state == kBetween) && words.size() > 1) {
      if (words[0] == "COLOR_REP") {
        colorRep = words[1];
        if (colorRep != "CMYK")
          return f.At(line, "COLOR_REP \"" + colorRep + "\": a calibration of " + colorRep +
                                ", not of CMYK");
      } else if (words[0] == "NUMBER_OF_SETS") {
        const std::optional<double> v = Number(words[1]);
        if (!v || *v < 2 || *v != std::floor(*v) || *v > 65536)
          return f.At(line,
                      "NUMBER_OF_SETS " + words[1] + ": expected a whole number of two or more");
        declaredSets = int(*v);
        setsLine = line;
      }
    }
    switch (state) {
      case kStart:
        if (words[0] != "CAL")
          return f.At(line, "not an ArgyllCMS calibration (the file does not start with CAL)");
        state = kHead;
        break;
      case kHead:
        if (words[0] == "BEGIN_DATA_FORMAT")
          state = kFormat;
        else if (words[0] == "BEGIN_DATA")
          return f.At(line, "BEGIN_DATA before the data format (BEGIN_DATA_FORMAT)");
        break;
      case kFormat:
        for (const std::string& w : words) {
          if (w == "END_DATA_FORMAT") {
            state = kBetween;
            break;
          }
          fields.push_back(w);
        }
        if (state == kBetween) {
          for (int k = 0; k <= kChannelCount; ++k) {
            const auto it = std::find(fields.begin(), fields.end(), kCalFields[k]);
            if (it == fields.end())
              return f.At(line, "no " + std::string(kCalFields[k]) +
                                    " field (a CMYK calibration has " +
                                    "CMYK_I, CMYK_C, CMYK_M, CMYK_Y and CMYK_K)");
            column[k] = int(it - fields.begin());
          }
        }
        break;
      case kBetween:
        if (words[0] == "BEGIN_DATA") {
          if (colorRep.empty())
            return f.At(
                line, "no COLOR_REP before the data (a CMYK calibration says COLOR_REP \"CMYK\")");
          state = kData;
        }
        break;
      case kData: {
        if (words[0] == "END_DATA") {
          state = kDone;
          break;
        }
        if (words.size() != fields.size())
          return f.At(line, "expected " + std::to_string(fields.size()) + " values, not " +
                                std::to_string(words.size()));
        std::array<double, kChannelCount + 1> set{};
        for (int k = 0; k <= kChannelCount; ++k) {
          const std::string& w = words[column[k]];
          const std::optional<double> v = Number(w);
          if (!v)
            return f.At(line, std::string(kCalFields[k]) + " '" + w + "' is not a number");
          if (*v < 0 || *v > 1)
            return f.At(line, std::string(kCalFields[k]) + " " + w + " is outside 0 to 1");
          set[k] = *v;
        }
        if (!sets.empty() && !(set[0] > sets.back()[0]))
          return f.At(line, "CMYK_I " + words[column[0]] + " does not rise above the set before");
        sets.push_back(set);
        break;
      }
      case kDone:
        break;
    }
  }
  if (state == kStart)
    return f.At(0, "empty (an ArgyllCMS calibration starts with CAL)");
  if (state != kDone)
    return f.At(0, state == kData ? "no END_DATA after the data" : "no data (BEGIN_DATA)");
  if (declaredSets >= 0 && declaredSets != int(sets.size()))
    return f.At(setsLine, "NUMBER_OF_SETS is " + std::to_string(declaredSets) +
                              " but the data holds " + std::to_string(sets.size()));
  if (sets.size() < 2)
    return f.At(0, std::string(sets.empty() ? "the data holds no set" : "the data holds one set") +
                       "; at least two are needed");
  constexpr double kEnd = 1e-6;
  if (sets.front()[0] > kEnd || sets.back()[0] < 1 - kEnd)
    return f.At(0, "CMYK_I must run from 0 to 1, not from " + std::to_string(sets.front()[0]) +
                       " to " + std::to_string(sets.back()[0]));

  CurveTables tables;
  std::size_t j = 0;
  for (int i = 0; i < kTableSize; ++i) {
    const double x = double(i) / kTop;
    while (j + 2 < sets.size() && sets[j + 1][0] < x) ++j;
    const auto& a = sets[j];
    const auto& b = sets[j + 1];
    const double w = std::clamp((x - a[0]) / (b[0] - a[0]), 0.0, 1.0);
    for (int c = 0; c < kChannelCount; ++c)
      tables.channels[c][i] = Hundredths((a[c + 1] + w * (b[c + 1] - a[c + 1])) * kTop);
  }
  return {tables, {}};
}

// --- Photoshop .amp ---

constexpr std::size_t kMapBytes = kTableSize;

std::string AmpBytes(const CurveTables& t) {
  std::string out;
  for (int i = 0; i < kTableSize; ++i) out += char(i);  // the composite: identity
  for (int c = 0; c < kChannelCount; ++c)
    for (int i = 0; i < kTableSize; ++i) out += char((t.channels[c][i] + 50) / 100);
  return out;
}

CurveFileRead ReadAmp(std::string_view bytes, Failure& f) {
  const auto at = [&](std::size_t map, int i) {
    return static_cast<unsigned char>(bytes[map * kMapBytes + i]);
  };
  CurveTables tables;
  if (bytes.size() == kMapBytes) {
    for (int c = 0; c < kChannelCount; ++c)
      for (int i = 0; i < kTableSize; ++i) tables.channels[c][i] = 100 * at(0, i);
    return {tables, {}};
  }
  if (bytes.size() != (kChannelCount + 1) * kMapBytes)
    return f.Bytes(bytes.size(),
                   "an arbitrary map holds 256 bytes (one map for all colours) or 1280 "
                   "(composite, cyan, magenta, yellow and black)");
  for (int c = 0; c < kChannelCount; ++c)
    for (int i = 0; i < kTableSize; ++i) tables.channels[c][i] = 100 * at(0, at(c + 1, i));
  return {tables, {}};
}

// --- Photoshop .acv ---

constexpr int kAcvVersion = 4;

void PutBE16(std::string& out, int v) {
  out += char((v >> 8) & 0xFF);
  out += char(v & 0xFF);
}

std::string AcvBytes(const std::array<ToneCurve, kChannelCount>& curves) {
  std::string out;
  PutBE16(out, kAcvVersion);
  PutBE16(out, kChannelCount + 1);
  PutBE16(out, 2);  // the composite: identity
  PutBE16(out, 0), PutBE16(out, 0);
  PutBE16(out, kTop), PutBE16(out, kTop);
  for (const ToneCurve& curve : curves) {
    std::vector<std::pair<int, int>> points;  // (output, input)
    for (int j = 0; j < kPointCount; ++j)
      if (curve.points[j] != kUnset)
        points.push_back(
            {(curve.points[j] * kTop + 5000) / 10000, (ControlInputs[j] * kTop + 50) / 100});
    if (points.size() < 2)
      points = {{0, 0}, {kTop, kTop}};  // no curve: the identity
    PutBE16(out, int(points.size()));
    for (const auto& [output, input] : points) PutBE16(out, output), PutBE16(out, input);
  }
  return out;
}

// A natural cubic spline through (x, y), x rising; flat outside the points.
class NaturalSpline {
 public:
  NaturalSpline(std::vector<double> x, std::vector<double> y) : x_(std::move(x)), y_(std::move(y)) {
    const std::size_t n = x_.size();
    y2_.assign(n, 0.0);
    std::vector<double> u(n, 0.0);
    for (std::size_t i = 1; i + 1 < n; ++i) {
      const double sig = (x_[i] - x_[i - 1]) / (x_[i + 1] - x_[i - 1]);
      const double p = sig * y2_[i - 1] + 2.0;
      y2_[i] = (sig - 1.0) / p;
      const double d =
          (y_[i + 1] - y_[i]) / (x_[i + 1] - x_[i]) - (y_[i] - y_[i - 1]) / (x_[i] - x_[i - 1]);
      u[i] = (6.0 * d / (x_[i + 1] - x_[i - 1]) - sig * u[i - 1]) / p;
    }
    y2_[n - 1] = 0.0;
    for (std::size_t k = n - 1; k-- > 0;) y2_[k] = y2_[k] * y2_[k + 1] + u[k];
  }
  double operator()(double t) const {
    if (t <= x_.front())
      return y_.front();
    if (t >= x_.back())
      return y_.back();
    std::size_t k = 0;
    while (t > x_[k + 1]) ++k;
    const double h = x_[k + 1] - x_[k];
    const double a = (x_[k + 1] - t) / h, b = (t - x_[k]) / h;
    return a * y_[k] + b * y_[k + 1] +
           ((a * a * a - a) * y2_[k] + (b * b * b - b) * y2_[k + 1]) * h * h / 6.0;
  }

 private:
  std::vector<double> x_, y_, y2_;
};

std::string AcvCurveName(int curve) {
  if (curve == 0)
    return "the composite curve";
  if (curve <= kChannelCount)
    return "the " + std::string(kChannelWords[curve - 1]) + " curve";
  return "curve " + std::to_string(curve + 1);
}

CurveFileRead ReadAcv(std::string_view bytes, Failure& f) {
  std::size_t pos = 0;
  const auto get = [&](int& v) {
    if (pos + 2 > bytes.size())
      return false;
    v = static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned char>(bytes[pos]) << 8 |
                                                   static_cast<unsigned char>(bytes[pos + 1])));
    pos += 2;
    return true;
  };
  int version = 0, count = 0;
  if (!get(version) || !get(count))
    return f.Bytes(bytes.size(), "too short for Photoshop curves (version and curve count)");
  if (version != 1 && version != kAcvVersion)
    return f.Bytes(bytes.size(), "version " + std::to_string(version) +
                                     ": not Photoshop curves (version 1 or 4)");
  if (count != 1 && count < kChannelCount + 1)
    return f.Bytes(bytes.size(), "holds " + std::to_string(count) +
                                     " curves; CMYK curves are one (for all colours) or five "
                                     "(composite, cyan, magenta, yellow and black)");
  std::vector<NaturalSpline> splines;
  // Only the first five count; Photoshop may add curves for other channels after them.
  for (int curve = 0; curve < std::min(count, kChannelCount + 1); ++curve) {
    const std::string name = AcvCurveName(curve);
    int points = 0;
    if (!get(points))
      return f.Bytes(bytes.size(), "ends before " + name);
    if (points < 2 || points > kTableSize)
      return f.Bytes(bytes.size(), name + " has " +
                                       (points == 1 ? std::string("one point")
                                                    : std::to_string(points) + " points") +
                                       " (a curve has 2 to 256)");
    std::vector<double> x, y;
    for (int p = 0; p < points; ++p) {
      int output = 0, input = 0;
      if (!get(output) || !get(input))
        return f.Bytes(bytes.size(), "ends inside " + name);
      const std::string which = name + ", point " + std::to_string(p + 1);
      if (output < 0 || output > kTop || input < 0 || input > kTop)
        return f.Bytes(bytes.size(), which + ": (" + std::to_string(output) + ", " +
                                         std::to_string(input) + ") is outside 0 to 255");
      if (!x.empty() && input <= x.back())
        return f.Bytes(bytes.size(), which + ": input " + std::to_string(input) +
                                         " does not rise above the point before");
      x.push_back(input);
      y.push_back(output);
    }
    splines.emplace_back(std::move(x), std::move(y));
  }
  const auto level = [](const NaturalSpline& s, double t) {
    return std::clamp(s(t), 0.0, double(kTop));
  };
  CurveTables tables;
  for (int c = 0; c < kChannelCount; ++c)
    for (int i = 0; i < kTableSize; ++i) {
      const double channel = splines.size() == 1 ? double(i) : level(splines[c + 1], i);
      tables.channels[c][i] = Hundredths(level(splines[0], channel));
    }
  return {tables, {}};
}

// --- CSV ---

constexpr std::string_view kCsvHeader = "input,cyan,magenta,yellow,black";

std::string CsvBytes(const CurveTables& t) {
  std::string out = std::string(kCsvHeader) + "\n";
  char buf[32];
  for (int i = 0; i < kTableSize; ++i) {
    out += std::to_string(i);
    for (int c = 0; c < kChannelCount; ++c) {
      const int32_t v = t.channels[c][i];
      std::snprintf(buf, sizeof buf, ",%d.%02d", int(v / 100), int(v % 100));
      out += buf;
    }
    out += '\n';
  }
  return out;
}

CurveFileRead ReadCsv(std::string_view text, Failure& f) {
  const std::vector<std::string_view> lines = Lines(WithoutByteOrderMark(text));
  bool header = false;
  std::array<int, kTableSize> rowOf{};  // the line of each input's row, 0: none yet
  CurveTables tables;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const int line = int(n + 1);
    const std::string_view row = Trim(lines[n]);
    if (row.empty() || row.front() == '#')
      continue;
    std::vector<std::string_view> fields;
    for (std::string_view rest = row;;) {
      const std::size_t comma = rest.find(',');
      fields.push_back(Trim(rest.substr(0, comma)));
      if (comma == std::string_view::npos)
        break;
      rest.remove_prefix(comma + 1);
    }
    if (!header) {
      std::string h;
      for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k)
          h += ',';
        for (char c : fields[k]) h += LowerChar(c);
      }
      if (h != kCsvHeader)
        return f.At(line, "expected the header " + std::string(kCsvHeader));
      header = true;
      continue;
    }
    if (fields.size() != kChannelCount + 1)
      return f.At(line, "expected five fields (input,cyan,magenta,yellow,black), not " +
                            std::to_string(fields.size()));
    const std::optional<double> input = Number(fields[0]);
    if (!input || *input != std::floor(*input) || *input < 0 || *input > kTop)
      return f.At(line,
                  "input '" + std::string(fields[0]) + "' is not a whole number from 0 to 255");
    const int i = int(*input);
    if (rowOf[i])
      return f.At(line, "a second row for input " + std::to_string(i) + " (the first is on line " +
                            std::to_string(rowOf[i]) + ")");
    rowOf[i] = line;
    for (int c = 0; c < kChannelCount; ++c) {
      const std::string word(fields[c + 1]);
      const std::optional<double> v = Number(word);
      if (!v)
        return f.At(line, std::string(kChannelWords[c]) + " '" + word + "' is not a number");
      if (*v < 0 || *v > kTop)
        return f.At(line, std::string(kChannelWords[c]) + " " + word + " is outside 0 to 255");
      tables.channels[c][i] = Hundredths(*v);
    }
  }
  if (!header)
    return f.At(0, "no curves (expected the header " + std::string(kCsvHeader) + ")");
  for (int i = 0; i < kTableSize; ++i)
    if (!rowOf[i])
      return f.At(0, "no row for input " + std::to_string(i) + " (every input 0 to 255 needs one)");
  return {tables, {}};
}

}  // namespace

std::array<ToneCurve, kChannelCount> CurvesOf(const DensityDef& def) {
  std::array<ToneCurve, kChannelCount> curves{};
  for (int c = 0; c < kChannelCount; ++c)
    curves[c] = def.channels[def.allChannels == 1 ? kCyan : c];
  return curves;
}

CurveTables TablesOf(const DensityDef& def) {
  const std::array<ToneCurve, kChannelCount> curves = CurvesOf(def);
  CurveTables tables;
  for (int c = 0; c < kChannelCount; ++c) {
    const std::array<int32_t, kTableSize> written = TransferTable(curves[c]);
    for (int i = 0; i < kTableSize; ++i) tables.channels[c][i] = kFull - written[kTop - i];
  }
  return tables;
}

std::optional<CurveFormat> CurveFormatOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::string_view base = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = base.rfind('.');
  if (dot == std::string_view::npos || dot == 0)
    return std::nullopt;
  std::string ext;
  for (char c : base.substr(dot + 1)) ext += LowerChar(c);
  if (ext == "cal")
    return CurveFormat::Cal;
  if (ext == "amp")
    return CurveFormat::Amp;
  if (ext == "acv")
    return CurveFormat::Acv;
  if (ext == "csv")
    return CurveFormat::Csv;
  return std::nullopt;
}

std::string UnknownCurveFormat(const std::string& path) {
  return path +
         ": unknown kind of curve file (known: .cal ArgyllCMS calibration, .amp Photoshop "
         "arbitrary map, .acv Photoshop curves, .csv table)";
}

std::string CurveFileBytes(const DensityDef& def, CurveFormat format, const CurveFileText& text) {
  switch (format) {
    case CurveFormat::Cal:
      return CalBytes(TablesOf(def), text);
    case CurveFormat::Amp:
      return AmpBytes(TablesOf(def));
    case CurveFormat::Acv:
      return AcvBytes(CurvesOf(def));
    case CurveFormat::Csv:
      return CsvBytes(TablesOf(def));
  }
  return {};
}

CurveFileRead ParseCurveFile(std::string_view bytes, CurveFormat format, const std::string& file) {
  Failure f{file};
  switch (format) {
    case CurveFormat::Cal:
      return ReadCal(bytes, f);
    case CurveFormat::Amp:
      return ReadAmp(bytes, f);
    case CurveFormat::Acv:
      return ReadAcv(bytes, f);
    case CurveFormat::Csv:
      return ReadCsv(bytes, f);
  }
  return f.At(0, "unknown format");
}

}  // namespace tonalis
