// The strict JSON reader (tree and validate-only) and the compact writer.
#include "core/platform/json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

#include "core/base/float_format.h"
#include "core/base/utf8.h"

namespace pelrin::json {

const Value* Value::find(std::string_view key) const {
  const auto* members = std::get_if<Object>(&v_);
  if (members == nullptr) return nullptr;
  const auto it = std::lower_bound(members->begin(), members->end(), key,
                                   [](const Member& m, std::string_view k) { return m.key < k; });
  if (it == members->end() || it->key != key) return nullptr;
  return &it->value;
}

bool operator==(const Value& a, const Value& b) { return a.v_ == b.v_; }

const char* description(ErrorCode code) noexcept {
  switch (code) {
    case ErrorCode::kEofWhileParsingList:
      return "EOF while parsing a list";
    case ErrorCode::kEofWhileParsingObject:
      return "EOF while parsing an object";
    case ErrorCode::kEofWhileParsingString:
      return "EOF while parsing a string";
    case ErrorCode::kEofWhileParsingValue:
      return "EOF while parsing a value";
    case ErrorCode::kExpectedColon:
      return "expected `:`";
    case ErrorCode::kExpectedListCommaOrEnd:
      return "expected `,` or `]`";
    case ErrorCode::kExpectedObjectCommaOrEnd:
      return "expected `,` or `}`";
    case ErrorCode::kExpectedSomeIdent:
      return "expected ident";
    case ErrorCode::kExpectedSomeValue:
      return "expected value";
    case ErrorCode::kInvalidEscape:
      return "invalid escape";
    case ErrorCode::kInvalidNumber:
      return "invalid number";
    case ErrorCode::kNumberOutOfRange:
      return "number out of range";
    case ErrorCode::kInvalidUnicodeCodePoint:
      return "invalid unicode code point";
    case ErrorCode::kControlCharacterWhileParsingString:
      return "control character (\\u0000-\\u001F) found while parsing a string";
    case ErrorCode::kKeyMustBeAString:
      return "key must be a string";
    case ErrorCode::kLoneLeadingSurrogateInHexEscape:
      return "lone leading surrogate in hex escape";
    case ErrorCode::kUnexpectedEndOfHexEscape:
      return "unexpected end of hex escape";
    case ErrorCode::kTrailingComma:
      return "trailing comma";
    case ErrorCode::kTrailingCharacters:
      return "trailing characters";
    case ErrorCode::kRecursionLimitExceeded:
      return "recursion limit exceeded";
  }
  return "invalid JSON";
}

std::string ParseError::message() const {
  std::string out = description(code);
  out += " at line ";
  out += std::to_string(line);
  out += " column ";
  out += std::to_string(column);
  return out;
}

namespace {

// Bytes that a string scan can pass over without a closer look: printable
// ASCII other than the quote and the backslash.
constexpr std::array<bool, 256> make_plain_table() {
  std::array<bool, 256> t{};
  for (int c = 0x20; c < 0x80; ++c) t[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
  return t;
}
constexpr std::array<bool, 256> kPlain = make_plain_table();

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the well-formed UTF-8 sequence at p (n bytes available), or 0.
std::size_t utf8_sequence(const unsigned char* p, std::size_t n) {
  const unsigned char b0 = p[0];
  auto cont = [&](std::size_t i) { return i < n && (p[i] & 0xC0u) == 0x80u; };
  if (b0 >= 0xC2 && b0 <= 0xDF) return cont(1) ? 2 : 0;
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (n < 2) return 0;
    const unsigned char b1 = p[1];
    if (b0 == 0xE0 && b1 < 0xA0) return 0;  // overlong
    if (b0 == 0xED && b1 > 0x9F) return 0;  // surrogates
    return cont(1) && cont(2) ? 3 : 0;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (n < 2) return 0;
    const unsigned char b1 = p[1];
    if (b0 == 0xF0 && b1 < 0x90) return 0;  // overlong
    if (b0 == 0xF4 && b1 > 0x8F) return 0;  // above U+10FFFF
    return cont(1) && cont(2) && cont(3) ? 4 : 0;
  }
  return 0;
}

struct NoValue {};

// Sorts members by key bytes; of equal keys the last one read stays.
// Objects usually arrive sorted, or small.
void sort_members(Object& members) {
  const auto less = [](const Member& a, const Member& b) { return a.key < b.key; };
  bool ordered = true;
  for (std::size_t k = 1; k < members.size() && ordered; ++k)
    ordered = members[k - 1].key < members[k].key;
  if (ordered) return;
  if (members.size() <= 16) {
    for (std::size_t k = 1; k < members.size(); ++k) {
      for (std::size_t j = k; j > 0 && less(members[j], members[j - 1]); --j)
        std::swap(members[j], members[j - 1]);
    }
  } else {
    std::stable_sort(members.begin(), members.end(), less);
  }
  std::size_t w = 0;
  for (std::size_t r = 0; r < members.size(); ++r) {
    if (r + 1 < members.size() && members[r + 1].key == members[r].key) continue;
    if (w != r) members[w] = std::move(members[r]);
    ++w;
  }
  members.resize(w);
}

// One reader for both modes: Build makes the tree, otherwise the document is
// only checked. Positions follow one rule: an error raised after consuming
// the offending byte reports the index after it (error), an error raised on
// a byte only looked at reports the index after that byte, clamped to the
// end (peek_error). The column is then the distance from the line's start.
template <bool Build>
class Reader {
 public:
  using Out = std::conditional_t<Build, Value, NoValue>;

