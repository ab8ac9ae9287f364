// Multi-pattern literal matcher (Aho-Corasick) over UTF-8 byte spans.
//
// One automaton answers both match semantics:
//   standard         the match that ends first; among matches ending at the
//                    same byte the longest (identical patterns: the one
//                    listed first).
//   leftmost-longest the match with the leftmost start; then the longest;
//                    then the pattern listed first.
// Iteration is non-overlapping and left to right: each search resumes at the
// end of the previous match. An empty match directly at the end of the
// previous match is skipped (so iteration always advances), and empty
// matches are reported only at UTF-8 character boundaries, so no reported
// span splits a character of valid UTF-8 text.
//
// ASCII case-insensitivity folds only A-Z onto a-z; every other byte must
// match exactly.
//
// Representation: bytes are mapped to equivalence classes (bytes that no
// pattern uses share one class); small and medium sets compile into a dense
// DFA over those classes, larger ones into a contiguous NFA whose failure
// links are followed at search time. From the start state a prefilter skips
// text that cannot begin a match: memchr-style when at most three bytes can
// start one, otherwise (up to 64 distinct prefixes, on CPUs with SSSE3) a
// packed SIMD test of the first one to three bytes of every pattern at 16
// positions at once. A prefilter
// that finds candidates too often on a text is switched off for the rest of
// that search.
//
// A matcher is immutable once built and may be shared between threads
// without locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/result.h"

namespace pelrin::platform {

enum class MatchKind : std::uint8_t { kStandard, kLeftmostLongest };

struct LiteralMatcherOptions {
  MatchKind kind = MatchKind::kStandard;
  bool ascii_case_insensitive = false;
  // The builder refuses pattern sets whose trie needs more states (about
  // 65 bytes of build memory per state at the peak: 2^23 states stay near
  // 550 MB; about 8 MB of pattern text without shared prefixes).
  std::size_t max_states = std::size_t{1} << 23;
  // Dense DFA while states x classes stays within this many transitions;
  // the contiguous NFA beyond.
  std::size_t max_dfa_transitions = std::size_t{1} << 21;
  // Skip ahead from the start state with a start-byte or packed prefilter.
  bool prefilter = true;
};

// One match: byte span [start, end) and the index of the pattern.
struct LiteralMatch {
  std::uint32_t pattern = 0;
  std::size_t start = 0;
  std::size_t end = 0;

  friend bool operator==(const LiteralMatch&, const LiteralMatch&) = default;
};

class LiteralMatcher {
 public:
  // Builds the automaton from `patterns` in list order (pattern index i is
  // patterns[i]). Fails with "pattern set too large: the automaton needs
  // more than M states" beyond options.max_states, or "too many patterns: N
  // exceed the limit of M" beyond 2^31 - 1 patterns.
  static Result<LiteralMatcher> build(std::span<const std::string_view> patterns,
                                      const LiteralMatcherOptions& options);
  static Result<LiteralMatcher> build(std::span<const std::string> patterns,
                                      const LiteralMatcherOptions& options);

  LiteralMatcher(LiteralMatcher&&) noexcept;
  LiteralMatcher& operator=(LiteralMatcher&&) noexcept;
  ~LiteralMatcher();

  MatchKind kind() const noexcept;
  bool ascii_case_insensitive() const noexcept;
  std::size_t pattern_count() const noexcept;
  // The patterns as given at build time.
  const std::vector<std::string>& patterns() const noexcept;
  // True when compiled into the dense DFA (for tests and benchmarks).
  bool is_dfa() const noexcept;

  // The first match whose start is at or after `from` (no skip rules); false
  // when there is none.
  bool find_at(std::string_view text, std::size_t from, LiteralMatch& out) const;

  // Calls fn(const LiteralMatch&) for each non-overlapping match in text
  // order; stops early when fn returns false.
  template <class Fn>
  void for_each(std::string_view text, Fn&& fn) const {
    std::size_t pos = 0;
    std::size_t last_end = SIZE_MAX;
    LiteralMatch m;
    SearchState state;
    while (pos <= text.size() && find_from(text, pos, m, state)) {
      if (m.start == m.end && (m.end == last_end || !is_boundary(text, m.end))) {
        pos = m.end + 1;  // skip the empty match, search again one byte on
        continue;
      }
      if (!fn(static_cast<const LiteralMatch&>(m))) return;
      pos = m.end;
      last_end = m.end;
    }
  }

  // Whether any match exists (stops at the first).
  bool is_match(std::string_view text) const;
  // Number of non-overlapping matches.
  std::size_t count(std::string_view text) const;
  // All non-overlapping matches in text order.
  std::vector<LiteralMatch> find_all(std::string_view text) const;
  // text with each match of pattern i replaced by replacements[i], or by
  // replacements[0] when only one replacement is given.
  std::string replace_all(std::string_view text,
                          std::span<const std::string_view> replacements) const;

  struct Impl;  // the compiled tables, opaque

  // What one iteration has learnt about the prefilter on its text.
  struct SearchState {
    std::size_t prefilter_calls = 0;
    std::size_t prefilter_skipped = 0;
    bool prefilter_off = false;
    bool any_match = false;  // stop at the first match state (existence only)
  };

 private:
  bool find_from(std::string_view text, std::size_t from, LiteralMatch& out,
                 SearchState& state) const;

  explicit LiteralMatcher(std::unique_ptr<Impl> impl);

  static bool is_boundary(std::string_view text, std::size_t pos) noexcept {
    return pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0u) != 0x80u;
  }

  std::unique_ptr<Impl> impl_;
};

}  // namespace pelrin::platform
