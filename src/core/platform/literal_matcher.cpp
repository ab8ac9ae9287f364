// Aho-Corasick automaton: trie, failure links, dense DFA or contiguous NFA.
//
// Invariants of the compiled form:
//   - every state s has depth(s), the length of the trie string it stands
//     for, and out(s): the longest pattern that is a suffix of that string
//     (its own pattern if it ends one, else out(fail(s))), with its length;
//   - state ids are premultiplied by the row stride in the DFA; match states
//     come first, then the start state, so "s < special_limit" singles out
//     the states the search loop must stop at with one comparison (the start
//     counts only when a prefilter can skip ahead from it);
//   - duplicate patterns keep only their first index (later duplicates can
//     never be reported under either semantics).
// Leftmost-longest is searched on the same automaton: after the first match
// the scan goes on while a match starting at or before the best start is
// still possible, that is while end - depth(state) <= best.start.
#include "core/platform/literal_matcher.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <limits>
#include <utility>

#include "core/base/panic.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pelrin::platform {
namespace {

constexpr std::uint32_t kNoPattern = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t kNoState = std::numeric_limits<std::uint32_t>::max();

constexpr unsigned char fold(unsigned char b) noexcept {
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b;
}

// Build-time trie, kept small: while patterns are added, 24 bytes per state
// and 12 per edge (per-state linked lists) plus a direct table for the start
// state; freeze() then turns the edges into sorted per-state rows (5 bytes
// per edge) for the passes that follow.
struct TrieNode {
  std::uint32_t first_edge = kNoState;
  std::uint32_t fail = 0;
  std::uint32_t depth = 0;
  std::uint32_t own = kNoPattern;  // pattern ending here
  std::uint32_t out = kNoPattern;  // longest pattern that is a suffix
  std::uint32_t out_len = 0;
};

class Trie {
 public:
  using Row = std::span<const std::pair<unsigned char, std::uint32_t>>;

  Trie() : nodes_(1) { root_.fill(kNoState); }

  std::size_t size() const { return nodes_.size(); }
  std::size_t edge_count() const { return frozen_.size(); }
  TrieNode& operator[](std::uint32_t s) { return nodes_[s]; }
  const TrieNode& operator[](std::uint32_t s) const { return nodes_[s]; }

  std::uint32_t child(std::uint32_t s, unsigned char b) const {
    if (s == 0) return root_[b];
    if (!rows_.empty()) {
      for (const auto& [byte, nx] : children(s)) {
        if (byte == b) return nx;
        if (byte > b) break;
      }
      return kNoState;
    }
    for (std::uint32_t e = nodes_[s].first_edge; e != kNoState; e = edges_[e].sibling) {
      if (edges_[e].byte == b) return edges_[e].next;
    }
    return kNoState;
  }

  std::uint32_t add(std::uint32_t s, unsigned char b) {
    const auto nx = static_cast<std::uint32_t>(nodes_.size());
    const std::uint32_t depth = nodes_[s].depth + 1;
    nodes_.push_back(TrieNode{});
    nodes_.back().depth = depth;
    edges_.push_back(Edge{nx, nodes_[s].first_edge, b});
    nodes_[s].first_edge = static_cast<std::uint32_t>(edges_.size() - 1);
    if (s == 0) root_[b] = nx;
    return nx;
  }

  // Ends adding: every state's transitions become one row in byte order.
  void freeze() {
    rows_.assign(nodes_.size() + 1, 0);
    for (std::size_t s = 0; s < nodes_.size(); ++s) {
      std::uint32_t n = 0;
      for (std::uint32_t e = nodes_[s].first_edge; e != kNoState; e = edges_[e].sibling) ++n;
      rows_[s + 1] = rows_[s] + n;
    }
    frozen_.resize(edges_.size());
    for (std::size_t s = 0; s < nodes_.size(); ++s) {
      std::uint32_t k = rows_[s];
      for (std::uint32_t e = nodes_[s].first_edge; e != kNoState; e = edges_[e].sibling) {
        frozen_[k++] = {edges_[e].byte, edges_[e].next};
      }
      std::sort(frozen_.begin() + rows_[s], frozen_.begin() + rows_[s + 1]);
    }
    std::vector<Edge>().swap(edges_);
  }

