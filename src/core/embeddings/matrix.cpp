// Matrix products, projection, distances and nearest neighbours.
#include "core/embeddings/matrix.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/platform/worker_pool.h"
#include "core/similarity/kernels.h"

namespace pelrin::embeddings {
namespace {

using similarity::VectorList;

constexpr std::size_t kRowThreshold = 100;    // matrix rows before the pool is used
constexpr std::size_t kVectorThreshold = 10;  // vectors before the pool is used
constexpr std::size_t kRowsPerItem = 32;
constexpr std::size_t kVectorsPerItem = 4;
constexpr std::size_t kKnnRowsPerItem = 32;
// Neighbour counts below this are kept by insertion, larger ones by selection.
constexpr std::size_t kSmallK = 64;

Error row_error(std::size_t r, std::size_t len, std::size_t expected) {
  return Error::value("Matrix row " + std::to_string(r) + " has " + std::to_string(len) +
                      " cols, expected " + std::to_string(expected));
}

Error vector_error(std::size_t len, std::size_t expected) {
  return Error::value("Vector has " + std::to_string(len) + " dims, expected " +
                      std::to_string(expected));
}

// results row i = matrix @ vectors[i], for vectors already checked. Vectors
// are spread over the pool above the vector threshold; a large matrix
// spreads its rows too.
VectorList multiply_all(const FlatMatrix& m, const VectorList& vectors) {
  const std::size_t rows = m.rows;
  const std::size_t cols = m.cols;
  VectorList out;
  out.reserve(vectors.size(), vectors.size() * rows);
  for (std::size_t i = 0; i < vectors.size(); ++i) out.append_row(rows);
  float* dst = out.mutable_data();
  const bool many_vectors = vectors.size() > kVectorThreshold;
  const bool many_rows = rows > kRowThreshold;
  platform::for_chunks(
      vectors.size(), kVectorsPerItem, many_vectors, [&](std::size_t vb, std::size_t ve) {
        platform::for_chunks(rows, kRowsPerItem * 4, many_rows && !many_vectors,
                             [&](std::size_t rb, std::size_t re) {
                               similarity::dot_tile(vectors.row_data(vb), cols, ve - vb, m.row(rb),
                                                    cols, re - rb, cols, dst + vb * rows + rb,
                                                    rows);
                             });
      });
  return out;
}

// Index order of neighbours: higher similarity first, NaN after every
// number, equal similarities by increasing index.
struct Candidate {
  std::uint64_t index;
  float sim;
};
bool nearer(const Candidate& x, const Candidate& y) {
  const bool xn = std::isnan(x.sim);
  const bool yn = std::isnan(y.sim);
  if (xn != yn) return yn;
  if (!xn && x.sim != y.sim) return x.sim > y.sim;
  return x.index < y.index;
}

}  // namespace

Result<FlatMatrix> FlatMatrix::from_nested(const VectorList& rows) {
  FlatMatrix m;
  if (rows.empty()) return m;
  m.rows = rows.size();
  m.cols = rows.row_size(0);
  if (m.cols == 0) return m;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    if (rows.row_size(r) != m.cols) return row_error(r, rows.row_size(r), m.cols);
  }
  m.data.assign(rows.data(), rows.data() + rows.total_values());
  return m;
}

void normalize_rows_left_to_right(FlatMatrix& m) {
  for (std::size_t r = 0; r < m.rows; ++r) {
    float* x = m.data.data() + r * m.cols;
    float sum = -0.0f;
    for (std::size_t c = 0; c < m.cols; ++c) sum = sum + x[c] * x[c];
    const float norm = similarity::clamp_norm(sum);
    for (std::size_t c = 0; c < m.cols; ++c) x[c] = x[c] / norm;
  }
}

std::vector<float> matmul_vector_internal(const FlatMatrix& matrix, std::span<const float> vector) {
  std::vector<float> out(matrix.rows);
  const std::size_t cols = matrix.cols;
  platform::for_chunks(matrix.rows, kRowsPerItem, matrix.rows > kRowThreshold,
                       [&](std::size_t begin, std::size_t end) {
                         similarity::dot_rows(vector.data(), matrix.row(begin), cols, end - begin,
                                              cols, out.data() + begin);
                       });
  return out;
}

Result<std::vector<float>> matmul_vector(const VectorList& matrix, std::span<const float> vector) {
  if (matrix.empty()) return std::vector<float>{};
  for (std::size_t r = 0; r < matrix.size(); ++r) {
    if (matrix.row_size(r) != vector.size()) return row_error(r, matrix.row_size(r), vector.size());
  }
  auto m = FlatMatrix::from_nested(matrix);
  if (!m.ok()) return std::move(m).error();
  return matmul_vector_internal(*m, vector);
}

Result<VectorList> batch_matmul_vector(const VectorList& matrix, const VectorList& vectors) {
  if (matrix.empty() || vectors.empty()) return VectorList{};
  auto m = FlatMatrix::from_nested(matrix);
  if (!m.ok()) return std::move(m).error();
  for (std::size_t i = 0; i < vectors.size(); ++i) {
    if (vectors.row_size(i) != m->cols) return vector_error(vectors.row_size(i), m->cols);
  }
  return multiply_all(*m, vectors);
}

