#include "formats/json.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tonalis::json {

double Value::AsNumber() const {
  if (IsInteger())
    return static_cast<double>(AsInteger());
  return std::get<double>(data_);
}

const Value* Value::Find(std::string_view key) const {
  if (!IsObject())
    return nullptr;
  for (const auto& [k, v] : AsObject()) {
    if (k == key)
      return &v;
  }
  return nullptr;
}

std::string_view TypeName(Value::Type type) {
  switch (type) {
    case Value::Type::Null:
      return "null";
    case Value::Type::Bool:
      return "a boolean";
    case Value::Type::Integer:
      return "an integer";
    case Value::Type::Number:
      return "a number";
    case Value::Type::String:
      return "a string";
    case Value::Type::Array:
      return "an array";
    case Value::Type::Object:
      return "an object";
  }
  return "a value";
}

namespace {

constexpr int kMaxDepth = 64;

class Parser {
 public:
  Parser(std::string_view text, ParseError& error) : text_(text), error_(error) {}

  std::optional<Value> Document() {
    SkipSpace();
    std::optional<Value> v = ParseValue(0);
    if (!v)
      return std::nullopt;
    SkipSpace();
    if (pos_ != text_.size())
      return Fail("unexpected text after the value");
    return v;
  }

 private:
  std::nullopt_t Fail(std::string message) {
    if (error_.message.empty()) {
      error_.message = std::move(message);
      error_.line = 1;
      error_.column = 1;
      for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i) {
        if (text_[i] == '\n') {
          ++error_.line;
          error_.column = 1;
        } else {
          ++error_.column;
        }
      }
    }
    return std::nullopt;
  }

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r'))
      ++pos_;
  }

  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word)
      return false;
    pos_ += word.size();
    return true;
  }

  std::optional<Value> ParseValue(int depth) {
    if (depth > kMaxDepth)
      return Fail("nested too deeply");
    if (AtEnd())
      return Fail("unexpected end of input");
    switch (Peek()) {
      case '{':
        return ParseObject(depth);
      case '[':
        return ParseArray(depth);
      case '"': {
        std::optional<std::string> s = ParseString();
        if (!s)
          return std::nullopt;
        return Value(std::move(*s));
      }
      case 't':
        if (Literal("true"))
          return Value(true);
        break;
      case 'f':
        if (Literal("false"))
          return Value(false);
        break;
      case 'n':
        if (Literal("null"))
          return Value(nullptr);
        break;
      default:
        if (Peek() == '-' || (Peek() >= '0' && Peek() <= '9'))
          return ParseNumber();
    }
    return Fail("unexpected character");
  }

  std::optional<Value> ParseObject(int depth) {
    ++pos_;  // {
    Object members;
    SkipSpace();
    if (Peek() == '}') {
      ++pos_;
      return Value(std::move(members));
    }
    for (;;) {
      SkipSpace();
      if (Peek() != '"')
        return Fail("expected a member name in double quotes");
      const std::size_t keyAt = pos_;
      std::optional<std::string> key = ParseString();
      if (!key)
        return std::nullopt;
      for (const auto& m : members) {
        if (m.first == *key) {
          pos_ = keyAt;
          return Fail("duplicate member \"" + *key + "\"");
        }
      }
      SkipSpace();
      if (Peek() != ':')
        return Fail("expected ':'");
      ++pos_;
      SkipSpace();
      std::optional<Value> v = ParseValue(depth + 1);
      if (!v)
        return std::nullopt;
      members.emplace_back(std::move(*key), std::move(*v));
      SkipSpace();
      if (Peek() == ',') {
        ++pos_;
        continue;
      }
      if (Peek() == '}') {
        ++pos_;
        return Value(std::move(members));
      }
      return Fail("expected ',' or '}'");
    }
  }

  std::optional<Value> ParseArray(int depth) {
    ++pos_;  // [
    Array items;
    SkipSpace();
    if (Peek() == ']') {
      ++pos_;
      return Value(std::move(items));
    }
    for (;;) {
      SkipSpace();
      std::optional<Value> v = ParseValue(depth + 1);
      if (!v)
        return std::nullopt;
      items.push_back(std::move(*v));
      SkipSpace();
      if (Peek() == ',') {
        ++pos_;
        continue;
      }
      if (Peek() == ']') {
        ++pos_;
        return Value(std::move(items));
      }
      return Fail("expected ',' or ']'");
    }
  }

  std::optional<Value> ParseNumber() {
    const std::size_t start = pos_;
    auto digits = [this] {
      std::size_t n = 0;
      while (Peek() >= '0' && Peek() <= '9') {
        ++pos_;
        ++n;
      }
      return n;
    };
    if (Peek() == '-')
      ++pos_;
    if (Peek() == '0') {
      ++pos_;
      if (Peek() >= '0' && Peek() <= '9')
        return Fail("leading zeros are not allowed");
    } else if (digits() == 0) {
      return Fail("expected a digit");
    }
    bool integral = true;
    if (Peek() == '.') {
      ++pos_;
      integral = false;
      if (digits() == 0)
        return Fail("expected a digit after '.'");
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++pos_;
      integral = false;
      if (Peek() == '+' || Peek() == '-')
        ++pos_;
      if (digits() == 0)
        return Fail("expected a digit in the exponent");
    }
    const std::string literal(text_.substr(start, pos_ - start));
    if (integral) {
      errno = 0;
      char* end = nullptr;
      const long long v = std::strtoll(literal.c_str(), &end, 10);
      if (errno == 0)
        return Value(static_cast<int64_t>(v));
      // Too large for an integer: kept as a number.
    }
    const double d = std::strtod(literal.c_str(), nullptr);
    if (!std::isfinite(d)) {
      pos_ = start;
      return Fail("number out of range");
    }
    return Value(d);
  }

  int Hex4() {
    if (pos_ + 4 > text_.size())
      return -1;
    int v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_ + i];
      v <<= 4;
      if (c >= '0' && c <= '9')
        v |= c - '0';
      else if (c >= 'a' && c <= 'f')
        v |= c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        v |= c - 'A' + 10;
      else
        return -1;
    }
    pos_ += 4;
    return v;
  }

  static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  // Length of the valid UTF-8 sequence at pos_, or 0.
  std::size_t Utf8Length() const {
    auto byte = [this](std::size_t i) {
      return pos_ + i < text_.size() ? static_cast<uint8_t>(text_[pos_ + i]) : 0;
    };
    auto cont = [&byte](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
    const uint8_t b0 = byte(0);
    if (b0 < 0x80)
      return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF)
      return cont(1) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
      const uint8_t b1 = byte(1);
      if (b0 == 0xE0 && b1 < 0xA0)
        return 0;  // overlong
      if (b0 == 0xED && b1 >= 0xA0)
        return 0;  // surrogate
      return cont(1) && cont(2) ? 3 : 0;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
      const uint8_t b1 = byte(1);
      if (b0 == 0xF0 && b1 < 0x90)
        return 0;  // overlong
      if (b0 == 0xF4 && b1 >= 0x90)
        return 0;  // above U+10FFFF
      return cont(1) && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
  }

  std::optional<std::string> ParseString() {
    ++pos_;  // opening quote
    std::string out;
    for (;;) {
      if (AtEnd())
        return Fail("unterminated string");
      const char c = Peek();
      if (c == '"') {
        ++pos_;
        return out;
      }
      if (static_cast<uint8_t>(c) < 0x20)
        return Fail("control character in a string; use an escape");
      if (c == '\\') {
        ++pos_;
        const char e = Peek();
        ++pos_;
        switch (e) {
          case '"':
            out.push_back('"');
            break;
          case '\\':
            out.push_back('\\');
            break;
          case '/':
            out.push_back('/');
            break;
          case 'b':
            out.push_back('\b');
            break;
          case 'f':
            out.push_back('\f');
            break;
          case 'n':
            out.push_back('\n');
            break;
          case 'r':
            out.push_back('\r');
            break;
          case 't':
            out.push_back('\t');
            break;
          case 'u': {
            int cp = Hex4();
            if (cp < 0)
              return Fail("expected four hexadecimal digits after \\u");
            if (cp >= 0xDC00 && cp <= 0xDFFF)
              return Fail("lone low surrogate");
            if (cp >= 0xD800 && cp <= 0xDBFF) {
              if (!Literal("\\u"))
                return Fail("lone high surrogate");
              const int low = Hex4();
              if (low < 0xDC00 || low > 0xDFFF)
                return Fail("lone high surrogate");
              cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            AppendUtf8(out, static_cast<uint32_t>(cp));
            break;
          }
          default:
            --pos_;
            return Fail("unknown escape");
        }
        continue;
      }
      const std::size_t len = Utf8Length();
      if (len == 0)
        return Fail("invalid UTF-8");
      out.append(text_.substr(pos_, len));
      pos_ += len;
    }
  }

  std::string_view text_;
  ParseError& error_;
  std::size_t pos_ = 0;
};

