// Cosine similarity, top-k search and batch normalisation.
#include "core/similarity/cosine.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/platform/worker_pool.h"
#include "core/similarity/kernels.h"

namespace pelrin::similarity {
namespace {

// Corpus rows per work item: enough to amortise the pool, few enough to
// spread a 101-row corpus over the workers.
constexpr std::size_t kRowsPerItem = 32;
constexpr std::size_t kQueriesPerItem = 32;

std::string corpus_mismatch(std::size_t dims, std::size_t index, std::size_t got) {
  return "Dimension mismatch: query has " + std::to_string(dims) + " dims, corpus[" +
         std::to_string(index) + "] has " + std::to_string(got) + " dims";
}

// Index of the first row whose length is not d, or list.size().
std::size_t first_mismatch(const VectorList& list, std::size_t d) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list.row_size(i) != d) return i;
  }
  return list.size();
}

// The matrix variant of normalisation: scaled only when the clamped norm
// exceeds the floor, so vectors with norm at or below it stay as they are.
void matrix_normalize(const float* x, std::size_t n, float* out) {
  const float norm = clamped_norm(x, n);
  if (norm > kNormFloor) {
    for (std::size_t i = 0; i < n; ++i) out[i] = x[i] / norm;
  } else {
    std::copy(x, x + n, out);
  }
}

// A strict weak order for ranking: higher scores first, NaN after every
// number (NaN compares equal to everything, which no sort may be given).
bool ranks_before(const IndexScore& x, const IndexScore& y) {
  if (std::isnan(y.second)) return !std::isnan(x.second);
  return x.second > y.second;
}

// The heap entry of top_k_similar_normalized: ordered by score alone, the
// smallest score at the root.
struct ScoredIndex {
  std::uint64_t index;
  float score;
};

// A binary min-heap on score with plain float comparisons (a NaN never
// moves), popping by moving the last entry down to the bottom along the
// smaller child (the right one on a tie) and sifting it back up.
class ScoredHeap {
 public:
  explicit ScoredHeap(std::size_t capacity) { entries_.reserve(capacity); }

  void push(ScoredIndex e) {
    entries_.push_back(e);
    sift_up(entries_.size() - 1);
  }

  void pop() {
    ScoredIndex last = entries_.back();
    entries_.pop_back();
    if (entries_.empty()) return;
    entries_[0] = last;
    const std::size_t end = entries_.size();
    std::size_t pos = 0;
    std::size_t child = 1;
    while (child + 1 < end) {
      // The right child unless the left one is strictly smaller.
      if (!(entries_[child].score < entries_[child + 1].score)) ++child;
      entries_[pos] = entries_[child];
      pos = child;
      child = 2 * pos + 1;
    }
    if (child + 1 == end) {
      entries_[pos] = entries_[child];
      pos = child;
    }
    entries_[pos] = last;
    sift_up(pos);
  }

  std::size_t size() const { return entries_.size(); }
  const std::vector<ScoredIndex>& entries() const { return entries_; }

 private:
  void sift_up(std::size_t pos) {
    const ScoredIndex e = entries_[pos];
    while (pos > 0) {
      const std::size_t parent = (pos - 1) / 2;
      if (!(entries_[parent].score > e.score)) break;
      entries_[pos] = entries_[parent];
      pos = parent;
    }
    entries_[pos] = e;
  }

  std::vector<ScoredIndex> entries_;
};

}  // namespace

Result<float> cosine_similarity(std::span<const float> a, std::span<const float> b) {
  if (a.size() != b.size()) {
    return Error::value("Vectors must have same length: " + std::to_string(a.size()) + " vs " +
                        std::to_string(b.size()));
  }
  if (a.empty()) return 0.0f;
  const float na = clamped_norm(a.data(), a.size());
  const float nb = clamped_norm(b.data(), b.size());
  return dot(a, b) / (na * nb);
}

Result<std::vector<float>> batch_cosine_similarity_impl(std::span<const float> query,
                                                        const VectorList& corpus) {
  if (corpus.empty()) return std::vector<float>{};
  const std::size_t d = query.size();
  if (const std::size_t bad = first_mismatch(corpus, d); bad < corpus.size()) {
    return Error::value(corpus_mismatch(d, bad, corpus.row_size(bad)));
  }
  const float qn = clamped_norm(query.data(), d);
  std::vector<float> out(corpus.size());
  const float* rows = corpus.data();
  platform::for_chunks(corpus.size(), kRowsPerItem, corpus.size() > kParallelThreshold,
                       [&](std::size_t begin, std::size_t end) {
                         float squares[kRowsPerItem];
                         dot_rows_and_squares(query.data(), rows + begin * d, d, end - begin, d,
                                              out.data() + begin, squares);
                         for (std::size_t i = begin; i < end; ++i) {
                           out[i] = out[i] / (clamp_norm(squares[i - begin]) * qn);
                         }
                       });
  return out;
}

Result<std::vector<float>> batch_cosine_similarity_normalized_impl(
    std::span<const float> query, const VectorList& normalized_corpus) {
  const VectorList& corpus = normalized_corpus;
  if (corpus.empty()) return std::vector<float>{};
  const std::size_t d = query.size();
  if (const std::size_t bad = first_mismatch(corpus, d); bad < corpus.size()) {
    return Error::value(corpus_mismatch(d, bad, corpus.row_size(bad)));
  }
  std::vector<float> unit(d);
  normalized_copy(query.data(), d, unit.data());
  std::vector<float> out(corpus.size());
  const float* rows = corpus.data();
  platform::for_chunks(corpus.size(), kRowsPerItem, corpus.size() > kParallelThreshold,
                       [&](std::size_t begin, std::size_t end) {
                         dot_rows(unit.data(), rows + begin * d, d, end - begin, d,
                                  out.data() + begin);
                       });
  return out;
}