  // The transitions of s in byte order (after freeze()).
  Row children(std::uint32_t s) const {
    return Row(frozen_.data() + rows_[s], rows_[s + 1] - rows_[s]);
  }

 private:
  struct Edge {
    std::uint32_t next;
    std::uint32_t sibling;
    unsigned char byte;
  };
  std::vector<TrieNode> nodes_;
  std::vector<Edge> edges_;
  std::array<std::uint32_t, 256> root_;
  std::vector<std::uint32_t> rows_;  // row s is frozen_[rows_[s], rows_[s + 1])
  std::vector<std::pair<unsigned char, std::uint32_t>> frozen_;
};

// Finds the next position in [p, end) holding one of up to three bytes.
const unsigned char* find_byte(const unsigned char* p, const unsigned char* end, int n,
                               const unsigned char* bytes) {
  if (n == 1) {
    const void* r = std::memchr(p, bytes[0], static_cast<std::size_t>(end - p));
    return r == nullptr ? end : static_cast<const unsigned char*>(r);
  }
  const unsigned char a = bytes[0];
  const unsigned char b = bytes[1];
  const unsigned char c = n == 3 ? bytes[2] : bytes[1];
  // Word-at-a-time test: a zero byte in (w ^ pattern) marks a hit.
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  const std::uint64_t pa = kOnes * a;
  const std::uint64_t pb = kOnes * b;
  const std::uint64_t pc = kOnes * c;
  while (end - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t xa = w ^ pa;
    const std::uint64_t xb = w ^ pb;
    const std::uint64_t xc = w ^ pc;
    const std::uint64_t hit = ((xa - kOnes) & ~xa) | ((xb - kOnes) & ~xb) | ((xc - kOnes) & ~xc);
    if ((hit & kHighs) != 0) break;
    p += 8;
  }
  for (; p < end; ++p) {
    if (*p == a || *p == b || *p == c) return p;
  }
  return end;
}

}  // namespace

struct LiteralMatcher::Impl {
  LiteralMatcherOptions options;
  std::vector<std::string> patterns;
  std::array<std::uint8_t, 256> classes{};  // text byte (case folded) -> class
  std::uint32_t class_count = 0;
  bool dfa = false;

  // Prefilter from the start state: kBytes for 1 to 3 possible start bytes,
  // kPacked for a bucketed nibble test of the first packed_len bytes.
  enum class Prefilter : std::uint8_t { kNone, kBytes, kPacked };
  Prefilter prefilter = Prefilter::kNone;
  int start_byte_count = 0;
  unsigned char start_bytes[3] = {};
  int packed_len = 0;
  // packed_lo[j][n] / packed_hi[j][n]: the buckets holding a pattern whose
  // byte j has low / high nibble n. A position is a candidate when some
  // bucket is set for every j.
  alignas(16) std::uint8_t packed_lo[3][16] = {};
  alignas(16) std::uint8_t packed_hi[3][16] = {};

  // ---- dense DFA ----
  std::uint32_t shift = 0;           // log2 of the row stride
  std::vector<std::uint32_t> trans;  // premultiplied ids
  std::uint32_t start = 0;           // premultiplied id of the start state
  std::uint32_t special_limit = 0;   // ids below: match states (and the start with a prefilter)
  std::uint32_t match_limit = 0;     // ids < this are match states
  // Per state index (id >> shift): depth, out pattern and its length.
  std::vector<std::uint32_t> depth;
  std::vector<std::uint32_t> out;
  std::vector<std::uint32_t> out_len;

  // ---- contiguous NFA (state ids are indices; 0 is the start) ----
  std::vector<std::uint32_t> fail;
  std::vector<std::uint32_t> first;  // CSR offsets into keys/next, size states + 1
  std::vector<std::uint8_t> keys;    // class ids, sorted per state
  std::vector<std::uint32_t> next;
  // The shallowest states (ids below dense_count, the start included) have
  // full rows, so the failure chase ends as soon as it reaches one.
  std::uint32_t dense_count = 0;
  std::vector<std::uint32_t> dense;  // dense_count rows of class_count entries

  std::uint32_t nfa_step(std::uint32_t s, std::uint8_t cls) const {
    for (;;) {
      if (s < dense_count) return dense[static_cast<std::size_t>(s) * class_count + cls];
      const std::uint32_t b = first[s];
      const std::uint32_t e = first[s + 1];
      for (std::uint32_t k = b; k < e; ++k) {
        if (keys[k] == cls) return next[k];
        if (keys[k] > cls) break;
      }
      s = fail[s];
    }
  }

