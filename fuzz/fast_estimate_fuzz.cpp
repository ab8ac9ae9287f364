// Fuzzes the token estimate: the block scan must equal a plain per-character
// walk on every valid UTF-8 input, and the batch must equal the singles.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/base/unicode.h"
#include "core/base/utf8.h"
#include "core/tokenizer/fast_estimate.h"

namespace {

std::uint64_t reference(std::string_view text) {
  if (text.empty()) return 0;
  double total = 0.0;
  bool any = false;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t pos = i;
    if (pelrin::unicode::is_white_space(pelrin::utf8::decode(text, pos))) {
      i = pos;
      continue;
    }
    std::uint64_t length = 0, punct = 0, non_ascii = 0;
    while (i < text.size()) {
      std::size_t next = i;
      const char32_t cp = pelrin::utf8::decode(text, next);
      if (pelrin::unicode::is_white_space(cp)) break;
      length += next - i;
      punct += (cp >= 33 && cp <= 47) || (cp >= 58 && cp <= 64) || (cp >= 91 && cp <= 96) ||
               (cp >= 123 && cp <= 126);
      non_ascii += cp > 127;
      i = next;
    }
    any = true;
    total += 1.0;
    if (length > 10) {
      total += static_cast<double>(length - 10) * 0.25;
    } else if (length > 6) {
      total += 0.3;
    }
    if (punct > 0) total += static_cast<double>(punct) * 0.8;
    if (non_ascii > 0) total += static_cast<double>(non_ascii) * 0.5;
  }
  if (!any) return 1;
  const auto r = static_cast<std::uint64_t>(std::round(total));
  return r == 0 ? 1 : r;
}

// Builds valid UTF-8 from code points favouring white space and punctuation.
std::string make_text(FuzzedDataProvider& in) {
  static constexpr char32_t kPicks[] = {
      U' ',      U'\t',     U'\u00a0', U'\u3000', U'\u2028', U'\u205f', U'\u1680',     U'\u0085',
      U'\u2010', U'\u3001', U'.',      U'a',      U'\u00e9', U'\u65e5', U'\U0001F600', U'\u200b'};
  std::string s;
  const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, 600);
  for (std::size_t k = 0; k < n && in.remaining_bytes() > 0; ++k) {
    char32_t cp = kPicks[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kPicks) - 1)];
    if (in.ConsumeBool()) cp = in.ConsumeIntegralInRange<char32_t>(0, 0x7F);
    pelrin::utf8::append(s, cp);
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  std::vector<std::string> texts;
  while (in.remaining_bytes() > 0 && texts.size() < 8) texts.push_back(make_text(in));
  std::vector<std::string_view> views(texts.begin(), texts.end());
  const auto batch = pelrin::tokenizer::count_tokens_fast_batch(views);
  for (std::size_t k = 0; k < texts.size(); ++k) {
    const std::uint64_t fast = pelrin::tokenizer::count_tokens_fast(texts[k]);
    if (fast != reference(texts[k]) || batch[k] != fast) std::abort();
  }
  return 0;
}
