// The chat records: role, tool call, usage, message and stream chunk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/result.h"
#include "core/platform/json.h"

namespace pelrin::protocol {

enum class Role : int { kSystem = 0, kUser = 1, kAssistant = 2, kTool = 3 };

// "system", "user", "assistant" or "tool".
const char* role_text(Role role) noexcept;

// A tool invocation; the arguments are held parsed, any JSON value.
struct ToolCall {
  std::string id;
  std::string name;
  json::Value arguments;
};

// Parses `arguments` as one strict JSON document. Fails with ValueError
// "arguments is not valid JSON: <description> at line L column C".
Result<ToolCall> make_tool_call(std::string id, std::string name, std::string_view arguments);

// The arguments written back as compact JSON with sorted keys.
std::string tool_call_arguments(const ToolCall& call);

// ToolCall(id="...", name="...") with both texts in the quoted form.
std::string tool_call_repr(const ToolCall& call);

// Three independent counts; total_tokens is never derived.
struct Usage {
  std::uint64_t prompt_tokens = 0;
  std::uint64_t completion_tokens = 0;
  std::uint64_t total_tokens = 0;
};

struct Message {
  Role role = Role::kUser;
  std::optional<std::string> content;
  std::optional<std::vector<ToolCall>> tool_calls;  // an empty list stays distinct from none
  std::optional<std::string> tool_call_id;
};

// Message(role=<text>, content=None) or Message(role=<text>, content=Some("...")).
std::string message_repr(const Message& message);

struct StreamChunk {
  std::optional<std::string> content;
  std::optional<std::vector<ToolCall>> tool_calls;
  bool is_final = false;
  std::optional<Usage> usage;
};

}  // namespace pelrin::protocol
