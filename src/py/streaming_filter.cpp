// Thinking-token filtering: StreamingFilter, StreamingChunkResult and the
// whole-text functions.
#include "py/streaming_filter.h"

#include "core/streaming_filter/thinking_tokens.h"

namespace pelrin::py {
namespace {

using streaming_filter::StreamingChunkResult;
using streaming_filter::StreamingFilter;

const PropertyDef kResultProperties[] = {
    read_only<&StreamingChunkResult::content>("content", "Text to show for this chunk"),
    read_only<&StreamingChunkResult::is_thinking>("is_thinking",
                                                  "Whether the stream is inside a thinking block"),
    read_only<&StreamingChunkResult::state_changed>("state_changed",
                                                    "Whether thinking began or ended"),
    read_only<&StreamingChunkResult::entering_thinking>("entering_thinking",
                                                        "Whether a start marker was consumed"),
    read_only<&StreamingChunkResult::exiting_thinking>("exiting_thinking",
                                                       "Whether an end marker was consumed"),
};
const PyType_Slot kResultSlots[] = {
    {Py_tp_repr, reinterpret_cast<void*>(&unary_slot<&streaming_filter::chunk_result_repr>)}};
const ClassSpec kResultSpec{"StreamingChunkResult",
                            "Result of processing a streaming chunk",
                            nullptr,
                            nullptr,
                            sizeof(Object<StreamingChunkResult>),
                            &dealloc_object<StreamingChunkResult>,
                            {},
                            kResultProperties,
                            kResultSlots};

StreamingFilter filter_new(bool suppress_thinking, std::uint64_t max_thinking_content) {
  return StreamingFilter(suppress_thinking, max_thinking_content);
}

constexpr char kOwner[] = "StreamingFilter";
constexpr Param kNewParams[] = {{"suppress_thinking", false}, {"max_thinking_content", 50000}};
constexpr Signature kNewSig{
    "__new__", kOwner, kNewParams,
    "High-performance streaming content filter.\n\n"
    "Removes thinking markers from a streamed reply and passes the thinking\n"
    "text through (flagged) or suppresses it, across chunk boundaries."};
constexpr Param kChunkParam[] = {{"chunk"}};
constexpr Signature kProcessSig{
    "process_chunk", kOwner, kChunkParam,
    "Process a content chunk, detecting thinking state transitions.\n\n"
    "A tail that could begin a marker is held back until the next chunk."};
constexpr Signature kFlushSig{"flush",
                              kOwner,
                              {},
                              "Flush the residual buffer at end-of-stream.\n\n"
                              "Returns the held-back tail as normal or thinking text."};
constexpr Signature kResetSig{"reset",
                              kOwner,
                              {},
                              "Reset filter state for a new response.\n\n"
                              "Clears the state, counters, abort flag and any held-back tail."};
constexpr Signature kShouldAbortSig{
    "should_abort", kOwner, {}, "Check if streaming should be aborted."};
constexpr Signature kAbortReasonSig{"get_abort_reason", kOwner, {}, "Get abort reason if any."};
constexpr Signature kStateSig{"get_state", kOwner, {}, "Get current thinking state as string."};
constexpr Signature kLengthSig{
    "get_thinking_length", kOwner, {}, "Get total thinking content length processed."};

const MethodDef kFilterMethods[] = {
    method<&StreamingFilter::process_chunk, kProcessSig>(),
    method<&StreamingFilter::flush, kFlushSig>(),
    method<&StreamingFilter::reset, kResetSig>(),
    method<&StreamingFilter::should_abort, kShouldAbortSig>(),
    method<&StreamingFilter::get_abort_reason, kAbortReasonSig>(),
    method<&StreamingFilter::get_state, kStateSig>(),
    method<&StreamingFilter::get_thinking_length, kLengthSig>(),
};
const ClassSpec kFilterSpec{"StreamingFilter",
                            kNewSig.doc,
                            &kNewSig,
                            &constructor_entry<&filter_new, kNewSig>,
                            sizeof(Object<StreamingFilter>),
                            &dealloc_object<StreamingFilter>,
                            kFilterMethods,
                            {},
                            {}};

constexpr Param kContentParam[] = {{"content"}};
constexpr Signature kStripSig{"strip_thinking_tokens", nullptr, kContentParam,
                              "Strip all thinking tokens from content (batch processing).\n\n"
                              "Removes every marker and keeps the text between them."};
constexpr Signature kContainsSig{"contains_thinking_tokens", nullptr, kContentParam,
                                 "Check if content contains any thinking tokens."};
constexpr Signature kFindSig{"find_thinking_tokens", nullptr, kContentParam,
                             "Find all thinking token positions in content.\n\n"
                             "Returns (start, end, pattern_index) tuples with UTF-8 byte offsets."};
constexpr Signature kExtractSig{"extract_thinking_content", nullptr, kContentParam,
                                "Extract thinking content from a complete response.\n\n"
                                "Returns (main_content, thinking_content)."};

}  // namespace

ClassDef& ClassOf<StreamingFilter>::def() {
  static ClassDef d(kFilterSpec);
  return d;
}
ClassDef& ClassOf<StreamingChunkResult>::def() {
  static ClassDef d(kResultSpec);
  return d;
}

PyTypeObject* streaming_filter_type() { return class_type<StreamingFilter>(); }
PyTypeObject* streaming_chunk_result_type() { return class_type<StreamingChunkResult>(); }

const FunctionDef kStripThinkingTokens =
    function<&streaming_filter::strip_thinking_tokens, kStripSig>();
const FunctionDef kContainsThinkingTokens =
    function<&streaming_filter::contains_thinking_tokens, kContainsSig>();
const FunctionDef kFindThinkingTokens =
    function<&streaming_filter::find_thinking_tokens, kFindSig>();
const FunctionDef kExtractThinkingContent =
    function<&streaming_filter::extract_thinking_content, kExtractSig>();

}  // namespace pelrin::py