  std::size_t packed_find(const unsigned char* p, std::size_t i, std::size_t n) const;

  // The next position at or after i where a match can start (text.size()
  // when there is none), or i itself once the prefilter stopped paying.
  std::size_t skip(std::string_view text, std::size_t i, SearchState& st) const {
    if (st.prefilter_off) return i;
    const auto* base = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t j =
        prefilter == Prefilter::kBytes
            ? static_cast<std::size_t>(
                  find_byte(base + i, base + text.size(), start_byte_count, start_bytes) - base)
            : packed_find(base, i, text.size());
    st.prefilter_skipped += j - i;
    // Candidates closer than 8 bytes apart on average: the plain scan is faster.
    if (++st.prefilter_calls >= 32 && st.prefilter_skipped < st.prefilter_calls * 8) {
      st.prefilter_off = true;
    }
    return j;
  }

  bool find_dfa(std::string_view text, std::size_t from, LiteralMatch& m, SearchState& st) const;
  bool find_nfa(std::string_view text, std::size_t from, LiteralMatch& m, SearchState& st) const;
};

namespace {

std::uint8_t packed_scalar_mask(const LiteralMatcher::Impl& im, const unsigned char* p,
                                std::size_t i) {
  std::uint8_t acc = 0xFF;
  for (int j = 0; j < im.packed_len; ++j) {
    const unsigned char b = p[i + static_cast<std::size_t>(j)];
    acc &= static_cast<std::uint8_t>(im.packed_lo[j][b & 0xF] & im.packed_hi[j][b >> 4]);
  }
  return acc;
}

#if defined(__x86_64__)
// Buckets whose pattern byte j fits each of the 16 bytes at p (nibble lookups).
__attribute__((target("ssse3"))) inline __m128i packed_buckets(const unsigned char* p, __m128i lo,
                                                               __m128i hi) {
  const __m128i nibble = _mm_set1_epi8(0x0F);
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i l = _mm_shuffle_epi8(lo, _mm_and_si128(c, nibble));
  const __m128i h = _mm_shuffle_epi8(hi, _mm_and_si128(_mm_srli_epi16(c, 4), nibble));
  return _mm_and_si128(l, h);
}

__attribute__((target("ssse3"))) std::size_t packed_find_ssse3(const LiteralMatcher::Impl& im,
                                                               const unsigned char* p,
                                                               std::size_t i, std::size_t n) {
  const auto m = static_cast<std::size_t>(im.packed_len);
  const __m128i zero = _mm_setzero_si128();
  __m128i lo[3];
  __m128i hi[3];
  for (std::size_t j = 0; j < 3; ++j) {
    lo[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(im.packed_lo[j]));
    hi[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(im.packed_hi[j]));
  }
  while (i + 16 + (m - 1) <= n) {
    __m128i r = packed_buckets(p + i, lo[0], hi[0]);
    if (m > 1) r = _mm_and_si128(r, packed_buckets(p + i + 1, lo[1], hi[1]));
    if (m > 2) r = _mm_and_si128(r, packed_buckets(p + i + 2, lo[2], hi[2]));
    const int hits = ~_mm_movemask_epi8(_mm_cmpeq_epi8(r, zero)) & 0xFFFF;
    if (hits != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
    i += 16;
  }
  for (; i + m <= n; ++i) {
    if (packed_scalar_mask(im, p, i) != 0) return i;
  }
  return n;
}

bool cpu_has_ssse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}
#endif

}  // namespace

std::size_t LiteralMatcher::Impl::packed_find(const unsigned char* p, std::size_t i,
                                              std::size_t n) const {
#if defined(__x86_64__)
  return packed_find_ssse3(*this, p, i, n);
#else
  const auto m = static_cast<std::size_t>(packed_len);
  for (; i + m <= n; ++i) {
    if (packed_scalar_mask(*this, p, i) != 0) return i;
  }
  return n;
#endif
}

