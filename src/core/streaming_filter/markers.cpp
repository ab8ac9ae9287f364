// Thinking markers and their matchers.
#include "core/streaming_filter/markers.h"

#include "core/base/panic.h"

namespace pelrin::streaming_filter {
namespace {

// U+FF5C FULLWIDTH VERTICAL LINE and U+2581 LOWER ONE EIGHTH BLOCK.
constexpr std::string_view kStart[] = {
    "<\uFF5C"
    "begin\u2581of\u2581thinking\uFF5C>",
    "<|begin_of_thinking|>", "<think>"};
constexpr std::string_view kEnd[] = {
    "<\uFF5C"
    "end\u2581of\u2581thinking\uFF5C>",
    "<|end_of_thinking|>", "</think>"};
constexpr std::string_view kInline[] = {kStart[0], kEnd[0], kStart[1], kEnd[1], kStart[2], kEnd[2]};

const platform::LiteralMatcher* compile(std::span<const std::string_view> markers) {
  auto built = platform::LiteralMatcher::build(markers, platform::LiteralMatcherOptions{});
  PELRIN_CHECK(built.ok());
  return new platform::LiteralMatcher(std::move(built).value());  // lives until the process ends
}

}  // namespace

std::span<const std::string_view> start_markers() { return kStart; }
std::span<const std::string_view> end_markers() { return kEnd; }
std::span<const std::string_view> inline_markers() { return kInline; }

const platform::LiteralMatcher& START_MATCHER() {
  static const platform::LiteralMatcher* m = compile(kStart);
  return *m;
}
const platform::LiteralMatcher& END_MATCHER() {
  static const platform::LiteralMatcher* m = compile(kEnd);
  return *m;
}
const platform::LiteralMatcher& INLINE_MATCHER() {
  static const platform::LiteralMatcher* m = compile(kInline);
  return *m;
}

}  // namespace pelrin::streaming_filter
