// Pattern matcher, quick functions and AC_CACHE.
#include "core/pattern_match/pattern_matcher.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace pelrin::pattern_match {
namespace {

using platform::LiteralMatch;
using platform::LiteralMatcher;
using platform::LiteralMatcherOptions;
using platform::MatchKind;

LiteralMatcherOptions options_for(bool case_insensitive, bool leftmost_longest) {
  LiteralMatcherOptions o;
  o.kind = leftmost_longest ? MatchKind::kLeftmostLongest : MatchKind::kStandard;
  o.ascii_case_insensitive = case_insensitive;
  return o;
}

PatternMatch owned(std::string_view text, const LiteralMatch& m) {
  return PatternMatch{m.pattern, std::string(text.substr(m.start, m.end - m.start)), m.start,
                      m.end};
}

std::vector<std::uint64_t> distinct_indices(const LiteralMatcher& m, std::string_view text) {
  std::vector<std::uint64_t> out;
  std::vector<bool> seen(m.pattern_count(), false);
  m.for_each(text, [&](const LiteralMatch& x) {
    if (!seen[x.pattern]) {
      seen[x.pattern] = true;
      out.push_back(x.pattern);
    }
    return true;
  });
  return out;
}

struct AcCache {
  std::mutex mu;
  absl::flat_hash_map<std::string, std::shared_ptr<const LiteralMatcher>> map;
  std::atomic<std::uint64_t> builds{0};
};

AcCache& AC_CACHE() {
  static AcCache* cache = new AcCache();  // lives until the process ends
  return *cache;
}

bool same_list(const std::vector<std::string>& a, const std::vector<std::string_view>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace

std::string pattern_match_repr(const PatternMatch& m) {
  std::string s = "PatternMatch(pattern=" + std::to_string(m.pattern_idx) + ", text='";
  s += m.matched_text;
  s += "', span=(" + std::to_string(m.start) + ", " + std::to_string(m.end) + "))";
  return s;
}

Result<PatternMatcher> PatternMatcher::create(std::vector<std::string> patterns,
                                              bool case_insensitive) {
  auto built = LiteralMatcher::build(std::span<const std::string>(patterns),
                                     options_for(case_insensitive, true));
  if (!built.ok()) return std::move(built).error();
  return PatternMatcher(std::make_shared<const LiteralMatcher>(std::move(built).value()),
                        case_insensitive);
}

std::vector<PatternMatch> PatternMatcher::find_all(std::string_view text) const {
  std::vector<PatternMatch> out;
  matcher_->for_each(text, [&](const LiteralMatch& m) {
    out.push_back(owned(text, m));
    return true;
  });
  return out;
}

bool PatternMatcher::contains_any(std::string_view text) const { return matcher_->is_match(text); }

std::uint64_t PatternMatcher::count_matches(std::string_view text) const {
  return matcher_->count(text);
}

absl::flat_hash_map<std::uint64_t, std::uint64_t> PatternMatcher::count_by_pattern(
    std::string_view text) const {
  absl::flat_hash_map<std::uint64_t, std::uint64_t> counts;
  matcher_->for_each(text, [&](const LiteralMatch& m) {
    ++counts[m.pattern];
    return true;
  });
  return counts;
}

std::vector<std::uint64_t> PatternMatcher::matched_patterns(std::string_view text) const {
  return distinct_indices(*matcher_, text);
}

std::vector<std::string> PatternMatcher::matched_pattern_strings(std::string_view text) const {
  std::vector<std::string> out;
  for (const std::uint64_t i : distinct_indices(*matcher_, text))
    out.push_back(matcher_->patterns()[i]);
  return out;
}

std::optional<std::string> PatternMatcher::get_pattern(std::uint64_t idx) const {
  if (idx >= matcher_->pattern_count()) return std::nullopt;
  return matcher_->patterns()[idx];
}

std::string PatternMatcher::replace_all(std::string_view text, std::string_view replacement) const {
  if (matcher_->pattern_count() == 0) return std::string(text);
  const std::string_view one[] = {replacement};
  return matcher_->replace_all(text, one);
}

Result<std::string> PatternMatcher::replace_all_with(
    std::string_view text, const std::vector<std::string_view>& replacements) const {
  if (replacements.size() != matcher_->pattern_count()) {
    return Error::value("Expected " + std::to_string(matcher_->pattern_count()) +
                        " replacements, got " + std::to_string(replacements.size()));
  }
  if (replacements.empty()) return std::string(text);
  return matcher_->replace_all(text, replacements);
}

std::shared_ptr<const LiteralMatcher> cached_automaton(
    const std::vector<std::string_view>& patterns, bool case_insensitive, bool leftmost_longest) {
  std::size_t total = 2 + patterns.size();
  for (const auto p : patterns) total += p.size();
  std::string key;
  key.reserve(total);
  key.push_back(case_insensitive ? '1' : '0');
  key.push_back(leftmost_longest ? '1' : '0');
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    if (i != 0) key.push_back('\0');
    key.append(patterns[i]);
  }
  AcCache& cache = AC_CACHE();
  bool collided = false;
  {
    std::lock_guard<std::mutex> lock(cache.mu);
    auto it = cache.map.find(key);
    if (it != cache.map.end()) {
      if (same_list(it->second->patterns(), patterns)) return it->second;
      collided = true;  // another list with the same joined text
    }
  }
  auto built = LiteralMatcher::build(std::span<const std::string_view>(patterns),
                                     options_for(case_insensitive, leftmost_longest));
  if (!built.ok()) return nullptr;
  cache.builds.fetch_add(1, std::memory_order_relaxed);
  auto shared = std::make_shared<const LiteralMatcher>(std::move(built).value());
  if (!collided) {
    std::lock_guard<std::mutex> lock(cache.mu);
    if (cache.map.size() < kMaxCachedAutomatons) {
      cache.map.insert_or_assign(std::move(key), shared);
    }
  }
  return shared;
}

std::size_t ac_cache_size() {
  AcCache& cache = AC_CACHE();
  std::lock_guard<std::mutex> lock(cache.mu);
  return cache.map.size();
}

std::uint64_t ac_cache_builds() { return AC_CACHE().builds.load(std::memory_order_relaxed); }

bool contains_any_pattern(std::string_view text, const std::vector<std::string_view>& patterns,
                          bool case_insensitive) {
  auto m = cached_automaton(patterns, case_insensitive, false);
  return m != nullptr && m->is_match(text);
}

std::vector<PatternMatch> find_all_patterns(std::string_view text,
                                            const std::vector<std::string_view>& patterns,
                                            bool case_insensitive) {
  std::vector<PatternMatch> out;
  auto m = cached_automaton(patterns, case_insensitive, true);
  if (m == nullptr) return out;
  m->for_each(text, [&](const LiteralMatch& x) {
    out.push_back(owned(text, x));
    return true;
  });
  return out;
}

std::uint64_t count_pattern_matches(std::string_view text,
                                    const std::vector<std::string_view>& patterns,
                                    bool case_insensitive) {
  auto m = cached_automaton(patterns, case_insensitive, false);
  return m == nullptr ? 0 : m->count(text);
}

std::vector<std::uint64_t> get_matched_pattern_indices(
    std::string_view text, const std::vector<std::string_view>& patterns, bool case_insensitive) {
  auto m = cached_automaton(patterns, case_insensitive, false);
  if (m == nullptr) return {};
  return distinct_indices(*m, text);
}

std::vector<bool> batch_contains_any(const std::vector<std::string_view>& texts,
                                     const std::vector<std::string_view>& patterns,
                                     bool case_insensitive) {
  std::vector<bool> out(texts.size(), false);
  auto m = cached_automaton(patterns, case_insensitive, false);
  if (m == nullptr) return out;
  for (std::size_t i = 0; i < texts.size(); ++i) out[i] = m->is_match(texts[i]);
  return out;
}

Result<double> weighted_pattern_score(std::string_view text,
                                      const std::vector<std::string_view>& patterns,
                                      const std::vector<double>& weights, bool case_insensitive) {
  if (patterns.size() != weights.size()) {
    return Error::value("Number of patterns (" + std::to_string(patterns.size()) +
                        ") must match number of weights (" + std::to_string(weights.size()) + ")");
  }
  auto m = cached_automaton(patterns, case_insensitive, true);
  if (m == nullptr) return Error::value("failed to build pattern automaton");
  double score = 0.0;
  std::vector<bool> seen(patterns.size(), false);
  m->for_each(text, [&](const LiteralMatch& x) {
    if (!seen[x.pattern]) {
      seen[x.pattern] = true;
      score += weights[x.pattern];
    }
    return true;
  });
  return score;
}

}  // namespace pelrin::pattern_match
