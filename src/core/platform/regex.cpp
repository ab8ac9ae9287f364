// The RE2 wrapper: dialect rewrite, compilation, iteration and replacement.
#include "core/platform/regex.h"

#include <re2/re2.h>

#include <cstdio>
#include <mutex>
#include <utility>

#include "absl/container/flat_hash_map.h"
#include "core/base/panic.h"
#include "core/base/utf8.h"

namespace pelrin::platform {
namespace {

// Bracket-item forms of the Unicode classes (no surrounding brackets).
constexpr std::string_view kSpaceItems =
    "\\t-\\r "
    "\\x{85}\\x{A0}\\x{1680}\\x{2000}-\\x{200A}\\x{2028}\\x{2029}\\x{202F}\\x{205F}\\x{3000}";
// The complement of White_Space, as ranges (RE2 has no class subtraction,
// and a negated class cannot be nested inside a bracket).
constexpr std::string_view kNonSpaceItems =
    "\\x{0}-\\x{8}\\x{E}-\\x{1F}\\x{21}-\\x{84}\\x{86}-\\x{9F}\\x{A1}-\\x{167F}\\x{1681}-\\x{1FFF}"
    "\\x{200B}-\\x{2027}\\x{202A}-\\x{202E}\\x{2030}-\\x{205E}\\x{2060}-\\x{2FFF}\\x{3001}-\\x{"
    "10FFFF}";
constexpr std::string_view kWordItems = "\\p{L}\\p{M}\\p{Nd}\\p{Nl}\\p{Pc}\\x{200C}\\x{200D}";

// RE2's Unicode tables are large; the default budget is too small for
// patterns that use several of these classes, and a bigger DFA cache keeps
// non-ASCII text on the fast path.
constexpr std::int64_t kMaxMem = std::int64_t{64} << 20;

RE2::Options engine_options() {
  RE2::Options o;
  o.set_encoding(RE2::Options::EncodingUTF8);
  o.set_log_errors(false);
  o.set_max_mem(kMaxMem);
  return o;
}

void append_hex(std::string& out, char32_t cp) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "\\x{%X}", static_cast<unsigned>(cp));
  out += buf;
}

// The complement of the word set as bracket ranges, computed once from the
// engine's own tables (so \W inside brackets agrees with \W outside them):
// every scalar value is laid out in order and the runs of word characters
// found by the engine are the set's ranges.
const std::string& non_word_items() {
  static const std::string items = [] {
    std::string all;
    all.reserve(4u << 20);
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;
      utf8::append(all, cp);
    }
    std::string word_run = "[";
    word_run += kWordItems;
    word_run += "]+";
    RE2 re(word_run, engine_options());
    PELRIN_CHECK(re.ok());
    std::string out;
    char32_t next_non_word = 0;  // first code point not yet covered
    re2::StringPiece input(all);
    re2::StringPiece m;
    std::size_t pos = 0;
    while (pos < all.size() && re.Match(input, pos, all.size(), RE2::UNANCHORED, &m, 1)) {
      const auto start = static_cast<std::size_t>(m.data() - all.data());
      const auto end = start + m.size();
      std::size_t p = start;
      const char32_t first = utf8::decode(all, p);
      std::size_t q = utf8::floor_boundary(all, end - 1);
      const char32_t last = utf8::decode(all, q);
      if (first > next_non_word) {
        append_hex(out, next_non_word);
        out += '-';
        append_hex(out, first - 1);
      }
      next_non_word = last + 1;
      pos = end;
    }
    if (next_non_word <= 0x10FFFF) {
      append_hex(out, next_non_word);
      out += "-\\x{10FFFF}";
    }
    return out;
  }();
  return items;
}

