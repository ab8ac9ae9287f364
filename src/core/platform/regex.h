// Regular expressions over UTF-8 byte spans: the module's one RE2 wrapper.
//
// Dialect: RE2 syntax (no look-around, no back-references), leftmost-first
// alternation, inline flags (?i) (?m) (?s), "." not matching "\n" without
// (?s), "$" the end of the text without (?m). One difference from RE2's own
// defaults: the Perl classes are Unicode. Before compiling, \s becomes the
// White_Space set, \d becomes \p{Nd}, \w becomes letters, marks, decimal and
// letter numbers, connector punctuation, U+200C and U+200D, and \S \D \W
// their complements, inside and outside brackets. \b stays RE2's (ASCII).
//
// All positions are byte offsets into the UTF-8 text. A compiled Regex is
// immutable and may be used from many threads at once.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/result.h"

namespace re2 {
class RE2;
}

namespace pelrin::platform {

// A byte span [start, end) of the searched text.
struct Span {
  std::size_t start = 0;
  std::size_t end = 0;

  std::size_t size() const noexcept { return end - start; }
  bool empty() const noexcept { return start == end; }
  std::string_view of(std::string_view text) const noexcept {
    return text.substr(start, end - start);
  }
  friend bool operator==(const Span&, const Span&) = default;
};

enum class PerlClasses : unsigned char {
  kUnicode,  // the module's dialect: \s \d \w rewritten (the default)
  kAscii,    // RE2's own ASCII classes, the pattern compiled as written
};

// The pattern with \s \S \d \D \w \W replaced by their Unicode forms.
// Escapes inside \Q...\E and every other construct are copied unchanged.
std::string rewrite_perl_classes(std::string_view pattern);

class Regex {
 public:
  // Compiles `pattern`; Error::value with the engine's message when it is
  // not a valid expression. \C (any byte) is refused: matches always start
  // and end on character boundaries.
  static Result<Regex> compile(std::string_view pattern,
                               PerlClasses classes = PerlClasses::kUnicode);

  // For the module's fixed tables: a pattern that does not compile is a bug
  // (Panic).
  static Regex fixed(std::string_view pattern, PerlClasses classes = PerlClasses::kUnicode);

  Regex(Regex&&) noexcept;
  Regex& operator=(Regex&&) noexcept;
  ~Regex();

  // Whether the expression matches anywhere in text; stops at the first
  // match found and computes no positions.
  bool is_match(std::string_view text) const;

  // Number of capture groups.
  int group_count() const noexcept;

  // The leftmost match that starts at or after byte `from` (text before
  // `from` still counts as context for ^ and \b). On success fills
  // groups[0..n) (groups[0] the whole match; a group that did not take part
  // is nullopt). n must be at least 1 and at most group_count() + 1.
  bool search(std::string_view text, std::size_t from, std::optional<Span>* groups, int n) const;

  // The first match, or nullopt.
  std::optional<Span> find(std::string_view text) const;

  // Group `group` of the first match, or nullopt when there is no match or
  // the group did not take part in it.
  std::optional<Span> find_group(std::string_view text, int group) const;

  // Every non-overlapping match, left to right (see MatchIterator).
  std::vector<Span> find_all(std::string_view text) const;

  // text with every non-overlapping match replaced by `replacement`, taken
  // literally (no group references).
  std::string replace_all(std::string_view text, std::string_view replacement) const;

  // The pattern as given and as compiled.
  const std::string& pattern() const noexcept { return pattern_; }
  const std::string& compiled_pattern() const noexcept;

 private:
  Regex(std::string pattern, std::unique_ptr<re2::RE2> re);

  std::string pattern_;
  std::unique_ptr<re2::RE2> re_;
};

// Non-overlapping matches from left to right. After a match the search
// continues at its end; an empty match that ends exactly where the previous
// match ended is skipped, and after an empty match the search moves on by
// one whole character, so iteration always terminates.
//
//   MatchIterator it(re, text, 2);
//   while (it.next()) use(it.match(), it.group(1));
class MatchIterator {
 public:
  // `groups` is how many spans to report per match (1 = whole match only).
  MatchIterator(const Regex& re, std::string_view text, int groups = 1);

  bool next();
  Span match() const noexcept { return *groups_[0]; }
  std::optional<Span> group(int i) const noexcept { return groups_[static_cast<std::size_t>(i)]; }

 private:
  const Regex& re_;
  std::string_view text_;
  std::vector<std::optional<Span>> groups_;
  std::size_t pos_ = 0;
  std::size_t last_end_ = 0;
  bool has_last_ = false;
  bool done_ = false;
};

// A process-wide cache: the regex compiled from `pattern` (Unicode classes)
// on its first request, the same object for every later one. Thread-safe;
// entries live until the process ends. Error::value for a bad pattern
// (not cached).
Result<const Regex*> shared_regex(std::string_view pattern);

}  // namespace pelrin::platform
