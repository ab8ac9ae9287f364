// Thinking-token filtering classes and functions of the module.
#pragma once

#include "core/streaming_filter/streaming_filter.h"
#include "py/frame/entry.h"

namespace pelrin::py {

template <>
struct ClassOf<streaming_filter::StreamingFilter> {
  static ClassDef& def();
};
template <>
struct ClassOf<streaming_filter::StreamingChunkResult> {
  static ClassDef& def();
};

PyTypeObject* streaming_filter_type();
PyTypeObject* streaming_chunk_result_type();

extern const FunctionDef kStripThinkingTokens;
extern const FunctionDef kContainsThinkingTokens;
extern const FunctionDef kFindThinkingTokens;
extern const FunctionDef kExtractThinkingContent;

}  // namespace pelrin::py
