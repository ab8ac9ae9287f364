// Construction, JSON arguments and the text forms of the chat records.
#include "core/protocol/records.h"

#include <utility>

#include "core/base/unicode.h"
#include "core/base/utf8.h"

namespace pelrin::protocol {
namespace {

void append_hex(std::string& out, char32_t cp) {
  static constexpr char kHex[] = "0123456789abcdef";
  char buf[8];
  int n = 0;
  do {
    buf[n++] = kHex[cp & 0xF];
    cp >>= 4;
  } while (cp != 0);
  while (n > 0) out.push_back(buf[--n]);
}

}  // namespace

const char* role_text(Role role) noexcept {
  switch (role) {
    case Role::kSystem: return "system";
    case Role::kUser: return "user";
    case Role::kAssistant: return "assistant";
    case Role::kTool: return "tool";
  }
  return "user";
}

Result<ToolCall> make_tool_call(std::string id, std::string name, std::string_view arguments) {
  json::ParseResult parsed = json::parse(arguments);
  if (!parsed.ok) return Error::value("arguments is not valid JSON: " + parsed.error.message());
  return ToolCall{std::move(id), std::move(name), std::move(parsed.value)};
}

std::string tool_call_arguments(const ToolCall& call) { return json::write(call.arguments); }

std::string quoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    const std::size_t start = i;
    const char32_t cp = utf8::decode(text, i);
    switch (cp) {
      case U'"': out += "\\\""; break;
      case U'\\': out += "\\\\"; break;
      case U'\t': out += "\\t"; break;
      case U'\r': out += "\\r"; break;
      case U'\n': out += "\\n"; break;
      case U'\0': out += "\\0"; break;
      default:
        if (unicode::needs_escape(cp)) {
          out += "\\u{";
          append_hex(out, cp);
          out.push_back('}');
        } else {
          out.append(text.data() + start, i - start);
        }
    }
  }
  out.push_back('"');
  return out;
}

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
