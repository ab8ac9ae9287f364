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

// tp_repr from a core function of the object.
template <class T, std::string (*Fn)(const T&)>
PyObject* repr_slot(PyObject* self) noexcept {
  return guarded([&]() -> PyObject* {
    Borrow<T, false> borrow(self);
    if (!borrow.ok()) return nullptr;
    return str_from_utf8(Fn(borrow.get()));
  });
}

// ---- Role ----

const EnumMember kRoleMembers[] = {
    {"System", "system", 0}, {"User", "user", 1}, {"Assistant", "assistant", 2}, {"Tool", "tool", 3}};

const char* role_as_str(const EnumValue& role) { return role.member->text; }

constexpr Signature kRoleAsStrSig{
    "as_str", "Role", {},
    "Provider/API string representation (\"system\" | \"user\" | \"assistant\" | \"tool\")."};

// The enumeration helper has no method table, so as_str is added to the
// class once, right after the class is first made.
OnceCell<PyObject> g_role_as_str;

// ---- ToolCall ----

constexpr Param kToolCallParams[] = {{"id"}, {"name"}, {"arguments", "{}"}};
constexpr const char* kToolCallDescription =
    "A tool invocation requested by the model (mirrors ``pelrin_protocol::ToolCall``).\n\n"
    "``arguments`` is carried as a JSON string at the Python boundary.";
constexpr Signature kToolCallNew{"__new__", "ToolCall", kToolCallParams, kToolCallDescription};

// The docstring shows the default of `arguments` as "...", which the
// generated signature line cannot say; the line is replaced once the class
// exists (the interpreter reads __text_signature__ from tp_doc).
bool set_tool_call_doc(PyTypeObject* type, const void*) {
  const std::string doc = std::string("ToolCall(id, name, arguments=...)\n--\n\n") + kToolCallDescription;
  auto* copy = static_cast<char*>(PyObject_Malloc(doc.size() + 1));
  if (copy == nullptr) {
    PyErr_NoMemory();
    return false;
  }
  std::memcpy(copy, doc.c_str(), doc.size() + 1);
  PyObject_Free(const_cast<char*>(type->tp_doc));
  type->tp_doc = copy;
  PyType_Modified(type);
  return true;
}

const PropertyDef kToolCallProperties[] = {
    read_only<&ToolCall::id>("id"),
    read_only<&ToolCall::name>("name"),
    read_only<&protocol::tool_call_arguments>("arguments", "The tool arguments as a JSON string."),
};
const PyType_Slot kToolCallSlots[] = {
    {Py_tp_repr, reinterpret_cast<void*>(&repr_slot<ToolCall, &protocol::tool_call_repr>)}};
const ClassSpec kToolCallSpec{"ToolCall",
                              kToolCallDescription,
                              &kToolCallNew,
                              &constructor_entry<&protocol::make_tool_call, kToolCallNew>,
                              sizeof(Object<ToolCall>),
                              &dealloc_object<ToolCall>,
                              {},
                              kToolCallProperties,
                              kToolCallSlots,
                              &set_tool_call_doc,
                              nullptr};

// ---- Usage ----

Usage make_usage(std::uint64_t prompt_tokens, std::uint64_t completion_tokens, std::uint64_t total_tokens) {
  return Usage{prompt_tokens, completion_tokens, total_tokens};
}

constexpr Param kUsageParams[] = {{"prompt_tokens", 0}, {"completion_tokens", 0}, {"total_tokens", 0}};
constexpr Signature kUsageNew{"__new__", "Usage", kUsageParams,
                              "Token usage statistics (mirrors ``pelrin_protocol::Usage``)."};
const PropertyDef kUsageProperties[] = {
    read_only<&Usage::prompt_tokens>("prompt_tokens"),
    read_only<&Usage::completion_tokens>("completion_tokens"),
    read_only<&Usage::total_tokens>("total_tokens"),
};
const ClassSpec kUsageSpec{"Usage", kUsageNew.doc, &kUsageNew, &constructor_entry<&make_usage, kUsageNew>,
                           sizeof(Object<Usage>), &dealloc_object<Usage>, {}, kUsageProperties, {}};

// ---- Message ----

