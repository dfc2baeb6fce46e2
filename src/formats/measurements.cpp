#include "formats/measurements.h"

#include "formats/cgats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace tonalis {
namespace {

// Inputs closer than this are the same patch.
constexpr double kSameInput = 1e-6;

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::optional<double> Number(std::string_view s) {
  s = Trim(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
    return std::nullopt;
  return v;
}

std::optional<Channel> ChannelWord(std::string_view s) {
  const std::string w = Lower(Trim(s));
  for (int c = 0; c < kChannelCount; ++c)
    if (w == kChannelWords[c] || (w.size() == 1 && w[0] == "cmyk"[c])) return Channel(c);
  return std::nullopt;
}

struct Row {
  Channel channel;
  double input, value;
  int line;
};

// Lines without their breaks, numbered from 1.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

struct Reader {
  const std::string& file;
  std::string error;
  bool Fail(int line, const std::string& what) {
    error = file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + what;
    return false;
  }
  bool Value(int line, std::string_view field, const char* what, double low, double high,
             double& out) {
    const std::optional<double> v = Number(field);
    if (!v)
      return Fail(line, std::string(what) + " '" + std::string(Trim(field)) + "' is not a number");
    if (*v < low || *v > high)
      return Fail(line, std::string(what) + " " + std::string(Trim(field)) + " is outside " +
                            std::to_string(int(low)) + " to " + std::to_string(int(high)));
    out = *v;
    return true;
  }
};

constexpr double kMaxDensity = 10;

bool ReadCsv(const std::vector<std::string_view>& lines, Reader& r, MeasuredQuantity& quantity,
             std::vector<Row>& rows) {
  bool header = false;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const int line = int(n + 1);
    const std::string_view text = Trim(lines[n]);
    if (text.empty() || text.front() == '#')
      continue;
    std::vector<std::string_view> fields;
    for (std::string_view rest = text;;) {
      const std::size_t comma = rest.find(',');
      fields.push_back(Trim(rest.substr(0, comma)));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    if (!header) {
      const std::string h = fields.size() == 3 ? Lower(fields[0]) + "," + Lower(fields[1]) + "," +
                                                     Lower(fields[2])
                                               : "";
      if (h != "channel,input,density" && h != "channel,input,lstar")
        return r.Fail(line, "expected the header channel,input,density or channel,input,lstar");
      quantity = h.ends_with("lstar") ? MeasuredQuantity::LStar : MeasuredQuantity::Density;
      header = true;
      continue;
    }
    if (fields.size() != 3)
      return r.Fail(line, "expected three fields (channel,input,value), not " +
                              std::to_string(fields.size()));
    const std::optional<Channel> channel = ChannelWord(fields[0]);
    if (!channel)
      return r.Fail(line, "unknown channel '" + std::string(fields[0]) +
                              "' (expected C, M, Y, K or cyan, magenta, yellow, black)");
    Row row{*channel, 0, 0, line};
    if (!r.Value(line, fields[1], "input", 0, 100, row.input))
      return false;
    const bool lstar = quantity == MeasuredQuantity::LStar;
    if (!r.Value(line, fields[2], lstar ? "L*" : "density", 0, lstar ? 100 : kMaxDensity,
                 row.value))
      return false;
    rows.push_back(row);
  }
  if (!header)
    return r.Fail(0, "no measurements (expected the header channel,input,density or "
                     "channel,input,lstar)");
  return true;
}


bool ReadTi3(const std::vector<std::string_view>& lines, Reader& r, MeasuredQuantity& quantity,
             std::vector<Row>& rows) {
  enum { kHead, kFormat, kBetween, kData, kDone } state = kHead;
  std::vector<std::string> fields;
  int columns[kChannelCount] = {-1, -1, -1, -1};
  int valueColumn = -1;
  int declaredSets = -1, sets = 0;
  for (std::size_t n = 0; n < lines.size() && state != kDone; ++n) {
    const int line = int(n + 1);
    const std::vector<std::string> words = CgatsWords(lines[n]);
    if (words.empty())
      continue;
    switch (state) {
      case kHead:
        if (words[0] == "NUMBER_OF_SETS" && words.size() > 1)
          declaredSets = int(Number(words[1]).value_or(-1));
        if (words[0] == "BEGIN_DATA_FORMAT")
          state = kFormat;
        if (words[0] == "BEGIN_DATA")
          return r.Fail(line, "BEGIN_DATA before the data format (BEGIN_DATA_FORMAT)");
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
          for (std::size_t f = 0; f < fields.size(); ++f) {
            for (int c = 0; c < kChannelCount; ++c)
              if (fields[f] == std::string("CMYK_") + "CMYK"[c]) columns[c] = int(f);
          }
          for (int c = 0; c < kChannelCount; ++c)
            if (columns[c] < 0)
              return r.Fail(line, std::string("no CMYK_") + "CMYK"[c] +
                                      " field: not the measurements of a CMYK chart");
          const auto at = [&](std::string_view name) {
            const auto it = std::find(fields.begin(), fields.end(), name);
            return it == fields.end() ? -1 : int(it - fields.begin());
          };
          valueColumn = at("XYZ_Y");
          quantity = MeasuredQuantity::Density;
          if (valueColumn < 0) {
            valueColumn = at("LAB_L");
            quantity = MeasuredQuantity::LStar;
          }
          if (valueColumn < 0)
            return r.Fail(line, "no XYZ_Y or LAB_L field (spectral values alone are not read)");
        }
        break;
      case kBetween:
        if (words[0] == "BEGIN_DATA")
          state = kData;
        break;
      case kData: {
        if (words[0] == "END_DATA") {
          state = kDone;
          break;
        }
        if (words.size() != fields.size())
          return r.Fail(line, "expected " + std::to_string(fields.size()) + " values, not " +
                                  std::to_string(words.size()));
        ++sets;
        double device[kChannelCount];
        for (int c = 0; c < kChannelCount; ++c)
          if (!r.Value(line, words[columns[c]], (std::string("CMYK_") + "CMYK"[c]).c_str(), 0,
                       100, device[c]))
            return false;
        double value = 0;
        const bool lstar = quantity == MeasuredQuantity::LStar;
        if (!r.Value(line, words[valueColumn], fields[valueColumn].c_str(), 0,
                     lstar ? 100 : 200, value))
          return false;
        if (!lstar) {
          if (value <= 0)
            return r.Fail(line, "XYZ_Y " + words[valueColumn] + " is not above 0");
          value = std::min(kMaxDensity, std::max(0.0, -std::log10(value / 100)));
        }
        int inked = 0;
        for (int c = 0; c < kChannelCount; ++c) inked += device[c] > kSameInput;
        for (int c = 0; c < kChannelCount; ++c) {
          if (inked == 0 || (inked == 1 && device[c] > kSameInput))
            rows.push_back({Channel(c), device[c], value, line});
        }
        break;
      }
      case kDone:
        break;
    }
  }
  if (state != kDone)
    return r.Fail(0, state == kData ? "no END_DATA after the data" : "no data (BEGIN_DATA)");
  if (declaredSets >= 0 && declaredSets != sets)
    return r.Fail(0, "NUMBER_OF_SETS is " + std::to_string(declaredSets) + " but the data holds " +
                         std::to_string(sets));
  return true;
}

}  // namespace

