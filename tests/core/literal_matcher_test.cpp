// The literal engine: dense and sparse forms agree, prefilter, capacity
// errors, character boundaries, and the pattern cache.
#include "core/platform/literal_matcher.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/pattern_match/pattern_matcher.h"

namespace pelrin::platform {
namespace {

TEST(LiteralMatcher, DenseSparseAndUnfilteredFormsAgree) {
  std::mt19937 rng(12345);
  const std::string alphabet = "abcAB\xc3\xa9";
  auto word = [&](std::size_t max_len) {
    std::string w;
    const std::size_t n = rng() % (max_len + 1);
    for (std::size_t i = 0; i < n; ++i) w.push_back(alphabet[rng() % alphabet.size()]);
    return w;
  };
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::string> patterns;
    const std::size_t np = rng() % 8;
    for (std::size_t i = 0; i < np; ++i) patterns.push_back(word(5));
    const std::string text = word(round % 2 == 0 ? 40 : 300);
    for (const MatchKind kind : {MatchKind::kStandard, MatchKind::kLeftmostLongest}) {
      for (const bool ci : {false, true}) {
        LiteralMatcherOptions dense;
        dense.kind = kind;
        dense.ascii_case_insensitive = ci;
        LiteralMatcherOptions sparse = dense;
        sparse.max_dfa_transitions = 0;
        LiteralMatcherOptions plain = dense;  // no prefilter: the reference scan
        plain.prefilter = false;
        auto a = LiteralMatcher::build(std::span<const std::string>(patterns), dense);
        auto b = LiteralMatcher::build(std::span<const std::string>(patterns), sparse);
        auto c = LiteralMatcher::build(std::span<const std::string>(patterns), plain);
        ASSERT_TRUE(a.ok() && b.ok() && c.ok());
        ASSERT_TRUE(a->is_dfa());
        ASSERT_FALSE(b->is_dfa());
        const auto expected = c->find_all(text);
        ASSERT_EQ(a->find_all(text), expected) << "round " << round;
        ASSERT_EQ(b->find_all(text), expected) << "round " << round;
        ASSERT_EQ(a->is_match(text), !expected.empty());
      }
    }
  }
}

TEST(LiteralMatcher, PrefilterDoesNotSkipMatches) {
  // One, two and three start bytes take the skip path; matches at the very
  // start and end of the text and after long gaps must all be seen.
  const std::string gap(1000, '.');
  const std::string text = "xa" + gap + "yb" + gap + "zc" + gap + "xa";
  const std::vector<std::vector<std::string>> sets = {{"xa"}, {"xa", "yb"}, {"xa", "yb", "zc"}};
  const std::size_t expected[] = {2, 3, 4};
  for (std::size_t i = 0; i < sets.size(); ++i) {
    for (const std::size_t dfa_limit : {std::size_t{1} << 21, std::size_t{0}}) {
      LiteralMatcherOptions o;
      o.max_dfa_transitions = dfa_limit;
      auto m = LiteralMatcher::build(std::span<const std::string>(sets[i]), o);
      ASSERT_TRUE(m.ok());
      EXPECT_EQ(m->count(text), expected[i]) << "set " << i << " dfa limit " << dfa_limit;
    }
  }
}

TEST(LiteralMatcher, PackedPrefilterFindsEveryCandidate) {
  // More than three start bytes take the packed test; matches sit at every
  // offset modulo 16 and at the very end, with and without case folding.
  const std::vector<std::string> patterns = {"qzx", "wvy", "jkq", "xqj", "vvw"};
  std::string text;
  std::vector<std::size_t> starts;
  for (std::size_t k = 0; k < 40; ++k) {
    text.append(k % 17, '.');
    starts.push_back(text.size());
    text += k % 2 == 0 ? patterns[k % patterns.size()] : "JKQ";
  }
  for (const bool ci : {false, true}) {
    LiteralMatcherOptions o;
    o.ascii_case_insensitive = ci;
    auto m = LiteralMatcher::build(std::span<const std::string>(patterns), o);
    ASSERT_TRUE(m.ok());
    EXPECT_EQ(m->count(text), ci ? starts.size() : starts.size() / 2);
  }
}

TEST(LiteralMatcher, CapacityLimitIsABuildError) {
  LiteralMatcherOptions o;
  o.max_states = 4;
  const std::vector<std::string> patterns = {"abcdef"};
  auto m = LiteralMatcher::build(std::span<const std::string>(patterns), o);
  ASSERT_FALSE(m.ok());
  EXPECT_EQ(m.error().message, "pattern set too large: the automaton needs more than 4 states");
}

TEST(LiteralMatcher, EmptyMatchesStayOnCharacterBoundaries) {
  const std::vector<std::string> patterns = {""};
  auto m = LiteralMatcher::build(std::span<const std::string>(patterns), LiteralMatcherOptions{});
  ASSERT_TRUE(m.ok());
  // "é" is two bytes: empty matches at 0 and 2 only.
  const auto found = m->find_all("\xc3\xa9");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].start, 0u);
  EXPECT_EQ(found[1].start, 2u);
  const std::string_view dash[] = {"-"};
  EXPECT_EQ(m->replace_all("\xc3\xa9", dash), "-\xc3\xa9-");
}

}  // namespace
}  // namespace pelrin::platform

namespace pelrin::pattern_match {
namespace {

TEST(AcCache, SameListCompilesOnce) {
  const std::vector<std::string_view> patterns = {"cache-once-x", "cache-once-y"};
  const auto before = ac_cache_builds();
  EXPECT_TRUE(contains_any_pattern("a cache-once-y b", patterns, true));
  EXPECT_TRUE(contains_any_pattern("cache-once-x", patterns, true));
  EXPECT_EQ(ac_cache_builds(), before + 1);
  // Other flags are another entry.
  EXPECT_FALSE(contains_any_pattern("CACHE-ONCE-X", patterns, false));
  EXPECT_EQ(ac_cache_builds(), before + 2);
}

TEST(AcCache, CollidingKeysNeverShareAnAutomaton) {
  using namespace std::string_view_literals;
  const std::vector<std::string_view> joined = {"k\0q"sv};
  const std::vector<std::string_view> split = {"k"sv, "q"sv};
  // Whichever list is cached first, each call reports indices into its own list.
  EXPECT_EQ(get_matched_pattern_indices("q k", split, true), (std::vector<std::uint64_t>{1, 0}));
  EXPECT_EQ(get_matched_pattern_indices("q k", joined, true), (std::vector<std::uint64_t>{}));
  EXPECT_EQ(get_matched_pattern_indices("k\0q"sv, joined, true), (std::vector<std::uint64_t>{0}));
  EXPECT_EQ(get_matched_pattern_indices("q k", split, true), (std::vector<std::uint64_t>{1, 0}));
}

TEST(AcCache, StopsStoringAtTheBound) {
  for (std::size_t i = 0; i < kMaxCachedAutomatons + 10; ++i) {
    const std::string p = "bound-" + std::to_string(i);
    const std::vector<std::string_view> patterns = {p};
    EXPECT_EQ(count_pattern_matches(p + " " + p, patterns, true), 2u);
  }
  EXPECT_EQ(ac_cache_size(), kMaxCachedAutomatons);
}

}  // namespace
}  // namespace pelrin::pattern_match
