// Vector similarity functions and the embedding index class of the module.
#pragma once

#include "py/frame/entry.h"

namespace pelrin::py {

extern const FunctionDef kCosineSimilarity;
extern const FunctionDef kBatchCosineSimilarity;
extern const FunctionDef kSimilarityMatrix;
extern const FunctionDef kTopKSimilar;
extern const FunctionDef kBatchNormalizeVectors;
extern const FunctionDef kBatchCosineSimilarityNormalized;
extern const FunctionDef kTopKSimilarNormalized;

}  // namespace pelrin::py
