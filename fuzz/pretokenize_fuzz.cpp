// The hand-written pre-tokenization splitter gives exactly the pattern's
// pieces, and BPE encoding stays consistent, on arbitrary valid UTF-8.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/base/utf8.h"
#include "core/tokenizer/bpe.h"
#include "core/tokenizer/pretokenize.h"

namespace {

// Valid UTF-8 biased towards the characters the pattern distinguishes.
std::string text_from(FuzzedDataProvider& in) {
  static constexpr char32_t kInteresting[] = {'\'',  ' ',    '\n',    '\r',   '\t',   's',    'S',
                                              'l',   'e',    'r',     'v',    'm',    'd',    't',
                                              '1',   '!',    0xA0,    0x3000, 0x2028, 0x17F,  0x301,
                                              0x661, 0x4E2D, 0x1F600, 0xB2,   0x2160, 0x200D, 0x85};
  std::string s;
  while (in.remaining_bytes() > 0 && s.size() < 4096) {
    char32_t cp;
    if (in.ConsumeBool()) {
      cp = kInteresting[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kInteresting) - 1)];
    } else {
      cp = in.ConsumeIntegralInRange<char32_t>(0, 0x10FFFF);
      if (cp >= 0xD800 && cp <= 0xDFFF) cp = 'x';
    }
    pelrin::utf8::append(s, cp);
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string text = text_from(in);
  const auto fast = pelrin::tokenizer::split_piece_spans(text);
  if (fast != pelrin::tokenizer::bpe_pieces(text)) std::abort();
  std::size_t covered = 0;
  for (const auto& p : fast) {
    if (p.start != covered || p.empty()) std::abort();
    covered = p.end;
  }
  if (covered != text.size()) std::abort();

  static const pelrin::tokenizer::BpeTokenizer tok = pelrin::tokenizer::make_bpe_tokenizer(
      "fuzz", {{{'a'}, 0}, {{' ', 'a'}, 1}, {{'a', 'a'}, 2}, {{0xE4, 0xB8}, 3}, {{'\'', 's'}, 4}},
      {{"<|e|>", 9}});
  if (tok.encode(text).size() != tok.count_tokens(text)) std::abort();
  return 0;
}
