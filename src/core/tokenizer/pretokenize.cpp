// The pre-tokenization splitter: the pattern's alternatives decided by hand.
//
// The pattern, alternative by alternative, at a position i (every character
// starts some alternative, so pieces are contiguous):
//   A1 (?i:'s|'t|'re|'ve|'m|'ll|'d)     ' and a contraction; case folding
//                                        also maps U+017F (long s) to s
//   A2 [^\r\n\p{L}\p{N}]?\p{L}+         one optional non-letter, non-number
//                                        character other than CR/LF, letters
//   A3 \p{N}{1,3}                        up to three numbers
//   A4  ?[^\s\p{L}\p{N}]+[\r\n]*         optional space, other characters,
//                                        trailing CR/LF
//   A5 \s*[\r\n]+                        white space up to its last CR/LF
//   A6 \s+$, A7 \s+                      the whole white-space run
// Leftmost-first order: the first alternative that matches at i wins, with
// its own greedy choices.
#include "core/tokenizer/pretokenize.h"

#include <array>
#include <memory>
#include <string>

#include "core/base/panic.h"
#include "core/base/unicode.h"
#include "core/base/utf8.h"

namespace pelrin::tokenizer {
namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;

// Two-level table: blocks of 256 code points, identical blocks shared.
struct ClassTable {
  std::vector<std::uint16_t> block_of;  // (cp >> 8) -> block index
  std::vector<std::uint8_t> classes;    // block index * 256 + (cp & 255) -> class
};

// Marks every code point of `all` (each scalar value once) that the
// engine's class `cls` matches with `value`.
void mark_with_engine(std::vector<std::uint8_t>& flat, const std::string& all, std::string_view cls,
                      std::uint8_t value) {
  const platform::Regex re = platform::Regex::fixed(std::string(cls) + "+");
  platform::MatchIterator it(re, all);
  while (it.next()) {
    const platform::Span m = it.match();
    std::size_t p = m.start;
    while (p < m.end) flat[utf8::decode(all, p)] = value;
  }
}

const ClassTable& class_table() {
  static const ClassTable table = [] {
    std::vector<std::uint8_t> flat(kMaxCodePoint + 1, kOther);
    std::string all;
    all.reserve(4u << 20);
    for (char32_t cp = 0; cp <= kMaxCodePoint; ++cp) {
      if (cp < 0xD800 || cp > 0xDFFF) utf8::append(all, cp);
    }
    mark_with_engine(flat, all, "\\p{L}", kLetter);
    mark_with_engine(flat, all, "\\p{N}", kNumber);
    for (char32_t cp = 0; cp <= 0x3000; ++cp) {
      if (unicode::is_white_space(cp)) flat[cp] = kSpace;
    }
    ClassTable t;
    t.block_of.resize((kMaxCodePoint + 1) >> 8);
    std::vector<std::string> seen;
    for (std::size_t b = 0; b < t.block_of.size(); ++b) {
      const std::string block(flat.begin() + static_cast<std::ptrdiff_t>(b << 8),
                              flat.begin() + static_cast<std::ptrdiff_t>((b + 1) << 8));
      std::size_t k = 0;
      while (k < seen.size() && seen[k] != block) ++k;
      if (k == seen.size()) {
        seen.push_back(block);
        t.classes.insert(t.classes.end(), block.begin(), block.end());
      }
      PELRIN_CHECK(k < 65536);
      t.block_of[b] = static_cast<std::uint16_t>(k);
    }
    return t;
  }();
  return table;
}

// ASCII classes without touching the table.
constexpr std::array<std::uint8_t, 128> kAscii = [] {
  std::array<std::uint8_t, 128> a{};
  for (int c = 'a'; c <= 'z'; ++c) a[static_cast<std::size_t>(c)] = kLetter;
  for (int c = 'A'; c <= 'Z'; ++c) a[static_cast<std::size_t>(c)] = kLetter;
  for (int c = '0'; c <= '9'; ++c) a[static_cast<std::size_t>(c)] = kNumber;
  for (int c = 9; c <= 13; ++c) a[static_cast<std::size_t>(c)] = kSpace;
  a[' '] = kSpace;
  return a;
}();

struct Char {
  CharClass cls;
  std::size_t len;
};

inline Char char_at(std::string_view s, std::size_t i, const ClassTable& t) noexcept {
  const auto b = static_cast<unsigned char>(s[i]);
  if (b < 0x80) return {static_cast<CharClass>(kAscii[b]), 1};
  std::size_t p = i;
  const char32_t cp = utf8::decode(s, p);
  if (cp > kMaxCodePoint) return {kOther, p - i};
  return {static_cast<CharClass>(t.classes[(std::size_t{t.block_of[cp >> 8]} << 8) | (cp & 0xFF)]),
          p - i};
}

inline char lower_ascii(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Length of a contraction at s[i] == '\'', or 0.
std::size_t contraction(std::string_view s, std::size_t i) noexcept {
  if (i + 1 >= s.size()) return 0;
  const char a = lower_ascii(s[i + 1]);
  if (a == 's' || a == 't' || a == 'm' || a == 'd') return 2;
  if (static_cast<unsigned char>(a) == 0xC5 && i + 2 < s.size() &&
      static_cast<unsigned char>(s[i + 2]) == 0xBF) {
    return 3;  // U+017F folds to s
  }
  if (i + 2 >= s.size()) return 0;
  const char b = lower_ascii(s[i + 2]);
  if ((a == 'r' && b == 'e') || (a == 'v' && b == 'e') || (a == 'l' && b == 'l')) return 3;
  return 0;
}

}  // namespace

CharClass char_class(char32_t cp) noexcept {
  if (cp < 0x80) return static_cast<CharClass>(kAscii[cp]);
  if (cp > kMaxCodePoint) return kOther;
  const ClassTable& t = class_table();
  return static_cast<CharClass>(t.classes[(std::size_t{t.block_of[cp >> 8]} << 8) | (cp & 0xFF)]);
}

std::size_t piece_end(std::string_view s, std::size_t i) noexcept {
  const ClassTable& t = class_table();
  const std::size_t n = s.size();
  const Char c = char_at(s, i, t);
  auto run_of = [&](std::size_t j, CharClass cls) {
    while (j < n) {
      const Char d = char_at(s, j, t);
      if (d.cls != cls) break;
      j += d.len;
    }
    return j;
  };
  // A1
  if (s[i] == '\'') {
    if (const std::size_t k = contraction(s, i)) return i + k;
  }
  // A2
  if (c.cls == kLetter) return run_of(i + c.len, kLetter);
  if (c.cls != kNumber && s[i] != '\r' && s[i] != '\n' && i + c.len < n &&
      char_at(s, i + c.len, t).cls == kLetter) {
    return run_of(i + c.len, kLetter);
  }
  // A3
  if (c.cls == kNumber) {
    std::size_t j = i + c.len;
    for (int k = 1; k < 3 && j < n; ++k) {
      const Char d = char_at(s, j, t);
      if (d.cls != kNumber) break;
      j += d.len;
    }
    return j;
  }
  // A4
  std::size_t j = i;
  if (s[i] == ' ' && i + 1 < n && char_at(s, i + 1, t).cls == kOther) j = i + 1;
  if (char_at(s, j, t).cls == kOther) {
    j = run_of(j, kOther);
    while (j < n && (s[j] == '\r' || s[j] == '\n')) ++j;
    return j;
  }
  // A5 to A7: c is white space.
  std::size_t last_break = n;
  j = i;
  while (j < n) {
    const Char d = char_at(s, j, t);
    if (d.cls != kSpace) break;
    if (s[j] == '\r' || s[j] == '\n') last_break = j;
    j += d.len;
  }
  if (last_break != n) return last_break + 1;
  return j;
}

std::vector<platform::Span> split_piece_spans(std::string_view segment) {
  std::vector<platform::Span> out;
  std::size_t i = 0;
  while (i < segment.size()) {
    const std::size_t end = piece_end(segment, i);
    out.push_back({i, end});
    i = end;
  }
  return out;
}

}  // namespace pelrin::tokenizer
