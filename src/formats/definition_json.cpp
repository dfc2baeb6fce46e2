#include "formats/definition_json.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <iterator>
#include <limits>

#include "model/latin1_compose.h"
#include "model/value_text.h"

namespace tonalis::cli {

std::optional<std::string> Utf8ToLatin1(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<uint8_t>(utf8[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      continue;
    }
    // A letter written decomposed (NFD) is the same name as the
    // precomposed one: a combining mark U+0300..U+0327 (CC 80 .. CC A7)
    // joins the ASCII letter before it.
    if (b == 0xCC && i + 1 < utf8.size() && !out.empty() &&
        static_cast<uint8_t>(out.back()) < 0x80) {
      const auto next = static_cast<uint8_t>(utf8[i + 1]);
      if (next >= 0x80 && next <= 0xA7) {
        if (const uint8_t letter = ComposeLatin1(out.back(), 0x0300 + (next & 0x3F))) {
          out.back() = static_cast<char>(letter);
          ++i;
          continue;
        }
      }
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
    if (!IsNameByte(b)) {
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
  constexpr const auto& kNames = kChannelWords;
  return channel >= 0 && channel < kChannelCount ? kNames[channel] : "";
}

namespace {

constexpr int kMaxDepth = 64;

// Why a document that the JSON grammar allows is refused anyway.
struct Refused {
  std::string message;
  std::size_t offset;  // where, in bytes from the start
};

// Walks the text for the parser and remembers how far it has read, so that
// a refusal made while parsing can say where it is.
class TrackingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  TrackingIterator(const char* p, const char** furthest) : p_(p), furthest_(furthest) {}
  reference operator*() const { return *p_; }
  TrackingIterator& operator++() {
    *furthest_ = ++p_;
    return *this;
  }
  TrackingIterator operator++(int) {
    TrackingIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const TrackingIterator& other) const { return p_ == other.p_; }

 private:
  const char* p_;
  const char** furthest_;
};

// The start of the string whose closing quote ends just before `end`.
std::size_t StringStart(std::string_view text, std::size_t end) {
  std::size_t i = end >= 2 ? end - 2 : 0;
  for (; i > 0; --i) {
    if (text[i] != '"')
      continue;
    std::size_t backslashes = 0;
    while (backslashes < i && text[i - 1 - backslashes] == '\\') ++backslashes;
    if (backslashes % 2 == 0)
      break;
  }
  return i;
}

void SetPosition(std::string_view text, std::size_t offset, JsonError& error) {
  error.line = 1;
  error.column = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++error.line;
      error.column = 1;
    } else {
      ++error.column;
    }
  }
}

// The parser's message without its own prefix and position.
std::string ParserMessage(const std::string& what) {
  std::size_t at = what.find(", column ");
  if (at != std::string::npos)
    at = what.find(": ", at);
  if (at == std::string::npos) {
    at = what.find("] ");
    return at == std::string::npos ? what : what.substr(at + 2);
  }
  return what.substr(at + 2);
}

}  // namespace

std::optional<Json> ParseJson(std::string_view text, JsonError& error) {
  error = {};
  const char* furthest = text.data();
  std::vector<std::vector<std::string>> keys;  // of each open object
  const Json::parser_callback_t check = [&](int depth, Json::parse_event_t event, Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
      case Json::parse_event_t::array_start:
        if (depth >= kMaxDepth)
          throw Refused{"nested too deeply", std::size_t(furthest - text.data()) - 1};
        if (event == Json::parse_event_t::object_start)
          keys.emplace_back();
        break;
      case Json::parse_event_t::key: {
        std::vector<std::string>& seen = keys.back();
        const std::string& key = parsed.get_ref<const std::string&>();
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
          throw Refused{"duplicate member \"" + key + "\"",
                        StringStart(text, std::size_t(furthest - text.data()))};
        }
        seen.push_back(key);
        break;
      }
      case Json::parse_event_t::object_end:
        keys.pop_back();
        break;
      default:
        break;
    }
    return true;
  };
  const TrackingIterator begin(text.data(), &furthest);
  const TrackingIterator end(text.data() + text.size(), &furthest);
  try {
    return Json::parse(begin, end, check);
  } catch (const Refused& refused) {
    error.message = refused.message;
    SetPosition(text, refused.offset, error);
  } catch (const Json::parse_error& e) {
    error.message = ParserMessage(e.what());
    SetPosition(text, e.byte > 0 ? e.byte - 1 : 0, error);
  } catch (const Json::exception& e) {
    // A number too large for any representation.
    error.message = ParserMessage(e.what());
    SetPosition(text, std::size_t(furthest - text.data()), error);
  }
  return std::nullopt;
}

