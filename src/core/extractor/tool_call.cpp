// Tool-call rules over the path, code-block and shell extractors.
#include "core/extractor/tool_call.h"

#include "core/extractor/extract.h"
#include "core/platform/regex.h"

namespace pelrin::extractor {
namespace {

enum class Rule { kNone, kRead, kWrite, kShell, kList };

// Every rule name is ASCII, and the only non-ASCII character whose full
// lower-case form is pure ASCII is KELVIN SIGN ("k"), which no name holds;
// so ASCII lower-casing, refusing anything non-ASCII, picks the same rule
// as full Unicode lower-casing.
Rule rule_for(std::string_view tool_name) {
  std::string lower;
  lower.reserve(tool_name.size());
  for (const char c : tool_name) {
    if (static_cast<unsigned char>(c) >= 0x80) return Rule::kNone;
    lower.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  if (lower == "read" || lower == "read_file") return Rule::kRead;
  if (lower == "write" || lower == "write_file") return Rule::kWrite;
  if (lower == "run" || lower == "bash" || lower == "shell" || lower == "execute")
    return Rule::kShell;
  if (lower == "ls" || lower == "list") return Rule::kList;
  return Rule::kNone;
}

const platform::Regex& BACKTICK_PATH_PATTERN() {
  static const platform::Regex re = platform::Regex::fixed("`([a-zA-Z0-9_./-]+)`");
  return re;
}

// The first n code points of text.
std::string_view first_chars(std::string_view text, std::size_t n) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0u) != 0x80u) {
      if (count == n) return text.substr(0, i);
      ++count;
    }
  }
  return text;
}

}  // namespace

std::optional<ExtractedToolCall> extract_tool_call(std::string_view text,
                                                   std::string_view tool_name,
                                                   std::optional<std::string_view> current_file) {
  switch (rule_for(tool_name)) {
    case Rule::kNone:
      return std::nullopt;
    case Rule::kRead: {
      const auto path = extract_file_path(text);
      if (!path) return std::nullopt;
      return ExtractedToolCall{"read", {{"path", std::string(*path)}}, 0.9, first_chars(text, 100)};
    }
    case Rule::kWrite: {
      std::optional<std::string_view> path = extract_file_path(text);
      if (!path) path = current_file;
      if (!path) return std::nullopt;
      std::vector<std::string> blocks = extract_code_blocks(text);
      if (blocks.empty()) return std::nullopt;
      const std::string& content = blocks.front();
      const bool python = path->size() >= 3 && path->substr(path->size() - 3) == ".py" &&
                          (content.find("def ") != std::string::npos ||
                           content.find("class ") != std::string::npos);
      return ExtractedToolCall{
          "write",
          {{"path", std::string(*path)}, {"content", std::move(blocks.front())}},
          python ? 0.95 : 0.85,
          first_chars(text, 200)};
    }
    case Rule::kShell: {
      const std::vector<std::string_view> commands = extract_shell_commands(text);
      if (commands.empty()) return std::nullopt;
      return ExtractedToolCall{
          "shell", {{"command", std::string(commands.front())}}, 0.75, first_chars(text, 150)};
    }
    case Rule::kList: {
      const auto g = BACKTICK_PATH_PATTERN().find_group(text, 1);
      return ExtractedToolCall{"ls",
                               {{"path", g ? std::string(g->of(text)) : std::string(".")}},
                               0.8,
                               first_chars(text, 100)};
    }
  }
  return std::nullopt;
}

}  // namespace pelrin::extractor
