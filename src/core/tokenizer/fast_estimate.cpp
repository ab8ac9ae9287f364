// The token estimate: one table-driven pass over the bytes, no allocation.
#include "core/tokenizer/fast_estimate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "core/base/unicode.h"
#include "core/platform/worker_pool.h"

namespace pelrin::tokenizer {
namespace {

enum ByteClass : std::uint8_t {
  kWordByte,      // ASCII letter, digit or control that is not white space
  kPunct,         // ASCII punctuation 33..47, 58..64, 91..96, 123..126
  kSpace,         // ASCII white space
  kContinuation,  // 0x80..0xBF: part of a character already counted
  kLead,          // starts a non-ASCII character that is never white space
  kLeadMaybeSpace // 0xC2, 0xE1, 0xE2, 0xE3: may start a White_Space character
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

}  // namespace

std::uint64_t count_tokens_fast(std::string_view text) noexcept {
  if (text.empty()) return 0;
  const std::size_t n = text.size();
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  double estimate = 0.0;
  bool any_word = false;
  std::size_t i = 0;
  while (i < n) {
    // Skip white space.
    for (;;) {
      if (i >= n) break;
      const std::uint8_t k = kClasses[s[i]];
      if (k == kSpace) {
        ++i;
      } else if (k == kLeadMaybeSpace) {
        const std::size_t w = unicode::white_space_length(text, i);
        if (w == 0) break;
        i += w;
      } else {
        break;
      }
    }
    if (i >= n) break;
    // One word.
    const std::size_t start = i;
    std::uint64_t punct = 0;
    std::uint64_t non_ascii = 0;
    while (i < n) {
      const std::uint8_t k = kClasses[s[i]];
      if (k == kWordByte || k == kContinuation) {
        ++i;
      } else if (k == kPunct) {
        ++punct;
        ++i;
      } else if (k == kSpace) {
        break;
      } else {
        if (k == kLeadMaybeSpace && unicode::white_space_length(text, i) != 0) break;
        ++non_ascii;
        ++i;
      }
    }
    any_word = true;
    const std::size_t length = i - start;
    estimate += 1.0;
    if (length > 10) {
      estimate += static_cast<double>(length - 10) * 0.25;
    } else if (length > 6) {
      estimate += 0.3;
    }
    if (punct > 0) estimate += static_cast<double>(punct) * 0.8;
    if (non_ascii > 0) estimate += static_cast<double>(non_ascii) * 0.5;
  }
  if (!any_word) return 1;
  const double rounded = std::round(estimate);  // halves away from zero
  if (rounded >= 18446744073709551616.0) return UINT64_MAX;
  const auto result = static_cast<std::uint64_t>(rounded);
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
  const std::size_t grain = std::max<std::size_t>(1, texts.size() / (platform::worker_count() * 16));
  platform::parallel_for(texts.size(), [&](std::size_t i) { out[i] = count_tokens_fast(texts[i]); },
                         grain);
  return out;
}

}  // namespace pelrin::tokenizer
