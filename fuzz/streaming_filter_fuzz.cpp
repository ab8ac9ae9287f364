// Fuzzes the streaming thinking filter: any split of a reply into chunks
// gives the same visible text, thinking length and abort flag as one chunk.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/streaming_filter/streaming_filter.h"

namespace {

using pelrin::streaming_filter::StreamingFilter;

struct Outcome {
  std::string text;
  std::uint64_t thinking;
  bool aborted;
  const char* state;
};

Outcome run(const std::vector<std::string_view>& chunks, bool suppress, std::uint64_t limit) {
  StreamingFilter f(suppress, limit);
  Outcome o;
  for (const auto c : chunks) o.text += f.process_chunk(c).content;
  o.text += f.flush().content;
  o.thinking = f.get_thinking_length();
  o.aborted = f.should_abort();
  o.state = f.get_state();
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool suppress = in.ConsumeBool();
  const auto limit = in.ConsumeIntegralInRange<std::uint64_t>(0, 64);
  // Whole markers, marker pieces and plain text, including multi-byte characters.
  static constexpr std::string_view kPieces[] = {
      "<think>",
      "</think>",
      "<|begin_of_thinking|>",
      "<|end_of_thinking|>",
      "<\xef\xbd\x9c"
      "begin\xe2\x96\x81of\xe2\x96\x81thinking\xef\xbd\x9c>",
      "<\xef\xbd\x9c"
      "end\xe2\x96\x81of\xe2\x96\x81thinking\xef\xbd\x9c>",
      "<",
      "</",
      "<|",
      "<\xef\xbd\x9c",
      "think",
      ">",
      "|",
      "x",
      " ",
      "\xc3\xa9",
      "\xe2\x96\x81"};
  std::string reply;
  const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, 24);
  for (std::size_t i = 0; i < n; ++i)
    reply += kPieces[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kPieces) - 1)];
  // Split at character boundaries only: chunks are whole strings.
  std::vector<std::string_view> chunks;
  std::size_t pos = 0;
  while (pos < reply.size()) {
    const std::size_t len = in.ConsumeIntegralInRange<std::size_t>(1, 12);
    std::size_t end = std::min(reply.size(), pos + len);
    while (end < reply.size() && (static_cast<unsigned char>(reply[end]) & 0xC0) == 0x80) ++end;
    chunks.push_back(std::string_view(reply).substr(pos, end - pos));
    pos = end;
  }
  const Outcome whole = run({reply}, suppress, limit);
  const Outcome split = run(chunks, suppress, limit);
  if (whole.text != split.text || whole.thinking != split.thinking ||
      whole.aborted != split.aborted || std::string_view(whole.state) != split.state) {
    std::abort();
  }
  return 0;
}
