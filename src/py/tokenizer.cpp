// Token counting: descriptors and docstrings of the estimate functions and
// of the BPE tokenizer class.
#include "py/tokenizer.h"

#include "core/tokenizer/fast_estimate.h"

namespace pelrin::py {
namespace {

constexpr Param kTextParam[] = {{"text"}};
constexpr Signature kCountTokensFastSig{
    "count_tokens_fast", nullptr, kTextParam,
    "Fast approximate token count (~90% accuracy).\n\n"
    "Uses heuristics based on white space, punctuation and typical subword splitting\n"
    "ratios. Meant for quick budget estimates when loading a full byte-pair-encoding\n"
    "model is too expensive."};

constexpr Param kTextsParam[] = {{"texts"}};
constexpr Signature kCountTokensFastBatchSig{
    "count_tokens_fast_batch", nullptr, kTextsParam,
    "Count tokens for a batch of texts using the fast heuristic.\n\n"
    "The whole batch crosses into native code once and runs in parallel; the results\n"
    "are identical to calling count_tokens_fast on each element."};

// ---- BpeTokenizer ----

using tokenizer::BpeTokenizer;

constexpr const char* kBpeDoc =
    "A BPE tokenizer that accepts pre-computed merge ranks.\n\n"
    "Construct once with ranks data (e.g. from tiktoken's cl100k_base),\n"
    "then call `count_tokens`, `encode`, or `count_tokens_batch`.";

constexpr Param kBpeNewParams[] = {{"name"}, {"ranks_data"}, {"special_tokens"}};
constexpr Signature kBpeNewSig{"__new__", "BpeTokenizer", kBpeNewParams, kBpeDoc};
constexpr Signature kBpeEncodeSig{"encode", "BpeTokenizer", kTextParam,
                                  "Encode `text` into a vector of token ids."};
constexpr Signature kBpeCountSig{"count_tokens", "BpeTokenizer", kTextParam,
                                 "Count tokens in `text` using the full BPE algorithm."};
constexpr Signature kBpeCountBatchSig{
    "count_tokens_batch", "BpeTokenizer", kTextsParam,
    "Count tokens for a batch of texts in parallel.\n\n"
    "The results equal count_tokens of each text, in input order."};

const MethodDef kBpeMethods[] = {
    method<&BpeTokenizer::encode, kBpeEncodeSig>(),
    method<&BpeTokenizer::count_tokens, kBpeCountSig>(),
    method<&BpeTokenizer::count_tokens_batch, kBpeCountBatchSig>(),
};
const PropertyDef kBpeProperties[] = {
    read_only<&BpeTokenizer::name>("name", "The tokenizer name."),
};
const ClassSpec kBpeSpec{"BpeTokenizer",
                         kBpeDoc,
                         &kBpeNewSig,
                         &constructor_entry<&tokenizer::make_bpe_tokenizer, kBpeNewSig>,
                         sizeof(Object<BpeTokenizer>),
                         &dealloc_object<BpeTokenizer>,
                         kBpeMethods,
                         kBpeProperties,
                         {}};

}  // namespace

const FunctionDef kCountTokensFast = function<&tokenizer::count_tokens_fast, kCountTokensFastSig>();
const FunctionDef kCountTokensFastBatch =
    function<&tokenizer::count_tokens_fast_batch, kCountTokensFastBatchSig>();

ClassDef& ClassOf<tokenizer::BpeTokenizer>::def() {
  static ClassDef d(kBpeSpec);
  return d;
}

PyTypeObject* bpe_tokenizer_type() { return class_type<tokenizer::BpeTokenizer>(); }

}  // namespace pelrin::py