void WriteString(const std::string& s, std::string& out) {
  out.push_back('"');
  for (char c : s) {
    const auto u = static_cast<uint8_t>(c);
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
int InnerDepth(const Value& v) {
  int depth = 0;
  if (v.IsArray()) {
    for (const Value& item : v.AsArray())
      if (item.IsArray() || item.IsObject())
        depth = std::max(depth, 1 + InnerDepth(item));
  } else if (v.IsObject()) {
    for (const auto& [k, item] : v.AsObject())
      if (item.IsArray() || item.IsObject())
        depth = std::max(depth, 1 + InnerDepth(item));
  }
  return depth;
}

void WriteValue(const Value& v, bool pretty, int indent, std::string& out) {
  const bool spread = pretty && InnerDepth(v) > 1;
  auto newline = [&out](int level) {
    out.push_back('\n');
    out.append(static_cast<std::size_t>(2 * level), ' ');
  };
  switch (v.type()) {
    case Value::Type::Null:
      out += "null";
      break;
    case Value::Type::Bool:
      out += v.AsBool() ? "true" : "false";
      break;
    case Value::Type::Integer:
      out += std::to_string(v.AsInteger());
      break;
    case Value::Type::Number: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.17g", v.AsNumber());
      out += buf;
      break;
    }
    case Value::Type::String:
      WriteString(v.AsString(), out);
      break;
    case Value::Type::Array: {
      const Array& items = v.AsArray();
      out.push_back('[');
      for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
          out += spread ? "," : ", ";
        if (spread)
          newline(indent + 1);
        WriteValue(items[i], pretty, indent + 1, out);
      }
      if (spread && !items.empty())
        newline(indent);
      out.push_back(']');
      break;
    }
    case Value::Type::Object: {
      const Object& members = v.AsObject();
      out.push_back('{');
      for (std::size_t i = 0; i < members.size(); ++i) {
        if (i > 0)
          out += spread ? "," : ", ";
        if (spread)
          newline(indent + 1);
        WriteString(members[i].first, out);
        out += ": ";
        WriteValue(members[i].second, pretty, indent + 1, out);
      }
      if (spread && !members.empty())
        newline(indent);
      out.push_back('}');
      break;
    }
  }
}

}  // namespace

std::optional<Value> Parse(std::string_view text, ParseError& error) {
  error = {};
  return Parser(text, error).Document();
}

std::string Write(const Value& value, bool pretty) {
  std::string out;
  WriteValue(value, pretty, 0, out);
  return out;
}

}  // namespace tonalis::json
