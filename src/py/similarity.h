// Vector similarity functions and the embedding index class of the module.
#pragma once

#include "core/similarity/embedding_index.h"
#include "py/frame/entry.h"

namespace pelrin::py {

template <>
struct ClassOf<similarity::EmbeddingIndex> {
  static ClassDef& def();
};
PyTypeObject* embedding_index_type();

extern const FunctionDef kCosineSimilarity;
extern const FunctionDef kBatchCosineSimilarity;
extern const FunctionDef kSimilarityMatrix;
extern const FunctionDef kTopKSimilar;
extern const FunctionDef kBatchNormalizeVectors;
extern const FunctionDef kBatchCosineSimilarityNormalized;
extern const FunctionDef kTopKSimilarNormalized;

}  // namespace pelrin::py
