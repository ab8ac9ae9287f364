// Protocol records: class specs, properties, reprs and the echo functions.
#include "py/protocol.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "py/frame/errors.h"
#include "py/frame/once.h"

namespace pelrin::py {
namespace {

using protocol::Message;
using protocol::Role;
using protocol::StreamChunk;
using protocol::ToolCall;
using protocol::Usage;

// ---- Role ----

const EnumMember kRoleMembers[] = {{"System", "system", 0},
                                   {"User", "user", 1},
                                   {"Assistant", "assistant", 2},
                                   {"Tool", "tool", 3}};

const char* role_as_str(const EnumValue& role) { return role.member->text; }

constexpr Signature kRoleAsStrSig{
    "as_str",
    "Role",
    {},
    "Provider/API string representation (\"system\" | \"user\" | \"assistant\" | \"tool\")."};
const MethodDef kRoleMethods[] = {method<&role_as_str, kRoleAsStrSig>()};

// ---- ToolCall ----

constexpr Param kToolCallParams[] = {{"id"}, {"name"}, {"arguments", "{}", ShownAs{"..."}}};
constexpr const char* kToolCallDescription =
    "A tool invocation requested by the model (mirrors ``pelrin_protocol::ToolCall``).\n\n"
    "``arguments`` is carried as a JSON string at the Python boundary.";
constexpr Signature kToolCallNew{"__new__", "ToolCall", kToolCallParams, kToolCallDescription};

const PropertyDef kToolCallProperties[] = {
    read_only<&ToolCall::id>("id"),
    read_only<&ToolCall::name>("name"),
    read_only<&protocol::tool_call_arguments>("arguments", "The tool arguments as a JSON string."),
};
const PyType_Slot kToolCallSlots[] = {
    {Py_tp_repr, reinterpret_cast<void*>(&unary_slot<&protocol::tool_call_repr>)}};
const ClassSpec kToolCallSpec{"ToolCall",
                              kToolCallDescription,
                              &kToolCallNew,
                              &constructor_entry<&protocol::make_tool_call, kToolCallNew>,
                              sizeof(Object<ToolCall>),
                              &dealloc_object<ToolCall>,
                              {},
                              kToolCallProperties,
                              kToolCallSlots};

// ---- Usage ----

Usage make_usage(std::uint64_t prompt_tokens, std::uint64_t completion_tokens,
                 std::uint64_t total_tokens) {
  return Usage{prompt_tokens, completion_tokens, total_tokens};
}

constexpr Param kUsageParams[] = {
    {"prompt_tokens", 0}, {"completion_tokens", 0}, {"total_tokens", 0}};
constexpr Signature kUsageNew{"__new__", "Usage", kUsageParams,
                              "Token usage statistics (mirrors ``pelrin_protocol::Usage``)."};
const PropertyDef kUsageProperties[] = {
    read_only<&Usage::prompt_tokens>("prompt_tokens"),
    read_only<&Usage::completion_tokens>("completion_tokens"),
    read_only<&Usage::total_tokens>("total_tokens"),
};
const ClassSpec kUsageSpec{"Usage",
                           kUsageNew.doc,
                           &kUsageNew,
                           &constructor_entry<&make_usage, kUsageNew>,
                           sizeof(Object<Usage>),
                           &dealloc_object<Usage>,
                           {},
                           kUsageProperties,
                           {}};

// ---- Message ----

Message make_message(Role role, std::optional<std::string> content,
                     std::optional<std::vector<ToolCall>> tool_calls,
                     std::optional<std::string> tool_call_id) {
  return Message{role, std::move(content), std::move(tool_calls), std::move(tool_call_id)};
}

constexpr Param kMessageParams[] = {{"role"},
                                    {"content", kNoneDefault},
                                    {"tool_calls", kNoneDefault},
                                    {"tool_call_id", kNoneDefault}};
constexpr Signature kMessageNew{"__new__", "Message", kMessageParams,
                                "A chat message (mirrors ``pelrin_protocol::Message``)."};
const PropertyDef kMessageProperties[] = {
    read_only<&Message::role>("role"),
    read_only<&Message::content>("content"),
    read_only<&Message::tool_calls>("tool_calls"),
    read_only<&Message::tool_call_id>("tool_call_id"),
};
const PyType_Slot kMessageSlots[] = {
    {Py_tp_repr, reinterpret_cast<void*>(&unary_slot<&protocol::message_repr>)}};
const ClassSpec kMessageSpec{"Message",
                             kMessageNew.doc,
                             &kMessageNew,
                             &constructor_entry<&make_message, kMessageNew>,
                             sizeof(Object<Message>),
                             &dealloc_object<Message>,
                             {},
                             kMessageProperties,
                             kMessageSlots};

// ---- StreamChunk ----

StreamChunk make_stream_chunk(std::optional<std::string> content,
                              std::optional<std::vector<ToolCall>> tool_calls, bool is_final,
                              std::optional<Usage> usage) {
  return StreamChunk{std::move(content), std::move(tool_calls), is_final, usage};
}

constexpr Param kStreamChunkParams[] = {{"content", kNoneDefault},
                                        {"tool_calls", kNoneDefault},
                                        {"is_final", false},
                                        {"usage", kNoneDefault}};
constexpr Signature kStreamChunkNew{
    "__new__", "StreamChunk", kStreamChunkParams,
    "A chunk from a streaming response (mirrors ``pelrin_protocol::StreamChunk``)."};
const PropertyDef kStreamChunkProperties[] = {
    read_only<&StreamChunk::content>("content"),
    read_only<&StreamChunk::tool_calls>("tool_calls"),
    read_only<&StreamChunk::is_final>("is_final"),
    read_only<&StreamChunk::usage>("usage"),
};
const ClassSpec kStreamChunkSpec{"StreamChunk",
                                 kStreamChunkNew.doc,
                                 &kStreamChunkNew,
                                 &constructor_entry<&make_stream_chunk, kStreamChunkNew>,
                                 sizeof(Object<StreamChunk>),
                                 &dealloc_object<StreamChunk>,
                                 {},
                                 kStreamChunkProperties,
                                 {}};

// ---- functions ----

Message echo_message(const Message& msg) { return msg; }
StreamChunk echo_stream_chunk(const StreamChunk& chunk) { return chunk; }

constexpr Param kMsgParam[] = {{"msg"}};
constexpr Signature kEchoMessageSig{
    "echo_message", nullptr, kMsgParam,
    "Echo a Message back unchanged\n\n"
    "Proves that the binding layer can accept and return the protocol wrapper at the\n"
    "boundary (used by the Python round-trip test)."};
constexpr Param kChunkParam[] = {{"chunk"}};
constexpr Signature kEchoStreamChunkSig{"echo_stream_chunk", nullptr, kChunkParam,
                                        "Echo a StreamChunk back unchanged."};

}  // namespace

PyTypeObject* role_type() { return EnumOf<Role>::def().type(); }
PyTypeObject* tool_call_type() { return class_type<ToolCall>(); }
PyTypeObject* usage_type() { return class_type<Usage>(); }
PyTypeObject* message_type() { return class_type<Message>(); }
PyTypeObject* stream_chunk_type() { return class_type<StreamChunk>(); }

const FunctionDef kEchoMessage = function<&echo_message, kEchoMessageSig>();
const FunctionDef kEchoStreamChunk = function<&echo_stream_chunk, kEchoStreamChunkSig>();

EnumDef& EnumOf<Role>::def() {
  static EnumDef d("Role", "Sender role for a chat message (mirrors ``pelrin_protocol::Role``).",
                   kRoleMembers, kRoleMethods);
  return d;
}
ClassDef& ClassOf<ToolCall>::def() {
  static ClassDef d(kToolCallSpec);
  return d;
}
ClassDef& ClassOf<Usage>::def() {
  static ClassDef d(kUsageSpec);
  return d;
}
ClassDef& ClassOf<Message>::def() {
  static ClassDef d(kMessageSpec);
  return d;
}
ClassDef& ClassOf<StreamChunk>::def() {
  static ClassDef d(kStreamChunkSpec);
  return d;
}

}  // namespace pelrin::py
