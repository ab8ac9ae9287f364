// The regex wrapper on arbitrary patterns and texts: compiling never
// crashes, and iteration yields ordered, non-overlapping spans on character
// boundaries that agree with find() and replace_all().
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/base/utf8.h"
#include "core/platform/regex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string pattern = in.ConsumeRandomLengthString(64);
  std::string text;
  while (in.remaining_bytes() > 0 && text.size() < 2048) {
    char32_t cp = in.ConsumeIntegralInRange<char32_t>(0, in.ConsumeBool() ? 0x7F : 0x10FFFF);
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = ' ';
    pelrin::utf8::append(text, cp);
  }
  auto re = pelrin::platform::Regex::compile(pattern);
  if (!re.ok()) return 0;
  const auto spans = re->find_all(text);
  std::size_t prev_end = 0;
  bool first = true;
  std::string rebuilt;
  for (const auto& s : spans) {
    if (s.start > s.end || s.end > text.size()) std::abort();
    if (!first && (s.start < prev_end || (s.empty() && s.end == prev_end))) std::abort();
    for (std::size_t b : {s.start, s.end}) {
      if (b < text.size() && pelrin::utf8::is_continuation(static_cast<unsigned char>(text[b])))
        std::abort();
    }
    rebuilt.append(text, prev_end, s.start - prev_end);
    rebuilt += '\x01';
    prev_end = s.end;
    first = false;
  }
  rebuilt.append(text, prev_end, std::string::npos);
  if (re->is_match(text) != !spans.empty()) std::abort();
  if (!spans.empty() && re->find(text) != spans.front()) std::abort();
  if (!spans.empty() && re->replace_all(text, "\x01") != rebuilt) std::abort();
  return 0;
}
