// Fuzzes the literal engine against the definition of both semantics, and
// the dense form against the sparse one.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/literal_matcher.h"

namespace {

using pelrin::platform::LiteralMatch;
using pelrin::platform::LiteralMatcher;
using pelrin::platform::LiteralMatcherOptions;
using pelrin::platform::MatchKind;

void check(bool ok) {
  if (!ok) std::abort();
}

unsigned char fold(unsigned char b, bool ci) {
  return ci && b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + 32) : b;
}

bool occurs(std::string_view text, std::size_t at, std::string_view p, bool ci) {
  if (at + p.size() > text.size()) return false;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (fold(static_cast<unsigned char>(text[at + i]), ci) !=
        fold(static_cast<unsigned char>(p[i]), ci))
      return false;
  }
  return true;
}

// The first match at or after `from`, straight from the definitions.
bool naive_find(std::string_view text, const std::vector<std::string>& pats, std::size_t from,
                bool ll, bool ci, LiteralMatch& m) {
  if (ll) {
    for (std::size_t s = from; s <= text.size(); ++s) {
      int best = -1;
      for (std::size_t i = 0; i < pats.size(); ++i) {
        if (occurs(text, s, pats[i], ci) &&
            (best < 0 || pats[i].size() > pats[static_cast<std::size_t>(best)].size())) {
          best = static_cast<int>(i);
        }
      }
      if (best >= 0) {
        m = {static_cast<std::uint32_t>(best), s, s + pats[static_cast<std::size_t>(best)].size()};
        return true;
      }
    }
    return false;
  }
  for (std::size_t e = from; e <= text.size(); ++e) {
    int best = -1;
    for (std::size_t i = 0; i < pats.size(); ++i) {
      const std::size_t n = pats[i].size();
      if (n <= e && e - n >= from && occurs(text, e - n, pats[i], ci) &&
          (best < 0 || n > pats[static_cast<std::size_t>(best)].size())) {
        best = static_cast<int>(i);
      }
    }
    if (best >= 0) {
      m = {static_cast<std::uint32_t>(best), e - pats[static_cast<std::size_t>(best)].size(), e};
      return true;
    }
  }
  return false;
}

std::vector<LiteralMatch> naive_all(std::string_view text, const std::vector<std::string>& pats,
                                    bool ll, bool ci) {
  std::vector<LiteralMatch> out;
  std::size_t pos = 0;
  std::size_t last = SIZE_MAX;
  LiteralMatch m;
  while (pos <= text.size() && naive_find(text, pats, pos, ll, ci, m)) {
    const bool boundary =
        m.end >= text.size() || (static_cast<unsigned char>(text[m.end]) & 0xC0) != 0x80;
    if (m.start == m.end && (m.end == last || !boundary)) {
      pos = m.end + 1;
      continue;
    }
    out.push_back(m);
    pos = last = m.end;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  LiteralMatcherOptions dense;
  dense.kind = in.ConsumeBool() ? MatchKind::kLeftmostLongest : MatchKind::kStandard;
  dense.ascii_case_insensitive = in.ConsumeBool();
  dense.prefilter = in.ConsumeBool();
  LiteralMatcherOptions sparse = dense;
  sparse.max_dfa_transitions = 0;
  sparse.prefilter = !dense.prefilter;
  // A small alphabet (with a two-byte character) makes overlaps likely.
  static constexpr std::string_view kAlphabet[] = {"a", "b", "A", "B", "c", "\xc3\xa9", "\x00"};
  auto word = [&](std::size_t max_len) {
    std::string w;
    const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, max_len);
    for (std::size_t i = 0; i < n; ++i) {
      w += kAlphabet[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kAlphabet) - 1)];
    }
    return w;
  };
  std::vector<std::string> patterns(in.ConsumeIntegralInRange<std::size_t>(0, 8));
  for (auto& p : patterns) p = word(5);
  const std::string text = word(200);

  auto a = LiteralMatcher::build(std::span<const std::string>(patterns), dense);
  auto b = LiteralMatcher::build(std::span<const std::string>(patterns), sparse);
  check(a.ok() && b.ok());
  const auto found = a->find_all(text);
  check((found == naive_all(text, patterns, dense.kind == MatchKind::kLeftmostLongest,
                            dense.ascii_case_insensitive)));
  check(found == b->find_all(text));
  check(a->count(text) == found.size());
  check(a->is_match(text) == !found.empty());
  std::size_t prev_end = 0;
  for (const auto& m : found) {
    check(m.start >= prev_end && m.end <= text.size() && m.start <= m.end);
    prev_end = m.end;
  }
  return 0;
}
