// Vector similarity: descriptors and docstrings of the cosine, top-k and
// normalisation functions.
#include "py/similarity.h"

#include "core/similarity/cosine.h"
#include "py/vector_convert.h"

namespace pelrin::py {
namespace {

using similarity::IndexScore;
using similarity::VectorList;

// Vectors arrive as FloatVector (the boundary's fast paths); the core takes
// plain spans.
Result<float> cosine_similarity(const FloatVector& a, const FloatVector& b) {
  return similarity::cosine_similarity(a.span(), b.span());
}
Result<std::vector<float>> batch_cosine_similarity(const FloatVector& query, const VectorList& corpus) {
  return similarity::batch_cosine_similarity_impl(query.span(), corpus);
}
Result<std::vector<float>> batch_cosine_similarity_normalized(const FloatVector& query,
                                                              const VectorList& normalized_corpus) {
  return similarity::batch_cosine_similarity_normalized_impl(query.span(), normalized_corpus);
}
VectorList batch_normalize_vectors(const VectorList& vectors) {
  return similarity::batch_normalize_vectors_impl(vectors);
}
Result<VectorList> similarity_matrix(const VectorList& queries, const VectorList& corpus,
                                     bool normalize) {
  return similarity::similarity_matrix_impl(queries, corpus, normalize);
}
Result<std::vector<IndexScore>> top_k_similar(const FloatVector& query, const VectorList& corpus,
                                              std::uint64_t k) {
  return similarity::top_k_similar(query.span(), corpus, k);
}
Result<std::vector<IndexScore>> top_k_similar_normalized(const FloatVector& query,
                                                         const VectorList& normalized_corpus,
                                                         std::uint64_t k) {
  return similarity::top_k_similar_normalized(query.span(), normalized_corpus, k);
}

constexpr CallFlags kReleaseGil{.release_gil = true};

constexpr Param kCosineParams[] = {{"a"}, {"b"}};
constexpr Signature kCosineSig{"cosine_similarity", nullptr, kCosineParams,
                               "Compute cosine similarity between two vectors.\n"
                               "\n"
                               "Args:\n"
                               "    a: First vector\n"
                               "    b: Second vector (same length as a)\n"
                               "\n"
                               "Returns:\n"
                               "    Cosine similarity value between -1 and 1\n"
                               "\n"
                               "Raises:\n"
                               "    ValueError: If vectors have different lengths"};

constexpr Param kBatchParams[] = {{"query"}, {"corpus"}};
constexpr Signature kBatchSig{"batch_cosine_similarity", nullptr, kBatchParams,
                              "Compute cosine similarity between a query vector and multiple corpus vectors.\n"
                              "\n"
                              "This function is optimized for the common case of comparing one query\n"
                              "against many candidates, using parallel processing for large corpora.\n"
                              "\n"
                              "Args:\n"
                              "    query: Query vector\n"
                              "    corpus: List of corpus vectors, each as long as the query\n"
                              "\n"
                              "Returns:\n"
                              "    List of similarity scores, one per corpus vector\n"
                              "\n"
                              "Raises:\n"
                              "    ValueError: If query dimension doesn't match corpus dimensions"};

constexpr Param kMatrixParams[] = {{"queries"}, {"corpus"}, {"normalize", true}};
constexpr Signature kMatrixSig{"similarity_matrix", nullptr, kMatrixParams, ""};

constexpr Param kTopKParams[] = {{"query"}, {"corpus"}, {"k", 10}};
constexpr Signature kTopKSig{"top_k_similar", nullptr, kTopKParams,
                             "Find top-k most similar vectors from a corpus.\n"
                             "\n"
                             "Args:\n"
                             "    query: Query vector\n"
                             "    corpus: List of corpus vectors\n"
                             "    k: Number of results to return\n"
                             "\n"
                             "Returns:\n"
                             "    List of (index, similarity) tuples, sorted by similarity descending"};

constexpr Param kNormalizeParams[] = {{"vectors"}};
constexpr Signature kNormalizeSig{"batch_normalize_vectors", nullptr, kNormalizeParams, ""};

constexpr Param kBatchNormalizedParams[] = {{"query"}, {"normalized_corpus"}};
constexpr Signature kBatchNormalizedSig{"batch_cosine_similarity_normalized", nullptr,
                                        kBatchNormalizedParams, ""};

constexpr Param kTopKNormalizedParams[] = {{"query"}, {"normalized_corpus"}, {"k", 10}};
constexpr Signature kTopKNormalizedSig{
    "top_k_similar_normalized", nullptr, kTopKNormalizedParams,
    "Find top-k similar vectors from a pre-normalized corpus.\n"
    "\n"
    "More efficient version of top_k_similar when corpus is already normalized.\n"
    "\n"
    "Args:\n"
    "    query: Query vector (normalized internally)\n"
    "    normalized_corpus: List of pre-normalized corpus vectors\n"
    "    k: Number of results to return\n"
    "\n"
    "Returns:\n"
    "    List of (index, similarity) tuples, sorted by similarity descending"};

}  // namespace

const FunctionDef kCosineSimilarity = function<&cosine_similarity, kCosineSig>();
const FunctionDef kBatchCosineSimilarity =
    function<&batch_cosine_similarity, kBatchSig, kReleaseGil>();
const FunctionDef kSimilarityMatrix = function<&similarity_matrix, kMatrixSig, kReleaseGil>();
const FunctionDef kTopKSimilar = function<&top_k_similar, kTopKSig>();
const FunctionDef kBatchNormalizeVectors =
    function<&batch_normalize_vectors, kNormalizeSig, kReleaseGil>();
const FunctionDef kBatchCosineSimilarityNormalized =
    function<&batch_cosine_similarity_normalized, kBatchNormalizedSig, kReleaseGil>();
const FunctionDef kTopKSimilarNormalized =
    function<&top_k_similar_normalized, kTopKNormalizedSig>();

}  // namespace pelrin::py