namespace {

template <class Impl, class Step, class IsMatch, class Index>
bool leftmost_tail(const Impl& im, std::string_view text, std::size_t i, std::uint32_t s,
                   LiteralMatch& best, Step step, IsMatch is_match, Index index) {
  // best holds the first match seen; look for one starting no later that ends later.
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  while (i < n) {
    s = step(s, im.classes[p[i]]);
    ++i;
    const std::uint32_t x = index(s);
    if (i - im.depth[x] > best.start) break;
    if (is_match(s)) {
      const std::size_t st = i - im.out_len[x];
      if (st < best.start || (st == best.start && i > best.end)) {
        best.start = st;
        best.end = i;
        best.pattern = im.out[x];
      }
    }
  }
  return true;
}

}  // namespace

bool LiteralMatcher::Impl::find_dfa(std::string_view text, std::size_t from, LiteralMatch& m,
                                    SearchState& search) const {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  const std::uint32_t* t = trans.data();
  const std::uint8_t* cls = classes.data();
  std::uint32_t s = start;
  std::size_t i = from;
  if (s < match_limit) {
    m = {out[s >> shift], i, i};
  } else {
    for (;;) {
      if (s == start && prefilter != Prefilter::kNone) {
        i = skip(text, i, search);
        if (i >= n) return false;
      }
      // Hot loop: ordinary states only.
      while (i < n) {
        s = t[s + cls[p[i]]];
        ++i;
        if (s < special_limit) break;
      }
      if (s < match_limit) break;
      if (i >= n) return false;
    }
    const std::uint32_t x = s >> shift;
    m = {out[x], i - out_len[x], i};
  }
  if (options.kind == MatchKind::kStandard || search.any_match) return true;
  return leftmost_tail(
      *this, text, m.end, s, m, [t](std::uint32_t st, std::uint8_t c) { return t[st + c]; },
      [this](std::uint32_t st) { return st < match_limit; },
      [this](std::uint32_t st) { return st >> shift; });
}

bool LiteralMatcher::Impl::find_nfa(std::string_view text, std::size_t from, LiteralMatch& m,
                                    SearchState& search) const {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::uint32_t s = 0;
  std::size_t i = from;
  if (out[0] != kNoPattern) {
    m = {out[0], i, i};
  } else {
    for (;;) {
      if (s == 0 && prefilter != Prefilter::kNone) {
        i = skip(text, i, search);
        if (i >= n) return false;
      }
      if (i >= n) return false;
      s = nfa_step(s, classes[p[i]]);
      ++i;
      if (out[s] != kNoPattern) break;
    }
    m = {out[s], i - out_len[s], i};
  }
  if (options.kind == MatchKind::kStandard || search.any_match) return true;
  return leftmost_tail(
      *this, text, m.end, s, m,
      [this](std::uint32_t st, std::uint8_t c) { return nfa_step(st, c); },
      [this](std::uint32_t st) { return out[st] != kNoPattern; },
      [](std::uint32_t st) { return st; });
}

namespace {

template <class S>
Result<std::unique_ptr<LiteralMatcher::Impl>> build_impl(std::span<const S> input,
                                                         const LiteralMatcherOptions& options);

}  // namespace

