#include "formats/definition_json.h"

#include "model/value_text.h"

#include <cstdio>
#include <cstring>
#include <iomanip>
#include <limits>

namespace tonalis::cli {

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<uint8_t>(utf8[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      continue;
    }
    // Only two-byte sequences C2 80 .. C3 BF encode U+0080..U+00FF.
    if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size() &&
        (static_cast<uint8_t>(utf8[i + 1]) & 0xC0) == 0x80) {
      out.push_back(static_cast<char>(((b & 0x03) << 6) | (utf8[i + 1] & 0x3F)));
      ++i;
      continue;
    }
    return std::nullopt;
  }
  return out;
}

std::string DisplayName(std::string_view bytes) {
  std::string shown;
  for (char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x20 || b == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", b);
      shown += buf;
    } else {
      shown.push_back(c);
    }
  }
  return Latin1ToUtf8(shown);
}

std::string_view ChannelName(int channel) {
  static constexpr std::string_view kNames[kChannelCount] = {"cyan", "magenta", "yellow", "black"};
  return channel >= 0 && channel < kChannelCount ? kNames[channel] : "";
}

json::Value DefinitionToJson(const DensityDef& def) {
  json::Array channels;
  for (const ToneCurve& c : def.channels) {
    json::Array points;
    for (int32_t p : c.points) points.emplace_back(int64_t{p});
    channels.emplace_back(json::Object{{"points", std::move(points)}, {"gamma", int64_t{c.gamma}}});
  }
  return json::Object{{"name", Latin1ToUtf8(NameOf(def))},
                      {"allChannels", int64_t{def.allChannels}},
                      {"channels", std::move(channels)}};
}

namespace {

// The object's members must be exactly `keys`, in any order.
bool HasExactKeys(const json::Value& v, std::initializer_list<std::string_view> keys,
                  std::string& error) {
  for (const auto& [key, member] : v.AsObject()) {
    bool known = false;
    for (std::string_view k : keys) known = known || key == k;
    if (!known) {
      error = "unknown member \"" + key + "\"";
      return false;
    }
  }
  for (std::string_view k : keys) {
    if (!v.Find(k)) {
      error = "missing member \"" + std::string(k) + "\"";
      return false;
    }
  }
  return true;
}

bool Int32Of(const json::Value& v, const std::string& what, int32_t& out, std::string& error) {
  if (!v.IsInteger()) {
    error = what + " must be an integer, not " + std::string(json::TypeName(v.type()));
    return false;
  }
  const int64_t i = v.AsInteger();
  if (i < std::numeric_limits<int32_t>::min() || i > std::numeric_limits<int32_t>::max()) {
    error = what + " is outside the 32-bit range";
    return false;
  }
  out = static_cast<int32_t>(i);
  return true;
}

}  // namespace

std::optional<DefinitionInput> DefinitionFromJson(const json::Value& value, std::string& error) {
  if (!value.IsObject()) {
    error = "a definition must be an object, not " + std::string(json::TypeName(value.type()));
    return std::nullopt;
  }
  if (!HasExactKeys(value, {"name", "allChannels", "channels"}, error))
    return std::nullopt;

  DefinitionInput input;
  const json::Value& name = *value.Find("name");
  if (!name.IsString()) {
    error = "\"name\" must be a string";
    return std::nullopt;
  }
  std::optional<std::string> bytes = Utf8ToLatin1(name.AsString());
  if (!bytes) {
    error = "the name \"" + name.AsString() +
            "\" has a character above U+00FF; names hold ISO 8859-1 characters only";
    return std::nullopt;
  }
  input.name = std::move(*bytes);

  if (!Int32Of(*value.Find("allChannels"), "\"allChannels\"", input.allChannels, error))
    return std::nullopt;
  if (input.allChannels != 0 && input.allChannels != 1) {
    error = "\"allChannels\" must be 0 or 1";
    return std::nullopt;
  }

  const json::Value& channels = *value.Find("channels");
  if (!channels.IsArray() || channels.AsArray().size() != kChannelCount) {
    error = "\"channels\" must be an array of four channels (cyan, magenta, yellow, black)";
    return std::nullopt;
  }
  for (int c = 0; c < kChannelCount; ++c) {
    const json::Value& channel = channels.AsArray()[c];
    const std::string where = std::string(ChannelName(c)) + " channel";
    if (!channel.IsObject()) {
      error = "the " + where + " must be an object";
      return std::nullopt;
    }
    if (!HasExactKeys(channel, {"points", "gamma"}, error)) {
      error = "the " + where + ": " + error;
      return std::nullopt;
    }
    const json::Value& points = *channel.Find("points");
    if (!points.IsArray() || points.AsArray().size() != kPointCount) {
      error = "the " + where + ": \"points\" must be an array of 13 integers";
      return std::nullopt;
    }
    for (int i = 0; i < kPointCount; ++i) {
      if (!Int32Of(points.AsArray()[i], "the " + where + ": point " + std::to_string(i + 1),
                   input.channels[c].points[i], error))
        return std::nullopt;
    }
    if (!Int32Of(*channel.Find("gamma"), "the " + where + ": \"gamma\"", input.channels[c].gamma,
                 error))
      return std::nullopt;
  }
  return input;
}

