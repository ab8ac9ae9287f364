// Token counting functions and the BPE tokenizer class of the module.
#pragma once

#include "core/tokenizer/bpe.h"
#include "py/frame/entry.h"

namespace pelrin::py {

extern const FunctionDef kCountTokensFast;
extern const FunctionDef kCountTokensFastBatch;

template <>
struct ClassOf<tokenizer::BpeTokenizer> {
  static ClassDef& def();
};

// The BpeTokenizer class object (borrowed), or nullptr with an exception set.
PyTypeObject* bpe_tokenizer_type();

}  // namespace pelrin::py