namespace {

void WriteString(const std::string& s, std::string& out) {
  out.push_back('"');
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    const auto u = static_cast<uint8_t>(c);
    const auto next = i + 1 < s.size() ? static_cast<uint8_t>(s[i + 1]) : uint8_t{0};
    if (u == 0xC2 && next >= 0x80 && next <= 0x9F) {
      // U+0080 to U+009F (C1 controls) are escaped like C0 ones, so that the
      // JSON shows no control character to a terminal.
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", next);
      out += buf;
      ++i;
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", u);
          out += buf;
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
}

// How many levels of containers `v` holds inside itself.
int InnerDepth(const Json& v) {
  int depth = 0;
  if (v.is_structured()) {
    for (const Json& item : v)
      if (item.is_structured())
        depth = std::max(depth, 1 + InnerDepth(item));
  }
  return depth;
}

void WriteValue(const Json& v, int indent, std::string& out) {
  const bool spread = InnerDepth(v) > 1;
  auto separate = [&](bool first) {
    if (!first)
      out += spread ? "," : ", ";
    if (spread) {
      out.push_back('\n');
      out.append(static_cast<std::size_t>(2 * (indent + 1)), ' ');
    }
  };
  auto close = [&](char c) {
    if (spread && !v.empty()) {
      out.push_back('\n');
      out.append(static_cast<std::size_t>(2 * indent), ' ');
    }
    out.push_back(c);
  };
  switch (v.type()) {
    case Json::value_t::array: {
      out.push_back('[');
      bool first = true;
      for (const Json& item : v) {
        separate(first);
        first = false;
        WriteValue(item, indent + 1, out);
      }
      close(']');
      break;
    }
    case Json::value_t::object: {
      out.push_back('{');
      bool first = true;
      for (const auto& [key, item] : v.items()) {
        separate(first);
        first = false;
        WriteString(key, out);
        out += ": ";
        WriteValue(item, indent + 1, out);
      }
      close('}');
      break;
    }
    case Json::value_t::string:
      WriteString(v.get_ref<const std::string&>(), out);
      break;
    case Json::value_t::number_float: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.17g", v.get<double>());
      out += buf;
      break;
    }
    default:  // null, booleans, integers
      out += v.dump();
  }
}

}  // namespace

std::string WriteJson(const Json& value) {
  std::string out;
  WriteValue(value, 0, out);
  return out;
}

Json DefinitionToJson(const DensityDef& def) {
  Json channels = Json::array();
  for (const ToneCurve& c : def.channels) {
    Json points = Json::array();
    for (int32_t p : c.points) points.push_back(p);
    channels.push_back(Json{{"points", std::move(points)}, {"gamma", c.gamma}});
  }
  // A name fills at most kMaxNameLength bytes of its field, as every way in
  // stores it; the rest of a damaged, unterminated field is left out, so
  // that put takes back what is printed.
  return Json{{"name", Latin1ToUtf8(NameOf(def).substr(0, kMaxNameLength))},
              {"allChannels", def.allChannels},
              {"channels", std::move(channels)}};
}

namespace {

std::string TypeName(const Json& v) {
  switch (v.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return "a boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
      return "an integer";
    case Json::value_t::number_float:
      return "a number";
    case Json::value_t::string:
      return "a string";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::object:
      return "an object";
    default:
      return "a value";
  }
}

// The object's members must be exactly `keys`, in any order.
bool HasExactKeys(const Json& v, std::initializer_list<std::string_view> keys,
                  std::string& error) {
  for (const auto& [key, member] : v.items()) {
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
      error = "unknown member \"" + key + "\"";
      return false;
    }
  }
  for (std::string_view k : keys) {
    if (!v.contains(k)) {
      error = "missing member \"" + std::string(k) + "\"";
      return false;
    }
  }
  return true;
}

