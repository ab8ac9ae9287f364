// Embedding operations: descriptors, docstrings and the QuantizedEmbedding
// class.
#include "py/embeddings.h"

#include "core/embeddings/matrix.h"
#include "py/vector_convert.h"

namespace pelrin::py {
namespace {

using embeddings::QuantizedEmbedding;
using similarity::VectorList;

using QuantizedCorpus = InstanceList<QuantizedEmbedding>;

QuantizedEmbedding quantized_new(std::vector<std::int8_t> data, float scale,
                                 std::int8_t zero_point) {
  return QuantizedEmbedding{std::move(data), scale, zero_point};
}
std::vector<float> quantized_dequantize(const QuantizedEmbedding& q) { return q.dequantize(); }
std::uint64_t quantized_dim(const QuantizedEmbedding& q) { return q.dim(); }
Result<float> quantized_dot(const QuantizedEmbedding& q, const QuantizedEmbedding& other) {
  return q.dot(other);
}
const std::vector<std::int8_t>& quantized_data(const QuantizedEmbedding& q) { return q.data; }

QuantizedEmbedding quantize_embedding(const FloatVector& embedding) {
  return embeddings::quantize_embedding_slice(embedding.span());
}
std::vector<QuantizedEmbedding> batch_quantize_embeddings(const VectorList& embeddings) {
  return embeddings::batch_quantize_embeddings(embeddings);
}
std::vector<float> dequantize_embedding(const QuantizedEmbedding& quantized) {
  return quantized.dequantize();
}
Result<float> quantized_cosine_similarity(const QuantizedEmbedding& a,
                                          const QuantizedEmbedding& b) {
  return embeddings::quantized_cosine_similarity(a, b);
}
std::vector<float> batch_quantized_cosine_similarity(const QuantizedEmbedding& query,
                                                     const QuantizedCorpus& corpus) {
  return embeddings::batch_quantized_cosine_similarity(query, corpus.items());
}

Result<std::vector<float>> matmul_vector(const VectorList& matrix, const FloatVector& vector) {
  return embeddings::matmul_vector(matrix, vector.span());
}
Result<VectorList> batch_matmul_vector(const VectorList& matrix, const VectorList& vectors) {
  return embeddings::batch_matmul_vector(matrix, vectors);
}
Result<VectorList> random_projection(const VectorList& embeddings, std::uint64_t target_dim,
                                     std::uint64_t seed) {
  return embeddings::random_projection(embeddings, target_dim, seed);
}
Result<std::vector<float>> pairwise_distances(const VectorList& embeddings) {
  return embeddings::pairwise_distances(embeddings);
}
Result<std::vector<embeddings::Neighbours>> knn_graph(const VectorList& embeddings,
                                                      std::uint64_t k) {
  return embeddings::knn_graph(embeddings, k);
}

constexpr char kQuantizedDoc[] =
    "Quantized embedding representation using int8.\n"
    "\n"
    "Stores scale factor for dequantization: value = quantized * scale";
constexpr Param kQuantizedParams[] = {{"data"}, {"scale"}, {"zero_point"}};
constexpr Signature kQuantizedNew{"__new__", "QuantizedEmbedding", kQuantizedParams, kQuantizedDoc};
constexpr Signature kDequantize{
    "dequantize", "QuantizedEmbedding", {}, "Dequantize back to float32"};
constexpr Signature kDim{"dim", "QuantizedEmbedding", {}, "Get the dimension of the embedding"};
constexpr Param kOtherParam[] = {{"other"}};
constexpr Signature kDot{"dot", "QuantizedEmbedding", kOtherParam,
                         "Compute dot product with another quantized embedding"};

const MethodDef kQuantizedMethods[] = {
    method<&quantized_dequantize, kDequantize>(),
    method<&quantized_dim, kDim>(),
    method<&quantized_dot, kDot>(),
};
const PropertyDef kQuantizedProperties[] = {
    read_only<&quantized_data>("data"),
    read_only<&QuantizedEmbedding::scale>("scale"),
    read_only<&QuantizedEmbedding::zero_point>("zero_point"),
};
const ClassSpec kQuantizedSpec{"QuantizedEmbedding",
                               kQuantizedDoc,
                               &kQuantizedNew,
                               &constructor_entry<&quantized_new, kQuantizedNew>,
                               object_size<QuantizedEmbedding>(),
                               &dealloc_object<QuantizedEmbedding>,
                               kQuantizedMethods,
                               kQuantizedProperties,
                               {}};

constexpr Param kEmbeddingParam[] = {{"embedding"}};
constexpr Signature kQuantizeSig{"quantize_embedding", nullptr, kEmbeddingParam,
                                 "Quantize a float32 embedding to int8.\n"
                                 "\n"
                                 "Uses symmetric quantization around zero for simplicity.\n"
                                 "\n"
                                 "Args:\n"
                                 "    embedding: Float32 embedding vector\n"
                                 "\n"
                                 "Returns:\n"
                                 "    QuantizedEmbedding with int8 data and scale factor"};
constexpr Param kEmbeddingsParam[] = {{"embeddings"}};
constexpr Signature kBatchQuantizeSig{"batch_quantize_embeddings", nullptr, kEmbeddingsParam,
                                      "Batch quantize multiple embeddings.\n"
                                      "\n"
                                      "Args:\n"
                                      "    embeddings: List of float32 embedding vectors\n"
                                      "\n"
                                      "Returns:\n"
                                      "    List of QuantizedEmbedding objects"};
constexpr Param kQuantizedParam[] = {{"quantized"}};
constexpr Signature kDequantizeSig{"dequantize_embedding", nullptr, kQuantizedParam,
                                   "Dequantize a quantized embedding back to float32."};
constexpr Param kPairParams[] = {{"a"}, {"b"}};
constexpr Signature kQuantizedCosineSig{
    "quantized_cosine_similarity", nullptr, kPairParams,
    "Compute cosine similarity between two quantized embeddings.\n"
    "\n"
    "This is faster than dequantizing first because we work with integers."};
constexpr Param kQueryCorpusParams[] = {{"query"}, {"corpus"}};
constexpr Signature kBatchQuantizedCosineSig{
    "batch_quantized_cosine_similarity", nullptr, kQueryCorpusParams,
    "Batch cosine similarity between a query and quantized corpus."};

constexpr Param kMatmulParams[] = {{"matrix"}, {"vector"}};
constexpr Signature kMatmulSig{"matmul_vector", nullptr, kMatmulParams,
                               "Matrix-vector multiplication using SIMD.\n"
                               "\n"
                               "Computes: result = matrix @ vector\n"
                               "\n"
                               "Args:\n"
                               "    matrix: 2D matrix as list of rows (each row is a vector)\n"
                               "    vector: Input vector\n"
                               "\n"
                               "Returns:\n"
                               "    Result vector"};
constexpr Param kBatchMatmulParams[] = {{"matrix"}, {"vectors"}};
constexpr Signature kBatchMatmulSig{"batch_matmul_vector", nullptr, kBatchMatmulParams,
                                    "Batch matrix-vector multiplication.\n"
                                    "\n"
                                    "Computes: results[i] = matrix @ vectors[i] for each vector"};
constexpr Param kProjectionParams[] = {{"embeddings"}, {"target_dim"}, {"seed", 42}};
constexpr Signature kProjectionSig{
    "random_projection", nullptr, kProjectionParams,
    "Project embeddings to lower dimension using random projection.\n"
    "\n"
    "This is useful for dimensionality reduction while preserving distances.\n"
    "\n"
    "Args:\n"
    "    embeddings: List of embedding vectors\n"
    "    target_dim: Target dimension (must be <= input dimension)\n"
    "    seed: Random seed for reproducibility\n"
    "\n"
    "Returns:\n"
    "    List of projected embeddings"};
constexpr Signature kPairwiseSig{"pairwise_distances", nullptr, kEmbeddingsParam,
                                 "Compute pairwise distances for a set of embeddings.\n"
                                 "\n"
                                 "Returns a flattened upper triangular distance matrix."};
constexpr Param kKnnParams[] = {{"embeddings"}, {"k", 5}};
constexpr Signature kKnnSig{"knn_graph", nullptr, kKnnParams,
                            "Find k-nearest neighbors for each embedding in a corpus.\n"
                            "\n"
                            "Args:\n"
                            "    embeddings: List of embedding vectors\n"
                            "    k: Number of neighbors to find\n"
                            "\n"
                            "Returns:\n"
                            "    List of (neighbor_indices, distances) for each embedding"};

}  // namespace

ClassDef& ClassOf<embeddings::QuantizedEmbedding>::def() {
  static ClassDef d(kQuantizedSpec);
  return d;
}
PyTypeObject* quantized_embedding_type() { return class_type<embeddings::QuantizedEmbedding>(); }

const FunctionDef kQuantizeEmbedding = function<&quantize_embedding, kQuantizeSig>();
const FunctionDef kBatchQuantizeEmbeddings =
    function<&batch_quantize_embeddings, kBatchQuantizeSig>();
const FunctionDef kDequantizeEmbedding = function<&dequantize_embedding, kDequantizeSig>();
const FunctionDef kQuantizedCosineSimilarity =
    function<&quantized_cosine_similarity, kQuantizedCosineSig>();
const FunctionDef kBatchQuantizedCosineSimilarity =
    function<&batch_quantized_cosine_similarity, kBatchQuantizedCosineSig>();

const FunctionDef kMatmulVector = function<&matmul_vector, kMatmulSig>();
const FunctionDef kBatchMatmulVector = function<&batch_matmul_vector, kBatchMatmulSig>();
const FunctionDef kRandomProjection = function<&random_projection, kProjectionSig>();
const FunctionDef kPairwiseDistances = function<&pairwise_distances, kPairwiseSig>();
const FunctionDef kKnnGraph = function<&knn_graph, kKnnSig>();

}  // namespace pelrin::py
