// A small, strict JSON reader and writer for the command line's input and
// output (RFC 8259 without extensions).
//
// The reader refuses what a lenient one would guess at: comments, trailing
// commas, single quotes, leading zeros, invalid UTF-8, unescaped control
// characters, lone surrogates, duplicate object keys and anything after the
// value. Numbers written without fraction or exponent are kept as exact
// 64-bit integers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tonalis::json {

class Value;
using Array = std::vector<Value>;
// Members in the order they were read or added.
using Object = std::vector<std::pair<std::string, Value>>;

class Value {
 public:
  enum class Type { Null, Bool, Integer, Number, String, Array, Object };

  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool b) : data_(b) {}
  Value(int v) : data_(int64_t{v}) {}
  Value(int64_t v) : data_(v) {}
  Value(double v) : data_(v) {}
  Value(std::string s) : data_(std::move(s)) {}
  Value(const char* s) : data_(std::string(s)) {}
  Value(Array a) : data_(std::move(a)) {}
  Value(Object o) : data_(std::move(o)) {}

  Type type() const { return static_cast<Type>(data_.index()); }
  bool IsInteger() const { return type() == Type::Integer; }
  bool IsString() const { return type() == Type::String; }
  bool IsArray() const { return type() == Type::Array; }
  bool IsObject() const { return type() == Type::Object; }

  // Each accessor requires the matching type.
  bool AsBool() const { return std::get<bool>(data_); }
  int64_t AsInteger() const { return std::get<int64_t>(data_); }
  double AsNumber() const;  // Integer or Number
  const std::string& AsString() const { return std::get<std::string>(data_); }
  const Array& AsArray() const { return std::get<Array>(data_); }
  const Object& AsObject() const { return std::get<Object>(data_); }

  // The member `key` of an object, or null when absent or not an object.
  const Value* Find(std::string_view key) const;

  bool operator==(const Value&) const = default;

 private:
  std::variant<std::nullptr_t, bool, int64_t, double, std::string, Array, Object> data_;
};

// The name of a type for messages: "an integer", "a string", ...
std::string_view TypeName(Value::Type type);

struct ParseError {
  std::string message;
  std::size_t line = 0;    // 1-based
  std::size_t column = 0;  // 1-based, in bytes
};

std::optional<Value> Parse(std::string_view text, ParseError& error);

// Compact output with ", " and ": " between items. With `pretty`, containers
// that hold further containers more than one level deep are spread over
// indented lines; smaller ones stay on one line. Strings are written as
// UTF-8 with control characters and DEL escaped.
std::string Write(const Value& value, bool pretty = false);

}  // namespace tonalis::json