VectorList batch_normalize_vectors_impl(const VectorList& vectors) {
  VectorList out;
  out.reserve(vectors.size(), vectors.total_values());
  for (std::size_t i = 0; i < vectors.size(); ++i) out.append_row(vectors.row_size(i));
  // Equal row lengths give equal offsets, so items write disjoint ranges.
  float* dst = out.mutable_data();
  platform::for_chunks(vectors.size(), kRowsPerItem, vectors.size() > kParallelThreshold,
                       [&](std::size_t begin, std::size_t end) {
                         for (std::size_t i = begin; i < end; ++i) {
                           normalized_copy(vectors.row_data(i), vectors.row_size(i),
                                           dst + vectors.offset(i));
                         }
                       });
  return out;
}

Result<VectorList> similarity_matrix_impl(const VectorList& queries, const VectorList& corpus,
                                          bool normalize) {
  if (queries.empty() || corpus.empty()) return VectorList{};
  const std::size_t d = queries.row_size(0);
  if (const std::size_t bad = first_mismatch(queries, d); bad < queries.size()) {
    return Error::value("Query dimension mismatch: queries[0] has " + std::to_string(d) +
                        " dims, queries[" + std::to_string(bad) + "] has " +
                        std::to_string(queries.row_size(bad)));
  }
  if (const std::size_t bad = first_mismatch(corpus, d); bad < corpus.size()) {
    return Error::value("Dimension mismatch: query has " + std::to_string(d) + " dims, corpus[" +
                        std::to_string(bad) + "] has " + std::to_string(corpus.row_size(bad)));
  }
  const std::size_t nq = queries.size();
  const std::size_t nc = corpus.size();

  VectorList result;
  result.reserve(nq, nq * nc);
  for (std::size_t i = 0; i < nq; ++i) result.append_row(nc);
  float* out = result.mutable_data();

  if (normalize) {
    std::vector<float> unit_corpus(nc * d);
    platform::for_chunks(nc, kRowsPerItem, true, [&](std::size_t begin, std::size_t end) {
      for (std::size_t j = begin; j < end; ++j) {
        matrix_normalize(corpus.row_data(j), d, unit_corpus.data() + j * d);
      }
    });
    platform::for_chunks(nq, kQueriesPerItem, true, [&](std::size_t begin, std::size_t end) {
      std::vector<float> unit_queries((end - begin) * d);
      for (std::size_t i = begin; i < end; ++i) {
        matrix_normalize(queries.row_data(i), d, unit_queries.data() + (i - begin) * d);
      }
      dot_tile(unit_queries.data(), d, end - begin, unit_corpus.data(), d, nc, d, out + begin * nc,
               nc);
    });
  } else {
    // Corpus norms are the same for every query, so they are computed once.
    std::vector<float> corpus_norms(nc);
    platform::for_chunks(nc, kRowsPerItem, true, [&](std::size_t begin, std::size_t end) {
      clamped_norms(corpus.row_data(begin), d, end - begin, d, corpus_norms.data() + begin);
    });
    platform::for_chunks(nq, kQueriesPerItem, true, [&](std::size_t begin, std::size_t end) {
      dot_tile(queries.row_data(begin), d, end - begin, corpus.data(), d, nc, d, out + begin * nc,
               nc);
      for (std::size_t i = begin; i < end; ++i) {
        const float qn = clamped_norm(queries.row_data(i), d);
        float* row = out + i * nc;
        for (std::size_t j = 0; j < nc; ++j) row[j] = row[j] / (corpus_norms[j] * qn);
      }
    });
  }
  return result;
}

void keep_top(std::vector<IndexScore>& entries, std::size_t m) {
  m = std::min(m, entries.size());
  if (m < entries.size()) {
    std::nth_element(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(m),
                     entries.end(), ranks_before);
    entries.resize(m);
  }
  std::stable_sort(entries.begin(), entries.end(), ranks_before);
}

Result<std::vector<IndexScore>> top_k_similar(std::span<const float> query,
                                              const VectorList& corpus, std::uint64_t k) {
  if (k == 0 || corpus.empty()) return std::vector<IndexScore>{};
  auto sims = batch_cosine_similarity_impl(query, corpus);
  if (!sims.ok()) return std::move(sims).error();
  std::vector<IndexScore> entries(sims->size());
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = {i, (*sims)[i]};
  keep_top(entries, static_cast<std::size_t>(std::min<std::uint64_t>(k, entries.size())));
  return entries;
}

Result<std::vector<IndexScore>> top_k_similar_normalized(std::span<const float> query,
                                                         const VectorList& normalized_corpus,
                                                         std::uint64_t k) {
  auto sims = batch_cosine_similarity_normalized_impl(query, normalized_corpus);
  if (!sims.ok()) return std::move(sims).error();
  const std::size_t n = sims->size();
  const std::size_t keep = static_cast<std::size_t>(std::min<std::uint64_t>(k, n));
  ScoredHeap heap(keep + 1);
  for (std::size_t i = 0; i < n; ++i) {
    heap.push({i, (*sims)[i]});
    if (heap.size() > k) heap.pop();
  }
  std::vector<IndexScore> entries;
  entries.reserve(heap.size());
  for (const ScoredIndex& e : heap.entries()) entries.emplace_back(e.index, e.score);
  std::stable_sort(entries.begin(), entries.end(), ranks_before);
  return entries;
}

}  // namespace pelrin::similarity