bool Int32Of(const Json& v, const std::string& what, int32_t& out, std::string& error) {
  if (!v.is_number_integer()) {
    error = what + " must be an integer, not " + TypeName(v);
    return false;
  }
  const bool inRange = v.is_number_unsigned()
                           ? v.get<uint64_t>() <= uint64_t{std::numeric_limits<int32_t>::max()}
                           : v.get<int64_t>() >= std::numeric_limits<int32_t>::min() &&
                                 v.get<int64_t>() <= std::numeric_limits<int32_t>::max();
  if (!inRange) {
    error = what + " is outside the 32-bit range";
    return false;
  }
  out = v.get<int32_t>();
  return true;
}

// The members of `value` into `def`; false with `error` set when the object
// is not of the definition form.
bool ReadShape(const Json& value, JsonDefinition& def, std::string& error) {
  if (!value.is_object()) {
    error = "a definition must be an object, not " + TypeName(value);
    return false;
  }
  if (!HasExactKeys(value, {"name", "allChannels", "channels"}, error))
    return false;
  const Json& name = value["name"];
  if (!name.is_string()) {
    error = "\"name\" must be a string";
    return false;
  }
  std::optional<std::string> bytes = Utf8ToLatin1(name.get_ref<const std::string&>());
  if (!bytes) {
    error = "the name \"" + name.get<std::string>() +
            "\" has a character above U+00FF; names hold ISO 8859-1 characters only";
    return false;
  }
  def.name = std::move(*bytes);

  DensityDef& record = def.record;
  if (const Json& all = value["allChannels"]; all.is_boolean())
    record.allChannels = all.get<bool>() ? 1 : 0;
  else if (!Int32Of(all, "\"allChannels\"", record.allChannels, error))
    return false;
  if (record.allChannels != 0 && record.allChannels != 1) {
    error = "\"allChannels\" must be 0 or 1 (or false or true)";
    return false;
  }
  const Json& channels = value["channels"];
  if (!channels.is_array() || channels.size() != kChannelCount) {
    error = "\"channels\" must be an array of four channels (cyan, magenta, yellow, black)";
    return false;
  }
  for (int c = 0; c < kChannelCount; ++c) {
    const Json& channel = channels[static_cast<std::size_t>(c)];
    const std::string where = "the " + std::string(ChannelName(c)) + " channel";
    if (!channel.is_object()) {
      error = where + " must be an object";
      return false;
    }
    if (!HasExactKeys(channel, {"points", "gamma"}, error)) {
      error = where + ": " + error;
      return false;
    }
    const Json& points = channel["points"];
    if (!points.is_array() || points.size() != kPointCount) {
      error = where + ": \"points\" must be an array of 13 integers";
      return false;
    }
    ToneCurve& curve = record.channels[c];
    for (int i = 0; i < kPointCount; ++i) {
      if (!Int32Of(points[static_cast<std::size_t>(i)], where + ": point " + std::to_string(i + 1),
                   curve.points[i], error))
        return false;
    }
    if (!Int32Of(channel["gamma"], where + ": \"gamma\"", curve.gamma, error))
      return false;
  }
  return true;
}

}  // namespace

JsonDefinition DefinitionFromJson(const Json& value, const StringSource& strings) {
  JsonDefinition def;
  if (!ReadShape(value, def, def.error))
    return def;
  // The name rule first: a name the record cannot hold whole is refused,
  // not cut short.
  def.refusal = ValidateName(def.name, strings);
  if (def.refusal)
    return def;
  SetName(def.record, def.name);
  if (def.record.allChannels == 1) {
    for (int c = kMagenta; c < kChannelCount; ++c) def.record.channels[c] = def.record.channels[kCyan];
  }
  def.refusal = Validate(def.record, strings);
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
    Json array = Json::array();
    for (const DensityDef* def : defs) array.push_back(DefinitionToJson(*def));
    out << WriteJson(array) << '\n';
  } else {
    PrintTable(out, defs);
  }
}

}  // namespace tonalis::cli
