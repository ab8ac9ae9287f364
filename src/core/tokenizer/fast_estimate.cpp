// The token estimate: one table-driven pass over the bytes, no allocation.
#include "core/tokenizer/fast_estimate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "core/base/unicode.h"
#include "core/platform/worker_pool.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pelrin::tokenizer {
namespace {

enum ByteClass : std::uint8_t {
  kWordByte,       // ASCII letter, digit or control that is not white space
  kPunct,          // ASCII punctuation 33..47, 58..64, 91..96, 123..126
  kSpace,          // ASCII white space
  kContinuation,   // 0x80..0xBF: part of a character already counted
  kLead,           // starts a non-ASCII character that is never white space
  kLeadMaybeSpace  // 0xC2, 0xE1, 0xE2, 0xE3: may start a White_Space character
};

constexpr std::array<std::uint8_t, 256> make_classes() {
  std::array<std::uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    std::uint8_t k = kWordByte;
    if (b == 0x20 || (b >= 0x09 && b <= 0x0D)) {
      k = kSpace;
    } else if ((b >= 33 && b <= 47) || (b >= 58 && b <= 64) || (b >= 91 && b <= 96) ||
               (b >= 123 && b <= 126)) {
      k = kPunct;
    } else if (b >= 0x80 && b <= 0xBF) {
      k = kContinuation;
    } else if (b == 0xC2 || b == 0xE1 || b == 0xE2 || b == 0xE3) {
      k = kLeadMaybeSpace;
    } else if (b >= 0xC0) {
      k = kLead;
    }
    t[static_cast<std::size_t>(b)] = k;
  }
  return t;
}

constexpr std::array<std::uint8_t, 256> kClasses = make_classes();

// Below this much text per batch the pool costs more than it saves.
constexpr std::size_t kParallelMinBytes = 64 * 1024;

// The running sum and the word being read. Words may span the 64-byte
// blocks of the fast path and its scalar tail, so both share this state.
struct Estimate {
  double total = 0.0;
  bool any_word = false;
  bool open = false;  // a word is in progress
  std::uint64_t length = 0;
  std::uint64_t punct = 0;
  std::uint64_t non_ascii = 0;

  void close() {
    // Terms are added to the total one at a time, exactly in this order.
    any_word = true;
    open = false;
    // An absent term is added as +0.0, which leaves the (non-negative) total
    // unchanged: the same sum without a data-dependent branch per word.
    // Counts go through int64, whose conversion to double needs no branch.
    total += 1.0;
    const auto n = static_cast<std::int64_t>(length);
    const double long_term = static_cast<double>(n > 10 ? n - 10 : 0) * 0.25;
    total += n > 10 ? long_term : (n > 6 ? 0.3 : 0.0);
    total += static_cast<double>(static_cast<std::int64_t>(punct)) * 0.8;
    // Non-ASCII words come in long runs (or not at all), so this branch is
    // predictable and keeps a +0.0 add off the serial chain of sums.
    if (non_ascii > 0) total += static_cast<double>(static_cast<std::int64_t>(non_ascii)) * 0.5;
    length = punct = non_ascii = 0;
  }
};

// Scalar scan of text[i, n), continuing `st`.
// The portable path, and the one for short tails.
void scan_scalar(std::string_view text, std::size_t i, Estimate& st) {
  const std::size_t n = text.size();
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  while (i < n) {
    const std::uint8_t k = kClasses[s[i]];
    std::size_t white = 0;
    if (k == kSpace) {
      white = 1;
    } else if (k == kLeadMaybeSpace) {
      white = unicode::white_space_length(text, i);
    }
    if (white != 0) {
      if (st.open) st.close();
      i += white;
      continue;
    }
    st.open = true;
    ++st.length;
    st.punct += k == kPunct;
    st.non_ascii += k == kLead || k == kLeadMaybeSpace;
    ++i;
  }
}

#if defined(__SSE2__)

// Bit i of each mask describes byte i of a 64-byte block.
struct BlockMasks {
  std::uint64_t space;        // ASCII white space
  std::uint64_t punct;        // ASCII punctuation
  std::uint64_t lead;         // 0xC0..0xFF: starts a non-ASCII character
  std::uint64_t maybe_space;  // 0xC2, 0xE1..0xE3: may start multi-byte white space
};

inline __m128i in_range(__m128i b, unsigned char lo, unsigned char hi) {
  // Unsigned lo <= b <= hi as (b - lo) <= (hi - lo), via min.
  const __m128i t = _mm_sub_epi8(b, _mm_set1_epi8(static_cast<char>(lo)));
  const __m128i span = _mm_set1_epi8(static_cast<char>(hi - lo));
  return _mm_cmpeq_epi8(_mm_min_epu8(t, span), t);
}

inline std::uint64_t bits(__m128i m, int shift) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(m))) << shift;
}

