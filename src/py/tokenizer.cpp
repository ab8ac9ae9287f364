// Token counting: descriptors and docstrings of the estimate functions.
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

}  // namespace

const FunctionDef kCountTokensFast = function<&tokenizer::count_tokens_fast, kCountTokensFastSig>();
const FunctionDef kCountTokensFastBatch =
    function<&tokenizer::count_tokens_fast_batch, kCountTokensFastBatchSig>();

}  // namespace pelrin::py
