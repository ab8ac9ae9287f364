// Protocol records of the module: Role, ToolCall, Usage, Message, StreamChunk.
#pragma once

#include "core/protocol/records.h"
#include "py/frame/entry.h"
#include "py/frame/enum.h"

namespace pelrin::py {

template <>
struct EnumOf<protocol::Role> {
  static EnumDef& def();
};
template <>
struct ClassOf<protocol::ToolCall> {
  static ClassDef& def();
};
template <>
struct ClassOf<protocol::Usage> {
  static ClassDef& def();
};
template <>
struct ClassOf<protocol::Message> {
  static ClassDef& def();
};
template <>
struct ClassOf<protocol::StreamChunk> {
  static ClassDef& def();
};

// The class objects for the registration table (borrowed; nullptr with an
// exception set on failure).
PyTypeObject* role_type();
PyTypeObject* tool_call_type();
PyTypeObject* usage_type();
PyTypeObject* message_type();
PyTypeObject* stream_chunk_type();

extern const FunctionDef kEchoMessage;
extern const FunctionDef kEchoStreamChunk;

}  // namespace pelrin::py
