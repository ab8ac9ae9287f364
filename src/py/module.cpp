// The pelrin_native module: its definition, exec step and registration table.
#include "py/python.h"

#include "py/arg_normalizer.h"
#include "py/ast_indexer.h"
#include "py/classifier.h"
#include "py/embeddings.h"
#include "py/extractor.h"
#include "py/frame/registry.h"
#include "py/json_repair.h"
#include "py/pattern_match.h"
#include "py/protocol.h"
#include "py/sanitizer.h"
#include "py/secrets.h"
#include "py/similarity.h"
#include "py/streaming_filter.h"
#include "py/thinking.h"
#include "py/tokenizer.h"
#include "py/trace_scanner.h"

namespace pelrin::py {
namespace {

PyObject* make_version() { return PyUnicode_FromString("0.12.0"); }

// Every public name in registration order: __all__ and the module's
// attributes both come from this one list. Later areas insert their rows at
// their fixed places.
const Row kRows[] = {
    attribute_row("__version__", &make_version),
    class_row("Role", &role_type),
    class_row("ToolCall", &tool_call_type),
    class_row("Usage", &usage_type),
    class_row("Message", &message_type),
    class_row("StreamChunk", &stream_chunk_type),
    function_row(kEchoMessage),
    function_row(kEchoStreamChunk),
    function_row(kCosineSimilarity),
    function_row(kBatchCosineSimilarity),
    function_row(kSimilarityMatrix),
    function_row(kTopKSimilar),
    function_row(kBatchNormalizeVectors),
    function_row(kBatchCosineSimilarityNormalized),
    function_row(kTopKSimilarNormalized),
    class_row("EmbeddingIndex", &embedding_index_type),
    function_row(kRepairJson),
    function_row(kExtractJsonObjects),
    class_row("StreamingFilter", &streaming_filter_type),
    class_row("StreamingChunkResult", &streaming_chunk_result_type),
    function_row(kStripThinkingTokens),
    function_row(kContainsThinkingTokens),
    function_row(kFindThinkingTokens),
    function_row(kExtractThinkingContent),
    class_row("ThinkingDetector", &thinking_detector_type),
    class_row("PatternAnalysis", &pattern_analysis_type),
    function_row(kDetectCircularPhrases),
    function_row(kCountCircularPatterns),
    function_row(kFindCircularPatterns),
    class_row("TaskClassifier", &task_classifier_type),
    class_row("ClassificationResult", &classification_result_type),
    class_row("TaskType", &task_type_type),
    function_row(kClassifyTask),
    function_row(kHasActionKeywords),
    function_row(kHasAnalysisKeywords),
    function_row(kHasGenerationKeywords),
    function_row(kHasNegation),
    function_row(kFindAllKeywords),
    class_row("SecretMatch", &secret_match_type),
    function_row(kScanSecrets),
    function_row(kHasSecrets),
    function_row(kGetSecretTypes),
    function_row(kMaskSecrets),
    function_row(kListSecretPatterns),
    function_row(kScanSecretsSummary),
    class_row("PatternMatcher", &pattern_matcher_type),
    class_row("PatternMatch", &pattern_match_type),
    function_row(kContainsAnyPattern),
    function_row(kFindAllPatterns),
    function_row(kCountPatternMatches),
    function_row(kGetMatchedPatternIndices),
    function_row(kBatchContainsAny),
    function_row(kWeightedPatternScore),
    function_row(kExtractFilePath),
    function_row(kExtractCodeBlocks),
    function_row(kExtractShellCommands),
    function_row(kExtractToolCall),
    function_row(kBatchExtractFilePaths),
    function_row(kSanitizeResponse),
    function_row(kIsGarbageContent),
    function_row(kDetectLeakagePatterns),
    function_row(kStripMarkup),
    function_row(kValidateToolName),
    class_row("QuantizedEmbedding", &quantized_embedding_type),
    function_row(kQuantizeEmbedding),
    function_row(kBatchQuantizeEmbeddings),
    function_row(kDequantizeEmbedding),
    function_row(kQuantizedCosineSimilarity),
    function_row(kBatchQuantizedCosineSimilarity),
    function_row(kMatmulVector),
    function_row(kBatchMatmulVector),
    function_row(kRandomProjection),
    function_row(kPairwiseDistances),
    function_row(kKnnGraph),
    function_row(kIsStdlibModule),
    function_row(kBatchIsStdlibModules),
    function_row(kFilterStdlibImports),
    function_row(kExtractIdentifiers),
    function_row(kExtractIdentifiersWithPositions),
    function_row(kCoerceStringType),
    function_row(kBatchCoerceStringTypes),
    function_row(kNormalizeJsonString),
    function_row(kBatchNormalizeJsonStrings),
    function_row(kRepairQuotes),
    function_row(kIsValidJson),
    function_row(kGetJsonType),
    class_row("BpeTokenizer", &bpe_tokenizer_type),
    function_row(kCountTokensFast),
    function_row(kCountTokensFastBatch),
    class_row("SessionStats", &session_stats_type),
    function_row(kScanUsageFile),
    function_row(kScanUsageFiles),
};

int exec_module(PyObject* module) { return register_rows(module, kRows); }

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    // Class objects and caches are process-wide, so one interpreter only.
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "pelrin_native",
    "Pelrin Native Extensions Module\n\n"
    "Exposes high-performance native implementations of text, vector and graph\n"
    "operations to Python. All functions handle errors gracefully and raise\n"
    "appropriate Python exceptions when needed.",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace pelrin::py

extern "C" __attribute__((visibility("default"))) PyObject* PyInit_pelrin_native() {
  return PyModuleDef_Init(&pelrin::py::kModule);
}
