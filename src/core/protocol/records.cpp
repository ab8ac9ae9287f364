// Construction, JSON arguments and the text forms of the chat records.
#include "core/protocol/records.h"

#include <utility>

#include "core/base/quoted.h"
#include "core/base/utf8.h"

namespace pelrin::protocol {

const char* role_text(Role role) noexcept {
  switch (role) {
    case Role::kSystem:
      return "system";
    case Role::kUser:
      return "user";
    case Role::kAssistant:
      return "assistant";
    case Role::kTool:
      return "tool";
  }
  return "user";
}

Result<ToolCall> make_tool_call(std::string id, std::string name, std::string_view arguments) {
  json::ParseResult parsed = json::parse(arguments);
  if (!parsed.ok) return Error::value("arguments is not valid JSON: " + parsed.error.message());
  return ToolCall{std::move(id), std::move(name), std::move(parsed.value)};
}

std::string tool_call_arguments(const ToolCall& call) { return json::write(call.arguments); }

std::string tool_call_repr(const ToolCall& call) {
  return "ToolCall(id=" + quoted(call.id) + ", name=" + quoted(call.name) + ")";
}

std::string message_repr(const Message& message) {
  std::string out = "Message(role=";
  out += role_text(message.role);
  out += ", content=";
  if (message.content.has_value()) {
    out += "Some(";
    out += quoted(*message.content);
    out += ")";
  } else {
    out += "None";
  }
  out += ")";
  return out;
}

}  // namespace pelrin::protocol
