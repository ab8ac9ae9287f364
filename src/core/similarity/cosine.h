// Cosine similarity, top-k search and batch normalisation over 32-bit
// vectors, on the kernels of kernels.h.
//
// Every function validates all lengths before any arithmetic and keeps no
// state. Batch work over more than 100 vectors (and every non-empty
// similarity matrix) runs on the worker pool; the numbers are identical to
// the serial path, since each result depends only on its own inputs. None of
// them touches Python, so the binding layer may run them without the
// interpreter lock.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "core/base/result.h"
#include "core/similarity/vector_list.h"

namespace pelrin::similarity {

// Batches of more than this many vectors go to the worker pool.
inline constexpr std::size_t kParallelThreshold = 100;

// (corpus index, similarity), as top-k results are returned.
using IndexScore = std::pair<std::uint64_t, float>;

// dot(a, b) / (clamped_norm(a) * clamped_norm(b)); 0.0 for two empty
// vectors. Error "Vectors must have same length: {a} vs {b}".
Result<float> cosine_similarity(std::span<const float> a, std::span<const float> b);

// One cosine per corpus vector, in corpus order: dot(query, c) /
// (clamped_norm(c) * clamped_norm(query)). An empty corpus gives [] without
// looking at the query. Error, for the lowest mismatching index i:
// "Dimension mismatch: query has {} dims, corpus[{i}] has {} dims".
Result<std::vector<float>> batch_cosine_similarity_impl(std::span<const float> query,
                                                        const VectorList& corpus);

// dot(c, normalised copy of query) per corpus vector; the corpus is taken as
// already normalised (its norms are never computed). Errors as above.
Result<std::vector<float>> batch_cosine_similarity_normalized_impl(
    std::span<const float> query, const VectorList& normalized_corpus);

// The normalised copy of every vector, in order (an empty vector stays empty).
VectorList batch_normalize_vectors_impl(const VectorList& vectors);

// One row per query, one column per corpus vector; [] when either list is
// empty. With `normalize`, both sides are first scaled by their clamped norm
// when it exceeds the floor and left unchanged otherwise, then each entry is
// a plain dot product; without it, each entry is the cosine of
// batch_cosine_similarity_impl. Errors: "Query dimension mismatch: queries[0]
// has {} dims, queries[{i}] has {}" (checked first), then "Dimension
// mismatch: query has {} dims, corpus[{i}] has {}".
Result<VectorList> similarity_matrix_impl(const VectorList& queries, const VectorList& corpus,
                                          bool normalize);

// The min(k, n) corpus entries of highest cosine, by similarity descending.
// k == 0 or an empty corpus gives [] without validating anything; otherwise
// the errors of batch_cosine_similarity_impl. Equal similarities come in no
// guaranteed order; a NaN similarity ranks below every number.
Result<std::vector<IndexScore>> top_k_similar(std::span<const float> query,
                                              const VectorList& corpus, std::uint64_t k);

// The same over batch_cosine_similarity_normalized_impl, selected with a
// bounded min-heap of k + 1 entries; its errors are raised even for k == 0.
Result<std::vector<IndexScore>> top_k_similar_normalized(std::span<const float> query,
                                                         const VectorList& normalized_corpus,
                                                         std::uint64_t k);

// Moves the m = min(m, size) best entries to the front, sorted by score
// descending (equal scores in no guaranteed order, NaN last), and drops
// the rest.
void keep_top(std::vector<IndexScore>& entries, std::size_t m);

}  // namespace pelrin::similarity