// Appends the rewrite of Perl class letter c (one of sSdDwW).
void append_class(std::string& out, char c, bool in_bracket) {
  switch (c) {
    case 's':
      if (!in_bracket) out += '[';
      out += kSpaceItems;
      if (!in_bracket) out += ']';
      return;
    case 'S':
      if (in_bracket) {
        out += kNonSpaceItems;
      } else {
        out += "[^";
        out += kSpaceItems;
        out += ']';
      }
      return;
    case 'd':
      out += "\\p{Nd}";
      return;
    case 'D':
      out += "\\P{Nd}";
      return;
    case 'w':
      if (!in_bracket) out += '[';
      out += kWordItems;
      if (!in_bracket) out += ']';
      return;
    case 'W':
      if (in_bracket) {
        out += non_word_items();
      } else {
        out += "[^";
        out += kWordItems;
        out += ']';
      }
      return;
    default:
      PELRIN_CHECK(false);
  }
}

constexpr bool is_perl_class(char c) {
  return c == 's' || c == 'S' || c == 'd' || c == 'D' || c == 'w' || c == 'W';
}

// Whether the pattern uses \C (any single byte), outside \Q...\E.
bool has_any_byte_escape(std::string_view p) {
  for (std::size_t i = 0; i + 1 < p.size(); ++i) {
    if (p[i] != '\\') continue;
    if (p[i + 1] == 'C') return true;
    if (p[i + 1] == 'Q') {
      const std::size_t close = p.find("\\E", i + 2);
      if (close == std::string_view::npos) return false;
      i = close + 1;
      continue;
    }
    ++i;  // skip the escaped character
  }
  return false;
}

}  // namespace

std::string rewrite_perl_classes(std::string_view p) {
  std::string out;
  out.reserve(p.size() + 16);
  bool in_bracket = false;
  std::size_t i = 0;
  const std::size_t n = p.size();
  while (i < n) {
    const char c = p[i];
    if (c == '\\' && i + 1 < n) {
      const char e = p[i + 1];
      if (is_perl_class(e)) {
        append_class(out, e, in_bracket);
        i += 2;
        continue;
      }
      if (e == 'Q' && !in_bracket) {
        // Quoted text is literal up to \E (or the end).
        const std::size_t close = p.find("\\E", i + 2);
        const std::size_t stop = close == std::string_view::npos ? n : close + 2;
        out.append(p.substr(i, stop - i));
        i = stop;
        continue;
      }
      out += c;
      out += e;
      i += 2;
      continue;
    }
    if (!in_bracket) {
      out += c;
      ++i;
      if (c == '[') {
        in_bracket = true;
        if (i < n && p[i] == '^') out += p[i++];
        if (i < n && p[i] == ']') out += p[i++];  // a leading "]" is literal
      }
      continue;
    }
    if (c == '[' && i + 1 < n && p[i + 1] == ':') {
      // A POSIX class such as [:alpha:] is copied whole.
      const std::size_t close = p.find(":]", i + 2);
      if (close != std::string_view::npos) {
        out.append(p.substr(i, close + 2 - i));
        i = close + 2;
        continue;
      }
    }
    if (c == ']') in_bracket = false;
    out += c;
    ++i;
  }
  return out;
}

Regex::Regex(std::string pattern, std::unique_ptr<re2::RE2> re)
    : pattern_(std::move(pattern)), re_(std::move(re)) {}
Regex::Regex(Regex&&) noexcept = default;
Regex& Regex::operator=(Regex&&) noexcept = default;
Regex::~Regex() = default;

Result<Regex> Regex::compile(std::string_view pattern, PerlClasses classes) {
  // \C can match inside a character, and every position this facade reports
  // must be a character boundary of the UTF-8 text.
  if (has_any_byte_escape(pattern)) return Error::value("invalid escape sequence: \\C");
  std::string source =
      classes == PerlClasses::kUnicode ? rewrite_perl_classes(pattern) : std::string(pattern);
  auto re = std::make_unique<RE2>(source, engine_options());
  if (!re->ok()) return Error::value(re->error());
  return Regex(std::string(pattern), std::move(re));
}

Regex Regex::fixed(std::string_view pattern, PerlClasses classes) {
  Result<Regex> r = compile(pattern, classes);
  if (!r.ok()) panic("fixed pattern does not compile: " + r.error().message);
  return std::move(r).value();
}

