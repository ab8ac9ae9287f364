// Whole-text thinking-marker functions over the shared marker matchers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace pelrin::streaming_filter {

// Whether any of the six markers occurs (a lone end marker counts).
bool contains_thinking_tokens(std::string_view content);
// (start byte, end byte, marker index in the inline table), left to right.
std::vector<std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>> find_thinking_tokens(
    std::string_view content);
// The content with every marker removed; text between markers stays.
std::string strip_thinking_tokens(std::string_view content);
// (main, thinking): text outside and inside start/end pairs, markers
// dropped; an unclosed block runs to the end.
std::pair<std::string, std::string> extract_thinking_content(std::string_view content);

}  // namespace pelrin::streaming_filter
