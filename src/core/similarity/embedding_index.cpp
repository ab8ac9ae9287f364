// The embedding index.
#include "core/similarity/embedding_index.h"

#include <cmath>

#include "core/similarity/cosine.h"
#include "core/similarity/kernels.h"

namespace pelrin::similarity {
namespace {

Status check_counts(const VectorList& vectors, const std::vector<std::string>& labels) {
  if (vectors.size() != labels.size()) {
    return Error::value("vectors length (" + std::to_string(vectors.size()) +
                        ") must match labels length (" + std::to_string(labels.size()) + ")");
  }
  return {};
}

}  // namespace

Result<EmbeddingIndex> EmbeddingIndex::create(const VectorList& vectors,
                                              std::vector<std::string> labels) {
  PELRIN_TRY(check_counts(vectors, labels));
  EmbeddingIndex index;
  if (vectors.empty()) return index;
  const std::size_t d = vectors.row_size(0);
  if (d == 0) return Error::value("Vectors must have non-zero dimension");
  for (std::size_t i = 1; i < vectors.size(); ++i) {
    if (vectors.row_size(i) != d) {
      return Error::value("Dimension mismatch: vectors[0] has " + std::to_string(d) +
                          " dims, vectors[" + std::to_string(i) + "] has " +
                          std::to_string(vectors.row_size(i)) + " dims");
    }
  }
  index.dim_ = d;
  PELRIN_TRY(index.add(vectors, std::move(labels)));
  return index;
}

Status EmbeddingIndex::add(const VectorList& vectors, std::vector<std::string> labels) {
  PELRIN_TRY(check_counts(vectors, labels));
  if (vectors.empty()) return {};
  std::size_t d = dim_;
  if (labels_.empty()) {
    d = vectors.row_size(0);
    if (d == 0) return Error::value("Vectors must have non-zero dimension");
  }
  for (std::size_t i = 0; i < vectors.size(); ++i) {
    if (vectors.row_size(i) != d) {
      return Error::value("Dimension mismatch: index has " + std::to_string(d) + " dims, vectors[" +
                          std::to_string(i) + "] has " + std::to_string(vectors.row_size(i)) +
                          " dims");
    }
  }
  // Grown before anything is written, so a failed allocation stores nothing.
  rows_.reserve(rows_.size() + vectors.size() * d);
  labels_.reserve(labels_.size() + labels.size());
  const std::size_t start = rows_.size();
  rows_.resize(start + vectors.size() * d);
  for (std::size_t i = 0; i < vectors.size(); ++i) {
    normalized_copy(vectors.row_data(i), d, rows_.data() + start + i * d);
  }
  for (std::string& label : labels) labels_.push_back(std::move(label));
  dim_ = d;
  return {};
}

std::vector<float> EmbeddingIndex::scores(std::span<const float> query) const {
  std::vector<float> unit(dim_);
  normalized_copy(query.data(), dim_, unit.data());
  std::vector<float> out(labels_.size());
  dot_rows(unit.data(), rows_.data(), dim_, labels_.size(), dim_, out.data());
  return out;
}

std::vector<std::pair<std::string, float>> EmbeddingIndex::query(std::span<const float> query,
                                                                 std::uint64_t k,
                                                                 float threshold) const {
  std::vector<std::pair<std::string, float>> result;
  if (labels_.empty() || query.size() != dim_ || k == 0) return result;
  const std::vector<float> s = scores(query);
  std::vector<IndexScore> candidates;
  for (std::size_t r = 0; r < s.size(); ++r) {
    if (s[r] >= threshold) candidates.emplace_back(r, s[r]);
  }
  keep_top(candidates, static_cast<std::size_t>(std::min<std::uint64_t>(k, candidates.size())));
  result.reserve(candidates.size());
  for (const auto& [row, score] : candidates) result.emplace_back(labels_[row], score);
  return result;
}

Result<std::vector<float>> EmbeddingIndex::similarities(std::span<const float> query) const {
  if (labels_.empty()) return std::vector<float>{};
  if (query.size() != dim_) {
    return Error::value("Dimension mismatch: index has " + std::to_string(dim_) +
                        " dims, query has " + std::to_string(query.size()) + " dims");
  }
  return scores(query);
}

}  // namespace pelrin::similarity