  explicit Reader(std::string_view text) : s_(text.data()), n_(text.size()) {}

  const ParseError& error_info() const { return err_; }

  // The whole document; `kind` gets the top-level kind.
  bool document(Out& out, Kind& kind) {
    if (!value(out, kind)) return false;
    const int c = skip_ws();
    if (c >= 0) return peek_error(ErrorCode::kTrailingCharacters);
    return true;
  }

 private:
  bool fail_at(ErrorCode code, std::size_t index) {
    std::size_t start_of_line = 0;
    std::size_t line = 1;
    for (std::size_t k = 0; k < index; ++k) {
      if (s_[k] == '\n') {
        ++line;
        start_of_line = k + 1;
      }
    }
    err_ = ParseError{code, line, index - start_of_line};
    return false;
  }
  bool error(ErrorCode code) { return fail_at(code, i_); }
  bool peek_error(ErrorCode code) { return fail_at(code, std::min(n_, i_ + 1)); }

  // The next byte that is not JSON white space (not consumed), or -1.
  int skip_ws() {
    while (i_ < n_) {
      const char c = s_[i_];
      if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
        ++i_;
      } else {
        return static_cast<unsigned char>(c);
      }
    }
    return -1;
  }

  bool value(Out& out, Kind& kind) {
    const int c = skip_ws();
    if (c < 0) return peek_error(ErrorCode::kEofWhileParsingValue);
    switch (c) {
      case 'n':
        ++i_;
        kind = Kind::kNull;
        if (!ident("ull")) return false;
        if constexpr (Build) out = Value();
        return true;
      case 't':
        ++i_;
        kind = Kind::kBool;
        if (!ident("rue")) return false;
        if constexpr (Build) out = Value(true);
        return true;
      case 'f':
        ++i_;
        kind = Kind::kBool;
        if (!ident("alse")) return false;
        if constexpr (Build) out = Value(false);
        return true;
      case '-':
        ++i_;
        return number(false, out, kind);
      case '"': {
        ++i_;
        kind = Kind::kString;
        if constexpr (Build) {
          std::string s;
          if (!string(&s)) return false;
          out = Value(std::move(s));
          return true;
        } else {
          return string(nullptr);
        }
      }
      case '[':
        if (--remaining_depth_ == 0) return peek_error(ErrorCode::kRecursionLimitExceeded);
        ++i_;
        kind = Kind::kArray;
        if (!array(out)) return false;
        ++remaining_depth_;
        return true;
      case '{':
        if (--remaining_depth_ == 0) return peek_error(ErrorCode::kRecursionLimitExceeded);
        ++i_;
        kind = Kind::kObject;
        if (!object(out)) return false;
        ++remaining_depth_;
        return true;
      default:
        if (c >= '0' && c <= '9') return number(true, out, kind);
        return peek_error(ErrorCode::kExpectedSomeValue);
    }
  }

  bool ident(const char* rest) {
    for (; *rest != '\0'; ++rest) {
      if (i_ >= n_) return error(ErrorCode::kEofWhileParsingValue);
      if (s_[i_++] != *rest) return error(ErrorCode::kExpectedSomeIdent);
    }
    return true;
  }

