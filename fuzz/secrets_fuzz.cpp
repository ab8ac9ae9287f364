// Masking equals the obvious sequential replacement (each match text, in
// scan order, replacing every occurrence in the result so far) whenever the
// mask character does not occur in the text, and always gives valid UTF-8.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/base/utf8.h"
#include "core/secrets/scanner.h"

namespace {

std::string reference_mask(std::string_view text, const std::string& mask, std::uint64_t visible) {
  std::string out(text);
  for (const auto& m : pelrin::secrets::scan_secrets(text)) {
    const std::string& t = m.matched_text;
    const std::size_t n = t.size();
    std::size_t head = 0, tail = n;
    if (visible < n && n - visible > visible) {
      head = pelrin::utf8::floor_boundary(t, visible);
      tail = n - visible;
      while (tail < n && pelrin::utf8::is_continuation(static_cast<unsigned char>(t[tail]))) ++tail;
    }
    std::string masked = t.substr(0, head);
    for (std::size_t i = head; i < tail; ++i) masked += mask;
    masked += t.substr(tail);
    std::string next;
    std::size_t at = 0;
    for (std::size_t hit; (hit = out.find(t, at)) != std::string::npos; at = hit + n) {
      next.append(out, at, hit - at);
      next += masked;
    }
    next.append(out, at, std::string::npos);
    out.swap(next);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr const char* kFragments[] = {"password=", "pwd: ",    "secret ",
                                               "api_key=",  "aws '",    "\"",
                                               "'",         " ",        "\n",
                                               "\xc3\xa9",  "abcdefgh", "0123456789",
                                               "gho_",      "ghp_",     "AKIA",
                                               "-",         "_",        "postgres://",
                                               "@",         ":",        "ABCDEFGHIJKLMNOP",
                                               "sk-ant-",   "xoxb-",    "eyJ",
                                               "."};
  FuzzedDataProvider in(data, size);
  const std::uint64_t visible = in.ConsumeIntegralInRange<std::uint64_t>(0, 12);
  const char32_t mask_cp = in.ConsumeBool() ? U'#' : U'\u2022';
  std::string text;
  while (in.remaining_bytes() > 0 && text.size() < 4096) {
    text += kFragments[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kFragments) - 1)];
  }
  std::string mask;
  pelrin::utf8::append(mask, mask_cp);
  const std::string got = pelrin::secrets::mask_secrets(text, mask_cp, visible);
  const std::string want = reference_mask(text, mask, visible);
  if (got != want) {
    std::fprintf(stderr, "visible=%llu\ntext=[%s]\ngot =[%s]\nwant=[%s]\n",
                 static_cast<unsigned long long>(visible), text.c_str(), got.c_str(), want.c_str());
    std::abort();
  }
  return 0;
}