MeasurementsRead ParseMeasurements(std::string_view text, const std::string& file) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark))
    text.remove_prefix(kByteOrderMark.size());
  Reader reader{file, {}};
  Measurements m;
  std::vector<Row> rows;
  const std::vector<std::string_view> lines = Lines(text);
  const bool ti3 = text.starts_with("CTI3");
  if (!(ti3 ? ReadTi3(lines, reader, m.quantity, rows) : ReadCsv(lines, reader, m.quantity, rows)))
    return {std::nullopt, reader.error};

  std::stable_sort(rows.begin(), rows.end(),
                   [](const Row& a, const Row& b) { return a.input < b.input; });
  for (int c = 0; c < kChannelCount; ++c) {
    std::vector<MeasuredPatch>& patches = m.channels[c];
    int count = 0;
    for (const Row& row : rows) {
      if (row.channel != c)
        continue;
      if (!patches.empty() && row.input - patches.back().input < kSameInput) {
        patches.back().value = (patches.back().value * count + row.value) / (count + 1);
        ++count;
      } else {
        patches.push_back({row.input, row.value});
        count = 1;
      }
    }
    const std::string name(kChannelWords[c]);
    if (patches.empty() || patches.front().input > kSameInput)
      return {std::nullopt, file + ": " + name + ": no patch at 0 %"};
    if (patches.back().input < 100 - kSameInput)
      return {std::nullopt, file + ": " + name + ": no patch at 100 %"};
    if (patches.size() < 6)
      return {std::nullopt, file + ": " + name + ": " + std::to_string(patches.size()) +
                                " patches; at least six are needed (0 %, 100 % and four others)"};
  }
  return {std::move(m), {}};
}

}  // namespace tonalis