  bool array(Out& out) {
    [[maybe_unused]] Array items;
    bool first = true;
    for (;;) {
      const int c = skip_ws();
      if (c < 0) return peek_error(ErrorCode::kEofWhileParsingList);
      if (c == ']') {
        ++i_;
        break;
      }
      if (first) {
        first = false;
      } else if (c == ',') {
        ++i_;
        const int d = skip_ws();
        if (d == ']') return peek_error(ErrorCode::kTrailingComma);
        if (d < 0) return peek_error(ErrorCode::kEofWhileParsingValue);
      } else {
        return peek_error(ErrorCode::kExpectedListCommaOrEnd);
      }
      Kind kind{};
      if constexpr (Build) {
        // Parsed in place: nested values go to other vectors, so the
        // reference stays valid.
        if (!value(items.emplace_back(), kind)) return false;
      } else {
        NoValue none;
        if (!value(none, kind)) return false;
      }
    }
    if constexpr (Build) out = Value(std::move(items));
    return true;
  }

  bool object(Out& out) {
    [[maybe_unused]] Object members;
    bool first = true;
    for (;;) {
      const int c = skip_ws();
      if (c < 0) return peek_error(ErrorCode::kEofWhileParsingObject);
      if (c == '}') {
        ++i_;
        break;
      }
      if (first) {
        first = false;
        if (c != '"') return peek_error(ErrorCode::kKeyMustBeAString);
      } else if (c == ',') {
        ++i_;
        const int d = skip_ws();
        if (d == '}') return peek_error(ErrorCode::kTrailingComma);
        if (d < 0) return peek_error(ErrorCode::kEofWhileParsingValue);
        if (d != '"') return peek_error(ErrorCode::kKeyMustBeAString);
      } else {
        return peek_error(ErrorCode::kExpectedObjectCommaOrEnd);
      }
      ++i_;  // the key's opening quote
      [[maybe_unused]] Member* member = nullptr;
      if constexpr (Build) {
        member = &members.emplace_back();
        if (!string(&member->key)) return false;
      } else {
        if (!string(nullptr)) return false;
      }
      const int colon = skip_ws();
      if (colon < 0) return peek_error(ErrorCode::kEofWhileParsingObject);
      if (colon != ':') return peek_error(ErrorCode::kExpectedColon);
      ++i_;
      Kind kind{};
      if constexpr (Build) {
        if (!value(member->value, kind)) return false;
      } else {
        NoValue none;
        if (!value(none, kind)) return false;
      }
    }
    if constexpr (Build) {
      sort_members(members);
      out = Value(std::move(members));
    }
    return true;
  }

  // After the opening quote. Invalid UTF-8 is reported once the closing
  // quote is reached, after any escape or control-character error.
  bool string(std::string* out) {
    std::size_t start = i_;
    bool bad_utf8 = false;
    for (;;) {
      // Eight bytes at a time while none is a quote, a backslash, a
      // control character or non-ASCII.
      while (n_ - i_ >= 8) {
        std::uint64_t w;
        std::memcpy(&w, s_ + i_, 8);
        constexpr std::uint64_t kOnes = 0x0101010101010101ull;
        constexpr std::uint64_t kHigh = 0x8080808080808080ull;
        const std::uint64_t quote = w ^ (kOnes * '"');
        const std::uint64_t slash = w ^ (kOnes * '\\');
        const std::uint64_t special =
            ((quote - kOnes) & ~quote) | ((slash - kOnes) & ~slash) | (w - kOnes * 0x20) | w;
        if ((special & kHigh) != 0) break;
        i_ += 8;
      }
      while (i_ < n_ && kPlain[static_cast<unsigned char>(s_[i_])]) ++i_;
      if (i_ >= n_) return error(ErrorCode::kEofWhileParsingString);
      const auto c = static_cast<unsigned char>(s_[i_]);
      if (c == '"') {
        if (out != nullptr) out->append(s_ + start, i_ - start);
        ++i_;
        if (bad_utf8) return error(ErrorCode::kInvalidUnicodeCodePoint);
        return true;
      }
      if (c == '\\') {
        if (out != nullptr) out->append(s_ + start, i_ - start);
        ++i_;
        if (!escape(out)) return false;
        start = i_;
        continue;
      }
      if (c < 0x20) {
        ++i_;
        return error(ErrorCode::kControlCharacterWhileParsingString);
      }
      const std::size_t len =
          utf8_sequence(reinterpret_cast<const unsigned char*>(s_ + i_), n_ - i_);
      if (len == 0) {
        bad_utf8 = true;
        ++i_;
      } else {
        i_ += len;
      }
    }
  }

