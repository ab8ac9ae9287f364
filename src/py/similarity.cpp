// Vector similarity: descriptors and docstrings of the cosine, top-k and
// normalisation functions.
#include "py/similarity.h"

#include "core/similarity/cosine.h"
#include "py/vector_convert.h"

namespace pelrin::py {
namespace {

using similarity::EmbeddingIndex;
using similarity::IndexScore;
using similarity::VectorList;

// Vectors arrive as FloatVector (the boundary's fast paths); the core takes
// plain spans.
Result<float> cosine_similarity(const FloatVector& a, const FloatVector& b) {
  return similarity::cosine_similarity(a.span(), b.span());
}
Result<std::vector<float>> batch_cosine_similarity(const FloatVector& query,
                                                   const VectorList& corpus) {
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

Result<EmbeddingIndex> index_new(const VectorList& vectors, std::vector<std::string> labels) {
  return EmbeddingIndex::create(vectors, std::move(labels));
}
Status index_add(EmbeddingIndex& index, const VectorList& vectors,
                 std::vector<std::string> labels) {
  return index.add(vectors, std::move(labels));
}
std::vector<std::pair<std::string, float>> index_query(const EmbeddingIndex& index,
                                                       const FloatVector& query, std::uint64_t k,
                                                       float threshold) {
  return index.query(query.span(), k, threshold);
}
Result<std::vector<float>> index_similarities(const EmbeddingIndex& index,
                                              const FloatVector& query) {
  return index.similarities(query.span());
}
std::uint64_t index_dim(const EmbeddingIndex& index) { return index.dim(); }
std::uint64_t index_len(const EmbeddingIndex& index) { return index.len(); }

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
constexpr Signature kBatchSig{
    "batch_cosine_similarity", nullptr, kBatchParams,
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
constexpr Signature kTopKSig{
    "top_k_similar", nullptr, kTopKParams,
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

constexpr char kIndexDoc[] =
    "Pre-normalized embedding corpus for batch similarity queries.\n"
    "Stores vectors in a contiguous flat buffer for SIMD-friendly access.";
constexpr Param kIndexParams[] = {{"vectors"}, {"labels"}};
constexpr Signature kIndexNew{"__new__", "EmbeddingIndex", kIndexParams, kIndexDoc};
constexpr Signature kIndexAdd{
    "add", "EmbeddingIndex", kIndexParams,
    "Add more vectors to the index.\n"
    "\n"
    "Args:\n"
    "    vectors: Additional embedding vectors\n"
    "    labels: Labels for the new vectors\n"
    "\n"
    "Raises:\n"
    "    ValueError: If dimensions don't match existing index or vectors/labels mismatch"};
constexpr Param kIndexQueryParams[] = {{"query"}, {"k", 10}, {"threshold", 0.0}};
constexpr Signature kIndexQuery{
    "query", "EmbeddingIndex", kIndexQueryParams,
    "Query the index for the top-k most similar vectors.\n"
    "\n"
    "The query vector is L2-normalized internally.  Similarity is computed\n"
    "as the dot product with each stored (pre-normalized) vector, which\n"
    "equals cosine similarity for unit vectors.\n"
    "\n"
    "Args:\n"
    "    query: Query embedding vector\n"
    "    k: Number of top results to return (default 10)\n"
    "    threshold: Minimum similarity score to include (default 0.0)\n"
    "\n"
    "Returns:\n"
    "    List of (label, similarity) tuples sorted by similarity descending"};
constexpr Param kIndexQueryOnly[] = {{"query"}};
constexpr Signature kIndexSimilarities{
    "similarities", "EmbeddingIndex", kIndexQueryOnly,
    "Return similarity scores for every vector in the index.\n"
    "\n"
    "Args:\n"
    "    query: Query embedding vector\n"
    "\n"
    "Returns:\n"
    "    List of similarity scores, one per stored vector, in insertion order\n"
    "\n"
    "Raises:\n"
    "    ValueError: If query dimension doesn't match index dimension"};
constexpr Signature kIndexDim{
    "dim", "EmbeddingIndex", {}, "Return the dimensionality of vectors in the index."};
constexpr Signature kIndexLen{
    "len", "EmbeddingIndex", {}, "Return the number of vectors in the index."};

const MethodDef kIndexMethods[] = {
    method<&index_add, kIndexAdd>(),
    method<&index_query, kIndexQuery>(),
    method<&index_similarities, kIndexSimilarities>(),
    method<&index_dim, kIndexDim>(),
    method<&index_len, kIndexLen>(),
};
const ClassSpec kIndexSpec{"EmbeddingIndex",
                           kIndexDoc,
                           &kIndexNew,
                           &constructor_entry<&index_new, kIndexNew>,
                           object_size<EmbeddingIndex>(),
                           &dealloc_object<EmbeddingIndex>,
                           kIndexMethods,
                           {},
                           {}};

}  // namespace

ClassDef& ClassOf<similarity::EmbeddingIndex>::def() {
  static ClassDef d(kIndexSpec);
  return d;
}
PyTypeObject* embedding_index_type() { return class_type<similarity::EmbeddingIndex>(); }

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