LiteralMatcher::LiteralMatcher(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
LiteralMatcher::LiteralMatcher(LiteralMatcher&&) noexcept = default;
LiteralMatcher& LiteralMatcher::operator=(LiteralMatcher&&) noexcept = default;
LiteralMatcher::~LiteralMatcher() = default;

MatchKind LiteralMatcher::kind() const noexcept { return impl_->options.kind; }
bool LiteralMatcher::ascii_case_insensitive() const noexcept {
  return impl_->options.ascii_case_insensitive;
}
std::size_t LiteralMatcher::pattern_count() const noexcept { return impl_->patterns.size(); }
const std::vector<std::string>& LiteralMatcher::patterns() const noexcept {
  return impl_->patterns;
}
bool LiteralMatcher::is_dfa() const noexcept { return impl_->dfa; }

bool LiteralMatcher::find_at(std::string_view text, std::size_t from, LiteralMatch& out) const {
  SearchState state;
  return find_from(text, from, out, state);
}

bool LiteralMatcher::find_from(std::string_view text, std::size_t from, LiteralMatch& out,
                               SearchState& state) const {
  if (from > text.size()) return false;
  return impl_->dfa ? impl_->find_dfa(text, from, out, state)
                    : impl_->find_nfa(text, from, out, state);
}

bool LiteralMatcher::is_match(std::string_view text) const {
  // Whether a match exists does not depend on the semantics: no need to
  // look for a longer one.
  LiteralMatch m;
  SearchState state;
  state.any_match = true;
  return find_from(text, 0, m, state);
}

std::size_t LiteralMatcher::count(std::string_view text) const {
  std::size_t n = 0;
  for_each(text, [&n](const LiteralMatch&) {
    ++n;
    return true;
  });
  return n;
}

std::vector<LiteralMatch> LiteralMatcher::find_all(std::string_view text) const {
  std::vector<LiteralMatch> all;
  for_each(text, [&all](const LiteralMatch& m) {
    all.push_back(m);
    return true;
  });
  return all;
}

std::string LiteralMatcher::replace_all(std::string_view text,
                                        std::span<const std::string_view> replacements) const {
  PELRIN_CHECK(!replacements.empty() || pattern_count() == 0);
  std::string out;
  out.reserve(text.size());
  std::size_t last = 0;
  for_each(text, [&](const LiteralMatch& m) {
    out.append(text.substr(last, m.start - last));
    out.append(replacements.size() == 1 ? replacements[0] : replacements[m.pattern]);
    last = m.end;
    return true;
  });
  out.append(text.substr(last));
  return out;
}

Result<LiteralMatcher> LiteralMatcher::build(std::span<const std::string_view> patterns,
                                             const LiteralMatcherOptions& options) {
  auto r = build_impl(patterns, options);
  if (!r.ok()) return std::move(r).error();
  return LiteralMatcher(std::move(r).value());
}

Result<LiteralMatcher> LiteralMatcher::build(std::span<const std::string> patterns,
                                             const LiteralMatcherOptions& options) {
  auto r = build_impl(patterns, options);
  if (!r.ok()) return std::move(r).error();
  return LiteralMatcher(std::move(r).value());
}

namespace {

template <class S>
Result<std::unique_ptr<LiteralMatcher::Impl>> build_impl(std::span<const S> input,
                                                         const LiteralMatcherOptions& options) {
  constexpr std::size_t kMaxPatterns = std::numeric_limits<std::int32_t>::max();
  if (input.size() > kMaxPatterns) {
    return Error::value("too many patterns: " + std::to_string(input.size()) +
                        " exceed the limit of " + std::to_string(kMaxPatterns));
  }
  auto im = std::make_unique<LiteralMatcher::Impl>();
  im->options = options;
  im->patterns.reserve(input.size());
  for (const auto& p : input) im->patterns.emplace_back(p);
  const bool fold_case = options.ascii_case_insensitive;
  auto key = [fold_case](char c) {
    const auto b = static_cast<unsigned char>(c);
    return fold_case ? fold(b) : b;
  };

  // 1. Trie.
  Trie trie;
  for (std::size_t pi = 0; pi < im->patterns.size(); ++pi) {
    std::uint32_t s = 0;
    for (const char c : im->patterns[pi]) {
      const unsigned char b = key(c);
      std::uint32_t nx = trie.child(s, b);
      if (nx == kNoState) {
        if (trie.size() >= options.max_states) {
          return Error::value("pattern set too large: the automaton needs more than " +
                              std::to_string(options.max_states) + " states");
        }
        nx = trie.add(s, b);
      }
      s = nx;
    }
    if (trie[s].own == kNoPattern) trie[s].own = static_cast<std::uint32_t>(pi);
  }
  trie.freeze();
  const auto states = static_cast<std::uint32_t>(trie.size());

  // 2. Byte classes: one per byte used by a pattern, one for all others.
  std::array<bool, 256> used{};
  for (std::uint32_t st = 0; st < states; ++st) {
    for (const auto& [b, nx] : trie.children(st)) used[b] = true;
  }
  std::uint32_t nclasses = 1;
  std::array<std::uint8_t, 256> cls{};
  for (int b = 0; b < 256; ++b) {
    if (used[static_cast<std::size_t>(b)])
      cls[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(nclasses++);
  }
  if (nclasses > 256) {
    // All 256 bytes used: the "other" class is never needed.
    nclasses = 256;
    for (int b = 0; b < 256; ++b) cls[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(b);
  }
  for (int b = 0; b < 256; ++b) {
    const auto ub = static_cast<unsigned char>(b);
    im->classes[ub] = cls[fold_case ? fold(ub) : ub];
  }
  im->class_count = nclasses;

  // 3. Failure links and outputs, breadth first (a state's failure target is
  // shallower, so it is finished first). BFS order is kept for later passes.
  std::vector<std::uint32_t> order;
  order.reserve(states);
  order.push_back(0);
  trie[0].out = trie[0].own;
  trie[0].out_len = 0;
  for (std::size_t qi = 0; qi < order.size(); ++qi) {
    const std::uint32_t s = order[qi];
    for (const auto& [b, nx] : trie.children(s)) {
      std::uint32_t f = 0;
      if (s != 0) {
        f = trie[s].fail;
        for (;;) {
          const std::uint32_t c = trie.child(f, b);
          if (c != kNoState) {
            f = c;
            break;
          }
          if (f == 0) break;
          f = trie[f].fail;
        }
      }
      TrieNode& t = trie[nx];
      t.fail = f;
      if (t.own != kNoPattern) {
        t.out = t.own;
        t.out_len = t.depth;
      } else {
        t.out = trie[f].out;
        t.out_len = trie[f].out_len;
      }
      order.push_back(nx);
    }
  }

  // 4. Prefilter (never with an empty pattern: every position matches then).
  if (options.prefilter && trie[0].out == kNoPattern && !im->patterns.empty()) {
    std::array<bool, 256> starts{};
    int count = 0;
    for (int b = 0; b < 256; ++b) {
      const auto ub = static_cast<unsigned char>(b);
      if (trie.child(0, fold_case ? fold(ub) : ub) != kNoState) {
        starts[ub] = true;
        ++count;
      }
    }
    // Distinct folded prefixes of up to three bytes (the shortest pattern
    // bounds the length), for the packed test.
    std::size_t min_len = SIZE_MAX;
    for (const auto& q : im->patterns) min_len = std::min(min_len, q.size());
    const auto m = static_cast<int>(std::min<std::size_t>(3, min_len));
    std::vector<std::string> prefixes;
    for (const auto& q : im->patterns) {
      std::string pre;
      for (int j = 0; j < m; ++j)
        pre.push_back(static_cast<char>(key(q[static_cast<std::size_t>(j)])));
      prefixes.push_back(std::move(pre));
    }
    std::sort(prefixes.begin(), prefixes.end());
    prefixes.erase(std::unique(prefixes.begin(), prefixes.end()), prefixes.end());
    bool simd = false;  // the scalar form of the packed test is slower than the automaton
#if defined(__x86_64__)
    simd = cpu_has_ssse3();
#endif
    if (count >= 1 && count <= 3) {
      im->prefilter = LiteralMatcher::Impl::Prefilter::kBytes;
      for (int b = 0; b < 256; ++b) {
        if (starts[static_cast<std::size_t>(b)]) {
          im->start_bytes[im->start_byte_count++] = static_cast<unsigned char>(b);
        }
      }
    } else if (simd && prefixes.size() <= 64) {
      im->prefilter = LiteralMatcher::Impl::Prefilter::kPacked;
      im->packed_len = m;
      // Round-robin buckets over the sorted prefixes: neighbours, which
      // share nibbles, land in different buckets.
      for (std::size_t k = 0; k < prefixes.size(); ++k) {
        const auto bit = static_cast<std::uint8_t>(1u << (k % 8));
        for (int j = 0; j < m; ++j) {
          const auto b = static_cast<unsigned char>(prefixes[k][static_cast<std::size_t>(j)]);
          im->packed_lo[j][b & 0xF] |= bit;
          im->packed_hi[j][b >> 4] |= bit;
          if (fold_case && b >= 'a' && b <= 'z') im->packed_hi[j][(b - 32) >> 4] |= bit;
        }
      }
    }
  }

  std::uint32_t shift = 0;
  while ((std::uint32_t{1} << shift) < nclasses) ++shift;
  const std::size_t stride = std::size_t{1} << shift;
  im->dfa =
      static_cast<std::size_t>(states) * stride <= options.max_dfa_transitions &&
      (static_cast<std::uint64_t>(states) << shift) <= std::numeric_limits<std::uint32_t>::max();

  if (im->dfa) {
    // Renumber: match states, then the start (if not a match), then the rest.
    std::vector<std::uint32_t> id(states);
    std::uint32_t next_index = 0;
    for (std::uint32_t s : order) {
      if (trie[s].out != kNoPattern) id[s] = next_index++;
    }
    const std::uint32_t nmatch = next_index;
    if (trie[0].out == kNoPattern) id[0] = next_index++;
    for (std::uint32_t s : order) {
      if (trie[s].out == kNoPattern && s != 0) id[s] = next_index++;
    }
    im->shift = shift;
    im->match_limit = nmatch << shift;
    im->start = id[0] << shift;
    im->special_limit = im->prefilter != LiteralMatcher::Impl::Prefilter::kNone
                            ? im->match_limit + (1u << shift)
                            : im->match_limit;
    im->trans.assign(static_cast<std::size_t>(states) * stride, 0);
    im->depth.resize(states);
    im->out.resize(states);
    im->out_len.resize(states);
    // Rows by BFS order: a missing transition copies the failure state's row.
    for (std::uint32_t s : order) {
      const std::size_t row = static_cast<std::size_t>(id[s]) * stride;
      if (s == 0) {
        for (std::size_t c = 0; c < stride; ++c) im->trans[row + c] = id[0] << shift;
      } else {
        const std::size_t frow = static_cast<std::size_t>(id[trie[s].fail]) * stride;
        std::copy_n(im->trans.begin() + static_cast<std::ptrdiff_t>(frow), stride,
                    im->trans.begin() + static_cast<std::ptrdiff_t>(row));
      }
      for (const auto& [b, nx] : trie.children(s)) im->trans[row + cls[b]] = id[nx] << shift;
      im->depth[id[s]] = trie[s].depth;
      im->out[id[s]] = trie[s].out;
      im->out_len[id[s]] = trie[s].out_len;
    }
  } else {
    // Contiguous NFA in BFS order, start state 0 with a dense row.
    std::vector<std::uint32_t> id(states);
    for (std::uint32_t i = 0; i < states; ++i) id[order[i]] = i;
    im->fail.resize(states);
    im->first.resize(static_cast<std::size_t>(states) + 1);
    im->depth.resize(states);
    im->out.resize(states);
    im->out_len.resize(states);
    im->keys.reserve(trie.edge_count());
    im->next.reserve(trie.edge_count());
    for (std::uint32_t i = 0; i < states; ++i) {
      const TrieNode& st = trie[order[i]];
      im->first[i] = static_cast<std::uint32_t>(im->keys.size());
      // Sorted by class: classes are assigned in byte order, so byte order is class order.
      for (const auto& [b, nx] : trie.children(order[i])) {
        im->keys.push_back(cls[b]);
        im->next.push_back(id[nx]);
      }
      im->fail[i] = id[st.fail];
      im->depth[i] = st.depth;
      im->out[i] = st.out;
      im->out_len[i] = st.out_len;
    }
    im->first[states] = static_cast<std::uint32_t>(im->keys.size());
    // Dense rows for depth <= 2, within a budget; BFS order makes them a prefix.
    constexpr std::size_t kDenseBudget = std::size_t{1} << 20;
    std::uint32_t dense_count = 0;
    while (dense_count < states && trie[order[dense_count]].depth <= 2 &&
           (static_cast<std::size_t>(dense_count) + 1) * nclasses <= kDenseBudget) {
      ++dense_count;
    }
    im->dense_count = dense_count;
    im->dense.assign(static_cast<std::size_t>(dense_count) * nclasses, 0);
    for (std::uint32_t i = 0; i < dense_count; ++i) {
      const std::size_t row = static_cast<std::size_t>(i) * nclasses;
      if (i != 0) {
        // The failure state is shallower, so its row is already complete.
        const std::size_t frow = static_cast<std::size_t>(im->fail[i]) * nclasses;
        std::copy_n(im->dense.begin() + static_cast<std::ptrdiff_t>(frow), nclasses,
                    im->dense.begin() + static_cast<std::ptrdiff_t>(row));
      }
      for (std::uint32_t k = im->first[i]; k < im->first[i + 1]; ++k)
        im->dense[row + im->keys[k]] = im->next[k];
    }
  }
  return im;
}

}  // namespace

}  // namespace pelrin::platform
