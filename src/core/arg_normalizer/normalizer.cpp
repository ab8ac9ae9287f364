// Argument-string normalisation over the strict reader and the repair pass.
#include "core/arg_normalizer/normalizer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

#include "core/base/float_format.h"
#include "core/base/unicode.h"
#include "core/base/utf8.h"
#include "core/json_repair/repair.h"
#include "core/platform/json.h"

namespace pelrin::arg_normalizer {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string_view trim_white_space(std::string_view s) {
  std::size_t begin = 0;
  while (begin < s.size()) {
    const std::size_t w = unicode::white_space_length(s, begin);
    if (w == 0) break;
    begin += w;
  }
  std::size_t end = begin;
  std::size_t pos = begin;
  while (pos < s.size()) {
    const std::size_t w = unicode::white_space_length(s, pos);
    if (w != 0) {
      pos += w;
    } else {
      pos += utf8::sequence_length(static_cast<unsigned char>(s[pos]));
      end = std::min(pos, s.size());
    }
  }
  return s.substr(begin, end - begin);
}

// The lower-case ASCII form when s is all ASCII. No other character has a
// full lower-case form made of ASCII letters other than "k", so the word
// tests below need nothing more.
bool ascii_lower_equals(std::string_view s, std::string_view word) {
  if (s.size() != word.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

bool parse_int64(std::string_view s, std::int64_t& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i >= s.size()) return false;
  std::uint64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    if (!is_digit(s[i])) return false;
    const auto d = static_cast<std::uint64_t>(s[i] - '0');
    if (magnitude > (std::numeric_limits<std::uint64_t>::max() - d) / 10) return false;
    magnitude = magnitude * 10 + d;
  }
  const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
  if (magnitude > limit) return false;
  out = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

// The float grammar: [+-] then inf, infinity or nan in any case, or digits
// with an optional fraction (at least one digit in all) and an optional
// exponent. Out-of-range magnitudes round to infinity or zero.
bool parse_float(std::string_view s, double& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::string_view body = s.substr(i);
  if (ascii_lower_equals(body, "inf") || ascii_lower_equals(body, "infinity")) {
    out = negative ? -std::numeric_limits<double>::infinity()
                   : std::numeric_limits<double>::infinity();
    return true;
  }
  if (ascii_lower_equals(body, "nan")) {
    out = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  // Syntax, and the decimal exponent of the leading non-zero digit, which
  // tells overflow from underflow when the conversion is out of range.
  std::size_t j = 0;
  std::int64_t int_digits = 0;
  std::int64_t leading = std::numeric_limits<std::int64_t>::min();
  std::int64_t digits_seen = 0;
  while (j < body.size() && is_digit(body[j])) {
    if (body[j] != '0' && leading == std::numeric_limits<std::int64_t>::min()) leading = int_digits;
    ++int_digits;
    ++j;
  }
  digits_seen = int_digits;
  std::int64_t frac_digits = 0;
  if (j < body.size() && body[j] == '.') {
    ++j;
    while (j < body.size() && is_digit(body[j])) {
      ++frac_digits;
      if (body[j] != '0' && leading == std::numeric_limits<std::int64_t>::min())
        leading = -frac_digits;
      ++j;
    }
    digits_seen += frac_digits;
  }
  if (digits_seen == 0) return false;
  std::int64_t exponent = 0;
  if (j < body.size() && (body[j] == 'e' || body[j] == 'E')) {
    ++j;
    bool negative_exp = false;
    if (j < body.size() && (body[j] == '+' || body[j] == '-')) negative_exp = body[j++] == '-';
    if (j >= body.size()) return false;
    while (j < body.size() && is_digit(body[j])) {
      exponent = std::min<std::int64_t>(exponent * 10 + (body[j] - '0'), 1'000'000'000);
      ++j;
    }
    if (negative_exp) exponent = -exponent;
  }
  if (j != body.size()) return false;
  double v = 0.0;
  const auto res = std::from_chars(body.data(), body.data() + body.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    // leading is int_digits-relative: position 0 is the first integer digit.
    const std::int64_t lead_exp =
        leading == std::numeric_limits<std::int64_t>::min()
            ? 0
            : (leading >= 0 ? int_digits - 1 - leading : leading) + exponent;
    v = lead_exp > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (res.ec != std::errc() || res.ptr != body.data() + body.size()) {
    return false;
  }
  out = negative ? -v : v;
  return true;
}

}  // namespace

std::string remove_trailing_commas(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool in_string = false;
  bool escaped = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (escaped) {
      out.push_back(c);
      escaped = false;
    } else if (c == '"') {
      in_string = !in_string;
      out.push_back(c);
    } else if (c == '\\') {
      out.push_back(c);
      escaped = true;
    } else if (c == ',' && !in_string) {
      std::size_t j = i + 1;
      while (j < text.size()) {
        const std::size_t w = unicode::white_space_length(text, j);
        if (w == 0) break;
        j += w;
      }
      if (j < text.size() && (text[j] == '}' || text[j] == ']')) continue;
      out.push_back(c);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::pair<std::string, bool> normalize_json_string(std::string_view value) {
  if (json::is_valid(value)) return {std::string(value), true};
  std::string repaired = json_repair::repair_json_internal(value);
  if (json::is_valid(repaired)) return {std::move(repaired), true};
  std::string fixed = remove_trailing_commas(repaired);
  if (json::is_valid(fixed)) return {std::move(fixed), true};
  return {std::string(value), false};
}

std::vector<std::pair<std::string, bool>> batch_normalize_json_strings(
    const std::vector<std::string_view>& values) {
  std::vector<std::pair<std::string, bool>> out;
  out.reserve(values.size());
  for (const std::string_view v : values) out.push_back(normalize_json_string(v));
  return out;
}

std::string shortest_positional(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0.0) return std::signbit(value) ? "-0" : "0";
  const ShortestDecimal d = shortest_decimal(value);
  std::string out = d.negative ? "-" : "";
  const int n = static_cast<int>(d.digits.size());
  const int e = d.exponent;
  if (e >= n - 1) {
    out += d.digits;
    out.append(static_cast<std::size_t>(e - n + 1), '0');
  } else if (e >= 0) {
    out.append(d.digits, 0, static_cast<std::size_t>(e + 1));
    out.push_back('.');
    out.append(d.digits, static_cast<std::size_t>(e + 1));
  } else {
    out += "0.";
    out.append(static_cast<std::size_t>(-e - 1), '0');
    out += d.digits;
  }
  return out;
}

std::tuple<std::string, std::string, double> coerce_string_type(std::string_view value) {
  const std::string_view s = trim_white_space(value);
  if (ascii_lower_equals(s, "nil") || ascii_lower_equals(s, "null") ||
      ascii_lower_equals(s, "none")) {
    return {"null", "null", 1.0};
  }
  if (ascii_lower_equals(s, "false")) return {"bool", "false", 1.0};
  if (ascii_lower_equals(s, "true")) return {"bool", "true", 1.0};
  std::int64_t i = 0;
  if (parse_int64(s, i)) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, i);
    return {"int", std::string(buf, res.ptr), 1.0};
  }
  double d = 0.0;
  if (parse_float(s, d)) return {"float", shortest_positional(d), 1.0};
  if (s.size() >= 2 &&
      ((s.front() == '[' && s.back() == ']') || (s.front() == '{' && s.back() == '}')) &&
      json::is_valid(s)) {
    return {s.front() == '[' ? "list" : "dict", std::string(s), 1.0};
  }
  return {"string", std::string(s), 1.0};
}

std::vector<std::tuple<std::string, std::string, double>> batch_coerce_string_types(
    const std::vector<std::string_view>& values) {
  std::vector<std::tuple<std::string, std::string, double>> out;
  out.reserve(values.size());
  for (const std::string_view v : values) out.push_back(coerce_string_type(v));
  return out;
}

std::optional<const char*> get_json_type(std::string_view value) {
  const json::ValidateResult v = json::validate(value);
  if (!v.ok) return std::nullopt;
  switch (v.kind) {
    case json::Kind::kNull:
      return "null";
    case json::Kind::kBool:
      return "bool";
    case json::Kind::kInt:
    case json::Kind::kUint:
      return "int";
    case json::Kind::kFloat:
      return "float";
    case json::Kind::kString:
      return "string";
    case json::Kind::kArray:
      return "list";
    case json::Kind::kObject:
      return "dict";
  }
  return std::nullopt;
}

bool is_valid_json(std::string_view value) { return json::is_valid(value); }

std::string repair_quotes(std::string_view value) {
  if (value.find('\'') == std::string_view::npos) return std::string(value);
  std::string out(value);
  if (value.find('"') == std::string_view::npos) {
    for (char& c : out) {
      if (c == '\'') c = '"';
    }
    return out;
  }
  out.clear();
  out.reserve(value.size() + value.size() / 10);
  bool in_string = false;
  char quote = '"';
  bool escaped = false;
  for (const char c : value) {
    if (escaped) {
      out.push_back(c);
      escaped = false;
    } else if (c == '\\') {
      out.push_back(c);
      escaped = true;
    } else if (!in_string && (c == '\'' || c == '"')) {
      out.push_back('"');
      in_string = true;
      quote = c;
    } else if (in_string && c == quote) {
      out.push_back('"');
      in_string = false;
    } else if (in_string && quote == '\'' && c == '"') {
      out += "\\\"";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace pelrin::arg_normalizer