  bool escape(std::string* out) {
    if (i_ >= n_) return error(ErrorCode::kEofWhileParsingString);
    const char e = s_[i_++];
    char decoded;
    switch (e) {
      case '"':
        decoded = '"';
        break;
      case '\\':
        decoded = '\\';
        break;
      case '/':
        decoded = '/';
        break;
      case 'b':
        decoded = '\b';
        break;
      case 'f':
        decoded = '\f';
        break;
      case 'n':
        decoded = '\n';
        break;
      case 'r':
        decoded = '\r';
        break;
      case 't':
        decoded = '\t';
        break;
      case 'u':
        return unicode_escape(out);
      default:
        return error(ErrorCode::kInvalidEscape);
    }
    if (out != nullptr) out->push_back(decoded);
    return true;
  }

  bool hex4(std::uint32_t& v) {
    if (n_ - i_ < 4) {
      i_ = n_;
      return error(ErrorCode::kEofWhileParsingString);
    }
    v = 0;
    for (int k = 0; k < 4; ++k) {
      const int h = hex_value(s_[i_++]);
      if (h < 0) return error(ErrorCode::kInvalidEscape);
      v = (v << 4) | static_cast<std::uint32_t>(h);
    }
    return true;
  }

  // After "\u". Surrogates must come as a leading-trailing pair.
  bool unicode_escape(std::string* out) {
    std::uint32_t n1 = 0;
    if (!hex4(n1)) return false;
    if (n1 >= 0xDC00 && n1 <= 0xDFFF) return error(ErrorCode::kLoneLeadingSurrogateInHexEscape);
    if (n1 < 0xD800 || n1 > 0xDBFF) {
      if (out != nullptr) utf8::append(*out, static_cast<char32_t>(n1));
      return true;
    }
    for (const char expected : {'\\', 'u'}) {
      if (i_ >= n_) return error(ErrorCode::kEofWhileParsingString);
      if (s_[i_++] != expected) return error(ErrorCode::kUnexpectedEndOfHexEscape);
    }
    std::uint32_t n2 = 0;
    if (!hex4(n2)) return false;
    if (n2 < 0xDC00 || n2 > 0xDFFF) return error(ErrorCode::kLoneLeadingSurrogateInHexEscape);
    if (out != nullptr) {
      utf8::append(*out, static_cast<char32_t>((((n1 - 0xD800) << 10) | (n2 - 0xDC00)) + 0x10000));
    }
    return true;
  }

  void digits() {
    while (i_ < n_ && is_digit(s_[i_])) ++i_;
  }

