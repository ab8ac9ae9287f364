// An in-memory store of labelled, pre-normalised embedding vectors.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/base/result.h"
#include "core/similarity/vector_list.h"

namespace pelrin::similarity {

// Rows are the normalised copies of the vectors added, in insertion order, in
// one row-major buffer of count x dimension floats; rows are never removed or
// changed. The dimension is fixed by the first vectors stored (0 while the
// index is empty). Not synchronised: the binding layer's borrow rules give
// add() exclusive access.
class EmbeddingIndex {
 public:
  // Errors: "vectors length ({}) must match labels length ({})";
  // "Vectors must have non-zero dimension" (first vector empty);
  // "Dimension mismatch: vectors[0] has {} dims, vectors[{i}] has {} dims".
  // Two empty lists give an empty index.
  static Result<EmbeddingIndex> create(const VectorList& vectors, std::vector<std::string> labels);

  // Appends rows, or nothing at all on error. Errors: the length-match and
  // non-zero-dimension texts of create (the latter only on an empty index),
  // and "Dimension mismatch: index has {} dims, vectors[{i}] has {} dims".
  Status add(const VectorList& vectors, std::vector<std::string> labels);

  // The min(k, candidates) best (label, score) pairs, score descending; a
  // candidate is a row whose dot product with the normalised query is >=
  // threshold (never a NaN score or a NaN threshold). [] for an empty index
  // or a query of another length. Equal scores come in no guaranteed order.
  std::vector<std::pair<std::string, float>> query(std::span<const float> query, std::uint64_t k,
                                                   float threshold) const;

  // One score per row in insertion order; [] for an empty index. Error
  // "Dimension mismatch: index has {} dims, query has {} dims".
  Result<std::vector<float>> similarities(std::span<const float> query) const;

  std::uint64_t dim() const noexcept { return dim_; }
  std::uint64_t len() const noexcept { return labels_.size(); }

 private:
  // Scores of every row against the normalised query (length dim_).
  std::vector<float> scores(std::span<const float> query) const;

  std::vector<float> rows_;
  std::vector<std::string> labels_;
  std::size_t dim_ = 0;
};

}  // namespace pelrin::similarity
