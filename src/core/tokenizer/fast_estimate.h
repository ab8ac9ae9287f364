// The character-class token estimate: a fixed heuristic over UTF-8 text.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace pelrin::tokenizer {

// Estimated subword token count of `text` (valid UTF-8).
//
// Words are maximal runs without Unicode White_Space. The running estimate E
// (a double) starts at 0 and, per word in order, gets these terms added one
// at a time (no per-word subtotal, so the rounding matches exactly):
//   1.0; then (L - 10) * 0.25 if L > 10, else 0.3 if L > 6, with L the
//   word's UTF-8 byte length; then P * 0.8 for P > 0 ASCII punctuation
//   characters; then N * 0.5 for N > 0 characters above U+007F.
// E is rounded half away from zero and saturated to uint64. "" gives 0; a
// text with no word gives 1; any text with a word gives at least 1.
std::uint64_t count_tokens_fast(std::string_view text) noexcept;

// count_tokens_fast of every text, in order, computed on the worker pool.
std::vector<std::uint64_t> count_tokens_fast_batch(const std::vector<std::string_view>& texts);

}  // namespace pelrin::tokenizer
