// Strict JSON reading into a value tree, validation without a tree, and the
// compact writer with sorted keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace pelrin::json {

// The twenty reasons a document is refused. description() gives the text.
enum class ErrorCode : std::uint8_t {
  kEofWhileParsingList,
  kEofWhileParsingObject,
  kEofWhileParsingString,
  kEofWhileParsingValue,
  kExpectedColon,
  kExpectedListCommaOrEnd,
  kExpectedObjectCommaOrEnd,
  kExpectedSomeIdent,
  kExpectedSomeValue,
  kInvalidEscape,
  kInvalidNumber,
  kNumberOutOfRange,
  kInvalidUnicodeCodePoint,
  kControlCharacterWhileParsingString,
  kKeyMustBeAString,
  kLoneLeadingSurrogateInHexEscape,
  kUnexpectedEndOfHexEscape,
  kTrailingComma,
  kTrailingCharacters,
  kRecursionLimitExceeded,
};

// "EOF while parsing a list", "expected `:`", ... (static text).
const char* description(ErrorCode code) noexcept;

// Where the reader stopped. Lines count from 1. The column is the number of
// bytes of that line up to and including the character the reader stopped
// at, so the first character of a line is column 1 and a stop right after a
// line feed (a line feed inside a string) is column 0 of the next line.
struct ParseError {
  ErrorCode code = ErrorCode::kEofWhileParsingValue;
  std::size_t line = 1;
  std::size_t column = 0;

  // "<description> at line L column C".
  std::string message() const;
};

// The type of a JSON value. Integers written without fraction and exponent
// that fit 64 bits are kInt (negative) or kUint (zero and positive); every
// other number is kFloat.
enum class Kind : std::uint8_t { kNull, kBool, kInt, kUint, kFloat, kString, kArray, kObject };

class Value;
using Array = std::vector<Value>;
struct Member;
// Object members sorted by the UTF-8 bytes of their keys, keys distinct.
using Object = std::vector<Member>;

class Value {
 public:
  // Defined below, once Member is complete.
  Value();
  explicit Value(bool b);
  explicit Value(std::int64_t i);
  explicit Value(std::uint64_t u);
  explicit Value(double d);
  explicit Value(std::string s);
  explicit Value(Array a);
  explicit Value(Object o);

  Kind kind() const noexcept { return static_cast<Kind>(v_.index()); }
  bool as_bool() const { return std::get<bool>(v_); }
  std::int64_t as_int() const { return std::get<std::int64_t>(v_); }
  std::uint64_t as_uint() const { return std::get<std::uint64_t>(v_); }
  double as_float() const { return std::get<double>(v_); }
  const std::string& as_string() const { return std::get<std::string>(v_); }
  const Array& as_array() const { return std::get<Array>(v_); }
  const Object& as_object() const { return std::get<Object>(v_); }

  // The member named `key` of an object, or nullptr (also for non-objects).
  const Value* find(std::string_view key) const;

  friend bool operator==(const Value& a, const Value& b);

 private:
  std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string, Array,
               Object>
      v_;
};

struct Member {
  std::string key;
  Value value;
  friend bool operator==(const Member& a, const Member& b) = default;
};

inline Value::Value() = default;
inline Value::Value(bool b) : v_(b) {}
inline Value::Value(std::int64_t i) : v_(i) {}
inline Value::Value(std::uint64_t u) : v_(u) {}
inline Value::Value(double d) : v_(d) {}
inline Value::Value(std::string s) : v_(std::move(s)) {}
inline Value::Value(Array a) : v_(std::move(a)) {}
inline Value::Value(Object o) : v_(std::move(o)) {}

// Deepest nesting of arrays and objects a document may have.
inline constexpr int kMaxDepth = 127;

// Outcome of reading: the value, or the first error.
struct ParseResult {
  Value value;
  bool ok = false;
  ParseError error;
};

// Reads one strict JSON document: a single value with optional surrounding
// spaces, tabs, line feeds and carriage returns. Strings must be valid UTF-8
// (checked once the closing quote is reached). Arrays and objects nest at
// most kMaxDepth levels. A later duplicate key replaces the earlier value.
ParseResult parse(std::string_view text);

// Outcome of validating: the top-level kind, or the first error. Exactly
// the documents that parse() accepts are accepted, with the same errors.
struct ValidateResult {
  Kind kind = Kind::kNull;
  bool ok = false;
  ParseError error;
};
ValidateResult validate(std::string_view text);

// Whether validate(text) accepts the document.
inline bool is_valid(std::string_view text) { return validate(text).ok; }

// Walks the members of an object document that validate() accepted (the
// text must be such a document): calls fn(ctx, key, raw_value) for each
// member in document order, with the key decoded and the raw text of the
// value (a string value still quoted and escaped). Later members with the
// same key come later, so a caller that keeps the last one sees what
// parse() would keep.
void for_each_member(std::string_view object_text,
                     void (*fn)(void* ctx, std::string_view key, std::string_view raw_value),
                     void* ctx);

// The text of a string literal that validate() accepted (quotes included).
std::string decode_string(std::string_view raw_literal);

// Compact JSON: no whitespace, object keys in their stored (sorted) order,
// minimal string escaping (\" \\ \b \t \n \f \r, other bytes below 0x20 as
// \u00xx, everything else as it is), integers as integers and floats in
// write_float's layout. Non-finite floats, which the reader never produces,
// are written as null.
std::string write(const Value& value);
void write_to(const Value& value, std::string& out);

// The float layout of the writer: "-" when negative, "0.0" for zero, else
// the shortest round-trip digits, positional when the decimal exponent of
// the leading digit is within -5..15 (a whole value gets ".0"), otherwise
// scientific as d[.ddd]e+X / d[.ddd]e-X.
void write_float(double value, std::string& out);

// Appends `text` as a JSON string literal with the writer's escaping.
void write_string(std::string_view text, std::string& out);

}  // namespace pelrin::json