  // After the sign (if any). Integers without fraction and exponent that fit
  // 64 bits stay integers; other numbers are correctly rounded doubles. An
  // exponent beyond 32 bits is out of range at its overflowing digit (for a
  // non-zero mantissa and a positive exponent) or gives zero.
  bool number(bool positive, Out& out, Kind& kind) {
    const std::size_t start = positive ? i_ : i_ - 1;
    if (i_ >= n_) return error(ErrorCode::kEofWhileParsingValue);
    const char first = s_[i_++];
    std::uint64_t significand = 0;
    bool is_float = false;
    bool nonzero_mantissa = false;
    std::int64_t int_digits = 1;
    if (first == '0') {
      if (i_ < n_ && is_digit(s_[i_])) return peek_error(ErrorCode::kInvalidNumber);
    } else if (first >= '1' && first <= '9') {
      nonzero_mantissa = true;
      significand = static_cast<std::uint64_t>(first - '0');
      const std::size_t int_start = i_ - 1;
      while (i_ < n_ && is_digit(s_[i_])) {
        const auto d = static_cast<std::uint64_t>(s_[i_] - '0');
        if (significand > (std::numeric_limits<std::uint64_t>::max() - d) / 10) {
          is_float = true;  // beyond 64 bits: the rest is read as a float
          digits();
          break;
        }
        significand = significand * 10 + d;
        ++i_;
      }
      int_digits = static_cast<std::int64_t>(i_ - int_start);
    } else {
      return error(ErrorCode::kInvalidNumber);
    }
    if (i_ < n_ && s_[i_] == '.') {
      ++i_;
      const std::size_t frac_start = i_;
      while (i_ < n_ && is_digit(s_[i_])) {
        nonzero_mantissa = nonzero_mantissa || s_[i_] != '0';
        ++i_;
      }
      if (i_ == frac_start) {
        return peek_error(i_ < n_ ? ErrorCode::kInvalidNumber : ErrorCode::kEofWhileParsingValue);
      }
      is_float = true;
    }
    std::int64_t exponent = 0;
    if (i_ < n_ && (s_[i_] == 'e' || s_[i_] == 'E')) {
      ++i_;
      bool positive_exp = true;
      if (i_ < n_ && (s_[i_] == '+' || s_[i_] == '-')) positive_exp = s_[i_++] == '+';
      if (i_ >= n_) return error(ErrorCode::kEofWhileParsingValue);
      const char d0 = s_[i_++];
      if (!is_digit(d0)) return error(ErrorCode::kInvalidNumber);
      std::int32_t exp = d0 - '0';
      while (i_ < n_ && is_digit(s_[i_])) {
        const int d = s_[i_++] - '0';
        if (exp > (std::numeric_limits<std::int32_t>::max() - d) / 10) {
          if (nonzero_mantissa && positive_exp) return error(ErrorCode::kNumberOutOfRange);
          digits();
          kind = Kind::kFloat;
          if constexpr (Build) out = Value(positive ? 0.0 : -0.0);
          return true;
        }
        exp = exp * 10 + d;
      }
      exponent = positive_exp ? exp : -static_cast<std::int64_t>(exp);
      is_float = true;
    }
    if (!is_float) {
      if (positive || significand == 0) {
        kind = Kind::kUint;
        if constexpr (Build) out = Value(significand);
        return true;
      }
      if (significand <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1) {
        kind = Kind::kInt;
        if constexpr (Build) out = Value(static_cast<std::int64_t>(0 - significand));
        return true;
      }
    }
    kind = Kind::kFloat;
    // Values below 10^(int_digits + exponent) cannot overflow, so the
    // validating reader converts only numbers near or beyond the range.
    if constexpr (!Build) {
      if (int_digits + exponent < 300) return true;
    }
    double v = 0.0;
    const auto res = std::from_chars(s_ + start, s_ + i_, v);
    if (res.ec == std::errc::result_out_of_range) {
      // Out of range is either far above or far below 1, never near it.
      if (int_digits + exponent > 0) return error(ErrorCode::kNumberOutOfRange);
      v = positive ? 0.0 : -0.0;
    } else if (res.ec != std::errc() || std::isinf(v)) {
      if (std::isinf(v)) return error(ErrorCode::kNumberOutOfRange);
      v = 0.0;  // unreachable: the syntax was checked above
    }
    if constexpr (Build) out = Value(v);
    return true;
  }

  const char* s_;
  std::size_t n_;
  std::size_t i_ = 0;
  int remaining_depth_ = kMaxDepth + 1;
  ParseError err_;
};

constexpr std::array<const char*, 32> make_control_escapes() {
  return {"\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
          "\\b",     "\\t",     "\\n",     "\\u000b", "\\f",     "\\r",     "\\u000e", "\\u000f",
          "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
          "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f"};
}
constexpr std::array<const char*, 32> kControlEscapes = make_control_escapes();

template <class Int>
void write_integer(Int v, std::string& out) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, res.ptr);
}

bool is_ws(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

std::size_t skip_ws_at(std::string_view s, std::size_t i) {
  while (i < s.size() && is_ws(s[i])) ++i;
  return i;
}

// One past the end of the valid string literal starting at s[i].
std::size_t skip_string(std::string_view s, std::size_t i) {
  ++i;
  while (i < s.size() && s[i] != '"') i += s[i] == '\\' ? 2 : 1;
  return std::min(i + 1, s.size());
}

// One past the end of the valid value starting at s[i].
std::size_t skip_value(std::string_view s, std::size_t i) {
  if (i >= s.size()) return i;
  const char c = s[i];
  if (c == '"') return skip_string(s, i);
  if (c == '{' || c == '[') {
    std::size_t depth = 0;
    while (i < s.size()) {
      const char d = s[i];
      if (d == '"') {
        i = skip_string(s, i);
        continue;
      }
      if (d == '{' || d == '[') {
        ++depth;
      } else if (d == '}' || d == ']') {
        if (--depth == 0) return i + 1;
      }
      ++i;
    }
    return i;
  }
  while (i < s.size() && s[i] != ',' && s[i] != '}' && s[i] != ']' && !is_ws(s[i])) ++i;
  return i;
}

}  // namespace

