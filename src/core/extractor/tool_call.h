// Rebuilding a tool call that a model described in prose.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelrin::extractor {

struct ExtractedToolCall {
  std::string_view tool;                                       // "read", "write", "shell" or "ls"
  std::vector<std::pair<std::string_view, std::string>> args;  // in insertion order
  double confidence = 0.0;
  std::string_view source;  // the first 100, 150 or 200 code points of the text
};

// The tool call for `tool_name` (lower-cased; read/read_file, write/
// write_file, run/bash/shell/execute, ls/list), or nullopt for another tool
// or when the text lacks the needed arguments. `current_file` stands in for
// a missing path of the write rule only.
std::optional<ExtractedToolCall> extract_tool_call(std::string_view text,
                                                   std::string_view tool_name,
                                                   std::optional<std::string_view> current_file);

}  // namespace pelrin::extractor