Message make_message(Role role, std::optional<std::string> content,
                     std::optional<std::vector<ToolCall>> tool_calls, std::optional<std::string> tool_call_id) {
  return Message{role, std::move(content), std::move(tool_calls), std::move(tool_call_id)};
}

constexpr Param kMessageParams[] = {
    {"role"}, {"content", kNoneDefault}, {"tool_calls", kNoneDefault}, {"tool_call_id", kNoneDefault}};
constexpr Signature kMessageNew{"__new__", "Message", kMessageParams,
                                "A chat message (mirrors ``pelrin_protocol::Message``)."};
const PropertyDef kMessageProperties[] = {
    read_only<&Message::role>("role"),
    read_only<&Message::content>("content"),
    read_only<&Message::tool_calls>("tool_calls"),
    read_only<&Message::tool_call_id>("tool_call_id"),
};
const PyType_Slot kMessageSlots[] = {
    {Py_tp_repr, reinterpret_cast<void*>(&repr_slot<Message, &protocol::message_repr>)}};
const ClassSpec kMessageSpec{"Message", kMessageNew.doc, &kMessageNew,
                             &constructor_entry<&make_message, kMessageNew>, sizeof(Object<Message>),
                             &dealloc_object<Message>, {}, kMessageProperties, kMessageSlots};

// ---- StreamChunk ----

StreamChunk make_stream_chunk(std::optional<std::string> content, std::optional<std::vector<ToolCall>> tool_calls,
                              bool is_final, std::optional<Usage> usage) {
  return StreamChunk{std::move(content), std::move(tool_calls), is_final, usage};
}

constexpr Param kStreamChunkParams[] = {
    {"content", kNoneDefault}, {"tool_calls", kNoneDefault}, {"is_final", false}, {"usage", kNoneDefault}};
constexpr Signature kStreamChunkNew{"__new__", "StreamChunk", kStreamChunkParams,
                                    "A chunk from a streaming response (mirrors ``pelrin_protocol::StreamChunk``)."};
const PropertyDef kStreamChunkProperties[] = {
    read_only<&StreamChunk::content>("content"),
    read_only<&StreamChunk::tool_calls>("tool_calls"),
    read_only<&StreamChunk::is_final>("is_final"),
    read_only<&StreamChunk::usage>("usage"),
};
const ClassSpec kStreamChunkSpec{"StreamChunk", kStreamChunkNew.doc, &kStreamChunkNew,
                                 &constructor_entry<&make_stream_chunk, kStreamChunkNew>,
                                 sizeof(Object<StreamChunk>), &dealloc_object<StreamChunk>, {},
                                 kStreamChunkProperties, {}};

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

PyTypeObject* role_type() {
  PyTypeObject* type = EnumOf<Role>::def().type();
  if (type == nullptr) return nullptr;
  PyObject* descr = g_role_as_str.get_or_init([type]() -> PyObject* {
    static const FastMethod entry = &method_entry<&role_as_str, kRoleAsStrSig>;
    static PyMethodDef def{"as_str", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry)),
                           METH_FASTCALL | METH_KEYWORDS, signature_docstring(kRoleAsStrSig, "as_str", true)};
    PyObject* d = PyDescr_NewMethod(type, &def);
    if (d == nullptr) return nullptr;
    if (PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), "as_str", d) < 0) {
      Py_DECREF(d);
      return nullptr;
    }
    return d;  // one reference kept for the process
  });
  return descr != nullptr ? type : nullptr;
}

PyTypeObject* tool_call_type() { return class_type<ToolCall>(); }
PyTypeObject* usage_type() { return class_type<Usage>(); }
PyTypeObject* message_type() { return class_type<Message>(); }
PyTypeObject* stream_chunk_type() { return class_type<StreamChunk>(); }

const FunctionDef kEchoMessage = function<&echo_message, kEchoMessageSig>();
const FunctionDef kEchoStreamChunk = function<&echo_stream_chunk, kEchoStreamChunkSig>();

EnumDef& EnumOf<Role>::def() {
  static EnumDef d("Role", "Sender role for a chat message (mirrors ``pelrin_protocol::Role``).", kRoleMembers);
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