std::optional<Refusal> StoreRefusal(const DefinitionInput& input, const StringSource& strings) {
  auto refuse = [&strings](int id, int channel) { return Refusal{id, strings.Load(id), channel}; };
  if (input.name.empty())
    return refuse(sid::kNameThisSetting, -1);
  if (input.name.size() > kMaxNameLength) {
    return Refusal{0,
                   "The name has " + std::to_string(input.name.size()) + " bytes; at most " +
                       std::to_string(kMaxNameLength) + " are allowed.",
                   -1};
  }
  for (char c : input.name) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x20 || b == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "0x%02X", b);
      return Refusal{0, std::string("The name contains the control character ") + buf + ".", -1};
    }
  }
  const int last = input.allChannels == 1 ? kCyan : kBlack;
  for (int c = 0; c <= last; ++c) {
    const ToneCurve& curve = input.channels[c];
    if (curve.points[0] == kUnset || curve.points[kPointCount - 1] == kUnset)
      return refuse(sid::kNoEndPoints, c);
    for (int i = 0; i < kPointCount; ++i) {
      const int32_t p = curve.points[i];
      if (p != kUnset && (p < 0 || p > 10000))
        return refuse(sid::kFirstPointOutOfRange + i, c);
    }
    if (curve.gamma != kUnset && (curve.gamma < 1 || curve.gamma > 9999))
      return refuse(sid::kGammaOutOfRange, c);
  }
  return std::nullopt;
}

DensityDef MakeRecord(const DefinitionInput& input, const DensityDef& base) {
  DensityDef def = base;
  SetName(def, input.name);
  def.allChannels = input.allChannels;
  for (int c = 0; c < kChannelCount; ++c) def.channels[c] = input.channels[c];
  if (def.allChannels == 1) {
    for (int c = kMagenta; c < kChannelCount; ++c) def.channels[c] = def.channels[kCyan];
  }
  return def;
}

namespace {

std::string PointText(int32_t value) {
  return value == kUnset ? "-" : FormatHundredths(value);
}

void PrintCurveRow(std::ostream& out, std::string_view label, const ToneCurve& curve) {
  out << "  " << std::left << std::setw(8) << label << std::right;
  for (int32_t p : curve.points) out << std::setw(6) << PointText(p);
  out << std::setw(7) << PointText(curve.gamma) << '\n';
}

void PrintTable(std::ostream& out, const std::vector<const DensityDef*>& defs) {
  for (std::size_t n = 0; n < defs.size(); ++n) {
    const DensityDef& def = *defs[n];
    if (n > 0)
      out << '\n';
    out << DisplayName(NameOf(def))
        << (def.allChannels == 1 ? "  (one curve for all colours)" : "  (a curve per colour)")
        << '\n';
    out << "  " << std::left << std::setw(8) << "input %" << std::right;
    for (int input : ControlInputs) out << std::setw(6) << input;
    out << std::setw(7) << "gamma" << '\n';
    if (def.allChannels == 1) {
      PrintCurveRow(out, "all", def.channels[kCyan]);
    } else {
      for (int c = 0; c < kChannelCount; ++c) PrintCurveRow(out, ChannelName(c), def.channels[c]);
    }
  }
}

}  // namespace

void PrintDefinitions(std::ostream& out, const std::vector<const DensityDef*>& defs,
                      bool asJson) {
  if (asJson) {
    json::Array array;
    for (const DensityDef* def : defs) array.push_back(DefinitionToJson(*def));
    out << json::Write(json::Value(std::move(array)), true) << '\n';
  } else {
    PrintTable(out, defs);
  }
}

}  // namespace tonalis::cli
