// The six thinking markers and the three process-wide matchers over them.
//
// Markers match byte-exactly and case-sensitively, with standard semantics.
// No two markers can overlap in any text, so the first match found is also
// the leftmost one. Each matcher is built on first use (thread-safe) and
// never changes.
#pragma once

#include <span>
#include <string_view>

#include "core/platform/literal_matcher.h"

namespace pelrin::streaming_filter {

// Start markers: full-width, ASCII-bar, short.
std::span<const std::string_view> start_markers();
// End markers in the same order.
std::span<const std::string_view> end_markers();
// All six: begin/end full-width (0, 1), ASCII-bar (2, 3), short (4, 5).
std::span<const std::string_view> inline_markers();

const platform::LiteralMatcher& START_MATCHER();
const platform::LiteralMatcher& END_MATCHER();
const platform::LiteralMatcher& INLINE_MATCHER();

}  // namespace pelrin::streaming_filter
