// Cleaning model replies of leaked markup, tool syntax and prompt text, and
// validating tool names. Pure functions over fixed tables compiled once per
// process and shared by threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace pelrin::sanitizer {

// The reply cleaned: the cleanup patterns applied in order, the six thinking
// markers removed, leaked prompt sentences cut to the end of their line,
// lines that start (after trimming) with {"name":, "</", "parameter=" or
// "<parameter" dropped, and the whole trimmed.
std::string sanitize_response(std::string_view text);

// (start byte, end byte, pattern name) of every leaked prompt sentence,
// sorted by start; equal starts keep the table order.
std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string_view>> detect_leakage_patterns(
    std::string_view text);

// Whether any garbage pattern occurs ("" is not garbage); stops at the first.
bool is_garbage_content(std::string_view content);

// Every tag replaced by a space, then white-space runs collapsed to single
// spaces and the ends trimmed.
std::string strip_markup(std::string_view text);

// (true, nullopt) for a plausible tool name, else (false, reason).
std::pair<bool, std::optional<std::string>> validate_tool_name(std::string_view name);

}  // namespace pelrin::sanitizer