inline BlockMasks classify(const unsigned char* p) {
  BlockMasks m{0, 0, 0, 0};
  for (int k = 0; k < 4; ++k) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i space =
        _mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8(' ')), in_range(b, 0x09, 0x0D));
    const __m128i punct = _mm_or_si128(_mm_or_si128(in_range(b, 33, 47), in_range(b, 58, 64)),
                                       _mm_or_si128(in_range(b, 91, 96), in_range(b, 123, 126)));
    const __m128i lead = in_range(b, 0xC0, 0xFF);
    const __m128i maybe = _mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8(static_cast<char>(0xC2))),
                                       in_range(b, 0xE1, 0xE3));
    m.space |= bits(space, 16 * k);
    m.punct |= bits(punct, 16 * k);
    m.lead |= bits(lead, 16 * k);
    m.maybe_space |= bits(maybe, 16 * k);
  }
  return m;
}

// Scans whole 64-byte blocks; returns where the scalar tail starts (past
// any bytes of a white-space character that straddles the last block).
// Cloned for processors with POPCNT, which the x86-64 baseline lacks.
__attribute__((target_clones("popcnt", "default"))) std::size_t scan_blocks(std::string_view text,
                                                                            Estimate& result) {
  Estimate st = result;  // a local copy keeps the running sum in a register
  const std::size_t n = text.size();
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = 0;
  std::uint64_t carried_space = 0;  // continuation bytes of white space from the previous block
  while (i + 64 <= n) {
    const BlockMasks m = classify(s + i);
    std::uint64_t space = m.space | carried_space;
    carried_space = 0;
    for (std::uint64_t maybe = m.maybe_space; maybe != 0; maybe &= maybe - 1) {
      const int b = std::countr_zero(maybe);
      const std::size_t w = unicode::white_space_length(text, i + static_cast<std::size_t>(b));
      if (w == 0) continue;
      const std::uint64_t char_bits = (w == 2 ? 0x3ULL : 0x7ULL);
      space |= char_bits << b;
      if (static_cast<std::size_t>(b) + w > 64) carried_space = char_bits >> (64 - b);
    }
    std::uint64_t word = ~space;
    if (st.open && (word & 1) == 0) st.close();
    while (word != 0) {
      const int start = std::countr_zero(word);
      const std::uint64_t rest = ~(word >> start);
      const int length = rest == 0 ? 64 - start : std::countr_zero(rest);
      const std::uint64_t range = length == 64 ? ~0ULL : ((1ULL << length) - 1) << start;
      st.open = true;
      st.length += static_cast<std::uint64_t>(length);
      st.punct += static_cast<std::uint64_t>(std::popcount(m.punct & range));
      st.non_ascii += static_cast<std::uint64_t>(std::popcount(m.lead & range));
      if (start + length < 64) st.close();
      word &= ~range;
    }
    i += 64;
  }
  result = st;
  return i + static_cast<std::size_t>(std::popcount(carried_space));
}

// Below this many bytes a plain walk beats copying and classifying a block
// (short texts such as chat messages are common).
constexpr std::size_t kShortTailBytes = 24;

// The last partial block, scanned as a whole block padded with spaces
// (white space adds nothing and closes a word in progress).
void scan_tail(std::string_view text, std::size_t from, Estimate& st) {
  if (from >= text.size()) return;
  const std::size_t n = text.size() - from;
  if (n < kShortTailBytes) {
    scan_scalar(text, from, st);
    return;
  }
  char block[64];
  std::memcpy(block, text.data() + from, n);
  std::memset(block + n, ' ', sizeof block - n);
  scan_blocks(std::string_view(block, sizeof block), st);
}

#else

std::size_t scan_blocks(std::string_view, Estimate&) { return 0; }
void scan_tail(std::string_view text, std::size_t from, Estimate& st) {
  scan_scalar(text, from, st);
}

#endif

}  // namespace

std::uint64_t count_tokens_fast(std::string_view text) noexcept {
  if (text.empty()) return 0;
  Estimate st;
  const std::size_t tail = text.size() >= 64 ? scan_blocks(text, st) : 0;
  scan_tail(text, tail, st);
  if (st.open) st.close();
  if (!st.any_word) return 1;
  const double total = st.total;
  if (total >= 18446744073709551616.0) return UINT64_MAX;
  // Round half away from zero (total >= 0). Below 2^53 the fraction
  // total - whole is exact; above it every double is a whole number.
  auto result = static_cast<std::uint64_t>(total);
  if (total < 9007199254740992.0 && total - static_cast<double>(result) >= 0.5) ++result;
  return result == 0 ? 1 : result;
}

std::vector<std::uint64_t> count_tokens_fast_batch(const std::vector<std::string_view>& texts) {
  std::size_t total_bytes = 0;
  for (const auto t : texts) total_bytes += t.size();
  std::vector<std::uint64_t> out(texts.size());
  if (total_bytes < kParallelMinBytes) {
    for (std::size_t i = 0; i < texts.size(); ++i) out[i] = count_tokens_fast(texts[i]);
    return out;
  }
  // Grain keeps per-range scheduling cost small against ~100-byte texts.
  const std::size_t grain =
      std::max<std::size_t>(1, texts.size() / (platform::worker_count() * 16));
  platform::parallel_for(
      texts.size(), [&](std::size_t i) { out[i] = count_tokens_fast(texts[i]); }, grain);
  return out;
}

}  // namespace pelrin::tokenizer