FlatMatrix projection_matrix(std::size_t target_dim, std::size_t input_dim, std::uint64_t seed) {
  FlatMatrix m;
  m.rows = target_dim;
  m.cols = input_dim;
  m.data.resize(target_dim * input_dim);
  if (target_dim == 0) return m;
  const float s = std::sqrt(1.0f / static_cast<float>(target_dim));
  constexpr float kBelowOne = 0x1.fffffep-1f;
  std::uint64_t state = seed;
  for (float& entry : m.data) {
    state = state * 6364136223846793005ULL + 1;
    const auto u = static_cast<float>(state >> 33);
    const float r = std::min(u * 0x1p-31f, kBelowOne);
    entry = s * ((r + r) + (-1.0f));
  }
  return m;
}

Result<VectorList> random_projection(const VectorList& embeddings, std::uint64_t target_dim,
                                     std::uint64_t seed) {
  if (embeddings.empty()) return VectorList{};
  const std::size_t input_dim = embeddings.row_size(0);
  if (target_dim > input_dim) return Error::value("Target dimension must be <= input dimension");
  for (std::size_t i = 0; i < embeddings.size(); ++i) {
    if (embeddings.row_size(i) != input_dim) return vector_error(embeddings.row_size(i), input_dim);
  }
  const FlatMatrix m = projection_matrix(static_cast<std::size_t>(target_dim), input_dim, seed);
  return multiply_all(m, embeddings);
}

namespace {

// The rows as one matrix, each normalised left to right (distances and
// neighbours compare unit rows).
Result<FlatMatrix> normalized_rows(const VectorList& embeddings) {
  auto flat = FlatMatrix::from_nested(embeddings);
  if (flat.ok()) normalize_rows_left_to_right(*flat);
  return flat;
}

}  // namespace

Result<std::vector<float>> pairwise_distances(const VectorList& embeddings) {
  if (embeddings.size() < 2) return std::vector<float>{};
  auto flat = normalized_rows(embeddings);
  if (!flat.ok()) return std::move(flat).error();
  FlatMatrix& m = *flat;
  const std::size_t n = m.rows;
  const std::size_t d = m.cols;
  std::vector<float> out;
  out.reserve(n * (n - 1) / 2);
  constexpr std::size_t kBlock = 32;
  std::vector<float> sims(kBlock * n);
  for (std::size_t ib = 0; ib < n; ib += kBlock) {
    const std::size_t ie = std::min(n, ib + kBlock);
    // Rows ib..ie against every later row (a few below the diagonal are
    // computed and not used).
    similarity::dot_tile(m.row(ib), d, ie - ib, m.row(ib), d, n - ib, d, sims.data(), n - ib);
    for (std::size_t i = ib; i < ie; ++i) {
      const float* row = sims.data() + (i - ib) * (n - ib);
      for (std::size_t j = i + 1; j < n; ++j) out.push_back(1.0f - row[j - ib]);
    }
  }
  return out;
}

Result<std::vector<Neighbours>> knn_graph(const VectorList& embeddings, std::uint64_t k) {
  if (embeddings.empty()) return std::vector<Neighbours>{};
  auto flat = normalized_rows(embeddings);
  if (!flat.ok()) return std::move(flat).error();
  FlatMatrix& m = *flat;
  const std::size_t n = m.rows;
  const std::size_t d = m.cols;
  const auto kk = static_cast<std::size_t>(std::min<std::uint64_t>(n - 1, k));
  std::vector<Neighbours> out(n);
  if (kk == 0) return out;
  platform::for_chunks(n, kKnnRowsPerItem, true, [&](std::size_t begin, std::size_t end) {
    std::vector<float> sims((end - begin) * n);
    // dot(row j, row i) equals dot(row i, row j): each term is one product.
    similarity::dot_tile(m.row(begin), d, end - begin, m.row(0), d, n, d, sims.data(), n);
    std::vector<Candidate> candidates;
    candidates.reserve(kk < kSmallK ? kk + 1 : n - 1);
    for (std::size_t i = begin; i < end; ++i) {
      const float* row = sims.data() + (i - begin) * n;
      candidates.clear();
      if (kk < kSmallK) {
        // A sorted list of the best kk so far: candidates come in
        // increasing index, so an equal similarity never displaces an
        // earlier one and the order stays that of a stable sort.
        for (std::size_t j = 0; j < n; ++j) {
          if (j == i) continue;
          const Candidate c{j, row[j]};
          if (candidates.size() == kk && !nearer(c, candidates.back())) continue;
          candidates.insert(std::upper_bound(candidates.begin(), candidates.end(), c, nearer), c);
          if (candidates.size() > kk) candidates.pop_back();
        }
      } else {
        for (std::size_t j = 0; j < n; ++j) {
          if (j != i) candidates.push_back({j, row[j]});
        }
        const auto cut = candidates.begin() + static_cast<std::ptrdiff_t>(kk);
        if (kk < candidates.size())
          std::nth_element(candidates.begin(), cut, candidates.end(), nearer);
        candidates.resize(kk);
        std::sort(candidates.begin(), candidates.end(), nearer);
      }
      Neighbours& entry = out[i];
      entry.first.reserve(kk);
      entry.second.reserve(kk);
      for (const Candidate& c : candidates) {
        entry.first.push_back(c.index);
        entry.second.push_back(1.0f - c.sim);
      }
    }
  });
  return out;
}

}  // namespace pelrin::embeddings