std::string decode_string(std::string_view raw_literal) {
  if (raw_literal.size() >= 2 && raw_literal.find('\\') == std::string_view::npos) {
    return std::string(raw_literal.substr(1, raw_literal.size() - 2));
  }
  ParseResult r = parse(raw_literal);
  return r.ok && r.value.kind() == Kind::kString ? r.value.as_string() : std::string();
}

void for_each_member(std::string_view s,
                     void (*fn)(void* ctx, std::string_view key, std::string_view raw_value),
                     void* ctx) {
  std::size_t i = skip_ws_at(s, 0);
  if (i >= s.size() || s[i] != '{') return;
  ++i;
  std::string decoded;
  for (;;) {
    i = skip_ws_at(s, i);
    if (i >= s.size() || s[i] != '"') return;
    const std::size_t key_end = skip_string(s, i);
    const std::string_view raw_key = s.substr(i, key_end - i);
    std::string_view key;
    if (raw_key.find('\\') == std::string_view::npos) {
      key = raw_key.substr(1, raw_key.size() >= 2 ? raw_key.size() - 2 : 0);
    } else {
      decoded = decode_string(raw_key);
      key = decoded;
    }
    i = skip_ws_at(s, key_end);
    if (i >= s.size() || s[i] != ':') return;
    i = skip_ws_at(s, i + 1);
    const std::size_t value_end = skip_value(s, i);
    fn(ctx, key, s.substr(i, value_end - i));
    i = skip_ws_at(s, value_end);
    if (i >= s.size() || s[i] != ',') return;
    ++i;
  }
}

ParseResult parse(std::string_view text) {
  ParseResult result;
  Reader<true> reader(text);
  Kind kind{};
  result.ok = reader.document(result.value, kind);
  if (!result.ok) {
    result.error = reader.error_info();
    result.value = Value();
  }
  return result;
}

ValidateResult validate(std::string_view text) {
  ValidateResult result;
  Reader<false> reader(text);
  NoValue none;
  result.ok = reader.document(none, result.kind);
  if (!result.ok) result.error = reader.error_info();
  return result;
}

void write_string(std::string_view text, std::string& out) {
  out.push_back('"');
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text.data() + start, i - start);
    if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += kControlEscapes[c];
    }
    start = i + 1;
  }
  out.append(text.data() + start, text.size() - start);
  out.push_back('"');
}

void write_float(double value, std::string& out) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  if (value == 0.0) {
    out += std::signbit(value) ? "-0.0" : "0.0";
    return;
  }
  const ShortestDecimal d = shortest_decimal(value);
  if (d.negative) out.push_back('-');
  const int n = static_cast<int>(d.digits.size());
  const int e = d.exponent;
  if (e >= -5 && e <= 15) {
    if (e < 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-e - 1), '0');
      out += d.digits;
    } else if (e + 1 >= n) {
      out += d.digits;
      out.append(static_cast<std::size_t>(e + 1 - n), '0');
      out += ".0";
    } else {
      out.append(d.digits, 0, static_cast<std::size_t>(e + 1));
      out.push_back('.');
      out.append(d.digits, static_cast<std::size_t>(e + 1));
    }
    return;
  }
  out.push_back(d.digits[0]);
  if (n > 1) {
    out.push_back('.');
    out.append(d.digits, 1);
  }
  out += e < 0 ? "e-" : "e+";
  write_integer(e < 0 ? -e : e, out);
}

void write_to(const Value& value, std::string& out) {
  switch (value.kind()) {
    case Kind::kNull:
      out += "null";
      return;
    case Kind::kBool:
      out += value.as_bool() ? "true" : "false";
      return;
    case Kind::kInt:
      write_integer(value.as_int(), out);
      return;
    case Kind::kUint:
      write_integer(value.as_uint(), out);
      return;
    case Kind::kFloat:
      write_float(value.as_float(), out);
      return;
    case Kind::kString:
      write_string(value.as_string(), out);
      return;
    case Kind::kArray: {
      out.push_back('[');
      bool first = true;
      for (const Value& item : value.as_array()) {
        if (!first) out.push_back(',');
        first = false;
        write_to(item, out);
      }
      out.push_back(']');
      return;
    }
    case Kind::kObject: {
      out.push_back('{');
      bool first = true;
      for (const Member& m : value.as_object()) {
        if (!first) out.push_back(',');
        first = false;
        write_string(m.key, out);
        out.push_back(':');
        write_to(m.value, out);
      }
      out.push_back('}');
      return;
    }
  }
}

std::string write(const Value& value) {
  std::string out;
  write_to(value, out);
  return out;
}

}  // namespace pelrin::json
