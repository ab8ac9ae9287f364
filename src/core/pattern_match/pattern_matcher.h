// Multi-pattern literal search: the PatternMatcher class, the module's quick
// functions and the process-wide cache of compiled pattern lists.
//
// Positions are UTF-8 byte offsets (start inclusive, end exclusive).
// PatternMatcher, find_all_patterns and weighted_pattern_score use
// leftmost-longest semantics; the other quick functions use standard
// semantics. Case-insensitivity folds ASCII A-Z only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "absl/container/flat_hash_map.h"
#include "core/base/result.h"
#include "core/platform/literal_matcher.h"

namespace pelrin::pattern_match {

// One match, owning a copy of the matched slice (in the text's own case).
struct PatternMatch {
  std::uint64_t pattern_idx = 0;
  std::string matched_text;
  std::uint64_t start = 0;
  std::uint64_t end = 0;
};

// "PatternMatch(pattern=0, text='Foo', span=(4, 7))"; the text unescaped.
std::string pattern_match_repr(const PatternMatch& m);

// A compiled pattern list (leftmost-longest); immutable, so shared reads
// need no lock.
class PatternMatcher {
 public:
  // Fails with the builder's description when the set exceeds its capacity.
  static Result<PatternMatcher> create(std::vector<std::string> patterns, bool case_insensitive);

  bool case_insensitive() const { return case_insensitive_; }
  std::vector<PatternMatch> find_all(std::string_view text) const;
  bool contains_any(std::string_view text) const;
  std::uint64_t count_matches(std::string_view text) const;
  absl::flat_hash_map<std::uint64_t, std::uint64_t> count_by_pattern(std::string_view text) const;
  // Distinct pattern indices in the order of their first match.
  std::vector<std::uint64_t> matched_patterns(std::string_view text) const;
  std::vector<std::string> matched_pattern_strings(std::string_view text) const;
  // The pattern at idx, or nothing when idx is not below pattern_count().
  std::optional<std::string> get_pattern(std::uint64_t idx) const;
  std::uint64_t pattern_count() const { return matcher_->pattern_count(); }
  std::string replace_all(std::string_view text, std::string_view replacement) const;
  // Fails with "Expected N replacements, got M" unless there is exactly one
  // replacement per pattern.
  Result<std::string> replace_all_with(std::string_view text,
                                       const std::vector<std::string_view>& replacements) const;

 private:
  PatternMatcher(std::shared_ptr<const platform::LiteralMatcher> m, bool ci)
      : matcher_(std::move(m)), case_insensitive_(ci) {}
  std::shared_ptr<const platform::LiteralMatcher> matcher_;
  bool case_insensitive_;
};

// The compiled automaton for exactly `patterns` with these settings, from
// AC_CACHE when present there (at most 512 entries, never evicted; the
// cache mutex is held only for lookup and insertion). nullptr when the set
// is beyond the builder's capacity. Lists whose NUL-joined keys collide
// never share an automaton: a cached entry is used only when its pattern
// list equals `patterns`.
std::shared_ptr<const platform::LiteralMatcher> cached_automaton(
    const std::vector<std::string_view>& patterns, bool case_insensitive, bool leftmost_longest);

inline constexpr std::size_t kMaxCachedAutomatons = 512;

// Number of entries in AC_CACHE and of automatons built by cached_automaton
// since the process started (for tests).
std::size_t ac_cache_size();
std::uint64_t ac_cache_builds();

bool contains_any_pattern(std::string_view text, const std::vector<std::string_view>& patterns,
                          bool case_insensitive);
std::vector<PatternMatch> find_all_patterns(std::string_view text,
                                            const std::vector<std::string_view>& patterns,
                                            bool case_insensitive);
std::uint64_t count_pattern_matches(std::string_view text,
                                    const std::vector<std::string_view>& patterns,
                                    bool case_insensitive);
std::vector<std::uint64_t> get_matched_pattern_indices(
    std::string_view text, const std::vector<std::string_view>& patterns, bool case_insensitive);
std::vector<bool> batch_contains_any(const std::vector<std::string_view>& texts,
                                     const std::vector<std::string_view>& patterns,
                                     bool case_insensitive);
// Sum of the weights of the distinct patterns among the leftmost-longest
// matches. Fails with "Number of patterns (P) must match number of weights
// (W)" or "failed to build pattern automaton".
Result<double> weighted_pattern_score(std::string_view text,
                                      const std::vector<std::string_view>& patterns,
                                      const std::vector<double>& weights, bool case_insensitive);

}  // namespace pelrin::pattern_match