const std::string& Regex::compiled_pattern() const noexcept { return re_->pattern(); }

int Regex::group_count() const noexcept { return re_->NumberOfCapturingGroups(); }

bool Regex::is_match(std::string_view text) const {
  return re_->Match(re2::StringPiece(text.data(), text.size()), 0, text.size(), RE2::UNANCHORED,
                    nullptr, 0);
}

bool Regex::search(std::string_view text, std::size_t from, std::optional<Span>* groups,
                   int n) const {
  PELRIN_CHECK(n >= 1 && n <= group_count() + 1);
  PELRIN_CHECK(from <= text.size());
  re2::StringPiece subs[8];
  std::vector<re2::StringPiece> big;
  re2::StringPiece* sp = subs;
  if (n > 8) {
    big.resize(static_cast<std::size_t>(n));
    sp = big.data();
  }
  if (!re_->Match(re2::StringPiece(text.data(), text.size()), from, text.size(), RE2::UNANCHORED,
                  sp, n)) {
    return false;
  }
  for (int i = 0; i < n; ++i) {
    if (sp[i].data() == nullptr) {
      groups[i].reset();
    } else {
      const auto start = static_cast<std::size_t>(sp[i].data() - text.data());
      groups[i] = Span{start, start + sp[i].size()};
    }
  }
  return true;
}

std::optional<Span> Regex::find(std::string_view text) const {
  std::optional<Span> g;
  if (!search(text, 0, &g, 1)) return std::nullopt;
  return g;
}

std::optional<Span> Regex::find_group(std::string_view text, int group) const {
  std::vector<std::optional<Span>> g(static_cast<std::size_t>(group) + 1);
  if (!search(text, 0, g.data(), group + 1)) return std::nullopt;
  return g[static_cast<std::size_t>(group)];
}

std::vector<Span> Regex::find_all(std::string_view text) const {
  std::vector<Span> out;
  MatchIterator it(*this, text);
  while (it.next()) out.push_back(it.match());
  return out;
}

std::string Regex::replace_all(std::string_view text, std::string_view replacement) const {
  std::string out;
  std::size_t copied = 0;
  MatchIterator it(*this, text);
  while (it.next()) {
    const Span m = it.match();
    out.append(text.substr(copied, m.start - copied));
    out.append(replacement);
    copied = m.end;
  }
  out.append(text.substr(copied));
  return out;
}

MatchIterator::MatchIterator(const Regex& re, std::string_view text, int groups)
    : re_(re), text_(text), groups_(static_cast<std::size_t>(groups)) {}

bool MatchIterator::next() {
  while (!done_) {
    if (pos_ > text_.size() ||
        !re_.search(text_, pos_, groups_.data(), static_cast<int>(groups_.size()))) {
      done_ = true;
      return false;
    }
    const Span m = *groups_[0];
    if (m.empty()) {
      // Step over one whole character so the next search starts on a boundary.
      pos_ = m.end < text_.size()
                 ? m.end + utf8::sequence_length(static_cast<unsigned char>(text_[m.end]))
                 : text_.size() + 1;
      if (has_last_ && m.end == last_end_) continue;
    } else {
      pos_ = m.end;
    }
    last_end_ = m.end;
    has_last_ = true;
    return true;
  }
  return false;
}

Result<const Regex*> shared_regex(std::string_view pattern) {
  static std::mutex mu;
  static auto* cache = new absl::flat_hash_map<std::string, std::unique_ptr<Regex>>();
  {
    std::lock_guard<std::mutex> lock(mu);
    auto it = cache->find(std::string(pattern));
    if (it != cache->end()) return it->second.get();
  }
  // Compiled outside the lock: a large pattern must not stall other lookups.
  Result<Regex> r = Regex::compile(pattern);
  if (!r.ok()) return std::move(r).error();
  auto owned = std::make_unique<Regex>(std::move(r).value());
  std::lock_guard<std::mutex> lock(mu);
  auto [it, inserted] = cache->try_emplace(std::string(pattern), std::move(owned));
  return it->second.get();
}

}  // namespace pelrin::platform
