// Embedding operations of the module: quantized embeddings, matrix products,
// projection, distances and nearest-neighbour graphs.
#pragma once

#include "core/embeddings/quantized.h"
#include "py/frame/entry.h"

namespace pelrin::py {

template <>
struct ClassOf<embeddings::QuantizedEmbedding> {
  static ClassDef& def();
};
PyTypeObject* quantized_embedding_type();

extern const FunctionDef kQuantizeEmbedding;
extern const FunctionDef kBatchQuantizeEmbeddings;
extern const FunctionDef kDequantizeEmbedding;
extern const FunctionDef kQuantizedCosineSimilarity;
extern const FunctionDef kBatchQuantizedCosineSimilarity;
extern const FunctionDef kMatmulVector;
extern const FunctionDef kBatchMatmulVector;
extern const FunctionDef kRandomProjection;
extern const FunctionDef kPairwiseDistances;
extern const FunctionDef kKnnGraph;

}  // namespace pelrin::py
