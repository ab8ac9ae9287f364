// Dense matrix-vector products, seeded random projection, pairwise cosine
// distances and k-nearest-neighbour graphs, on the eight-lane kernels.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "core/base/result.h"
#include "core/similarity/vector_list.h"

namespace pelrin::embeddings {

// A row-major matrix of 32-bit floats: element (r, c) at data[r * cols + c].
struct FlatMatrix {
  std::vector<float> data;
  std::uint64_t rows = 0;
  std::uint64_t cols = 0;

  const float* row(std::size_t r) const noexcept { return data.data() + r * cols; }

  // No rows: 0 x 0. The column count is the first row's length; when it is
  // 0 the matrix has that many rows, no columns and the other rows are not
  // examined. Error: "Matrix row {r} has {len} cols, expected {cols}".
  static Result<FlatMatrix> from_nested(const similarity::VectorList& rows);
};

// Output r = dot(row r, vector); vector.size() must equal the column count.
// More than 100 rows run on the worker pool.
std::vector<float> matmul_vector_internal(const FlatMatrix& matrix, std::span<const float> vector);

// matrix @ vector; [] for an empty matrix. Every row is checked against the
// vector first: "Matrix row {r} has {len} cols, expected {vector length}".
Result<std::vector<float>> matmul_vector(const similarity::VectorList& matrix,
                                         std::span<const float> vector);

// matrix @ v for every v; [] when either list is empty. Errors: those of
// from_nested, then "Vector has {len} dims, expected {cols}" for the first
// vector of another length.
Result<similarity::VectorList> batch_matmul_vector(const similarity::VectorList& matrix,
                                                   const similarity::VectorList& vectors);

// The target_dim x input_dim projection matrix of a seed. The generator
// state starts at `seed` and advances as state = state * 6364136223846793005
// + 1 (mod 2^64) once per entry, in row-major order; u = state >> 33 is
// converted to the nearest float and scaled to r = u * 2^-31, the one value
// that rounds up to 1.0 (u >= 2^31 - 64) being taken as the largest float
// below 1, so that r lies in [0, 1); entry = s * ((r + r) - 1) with s =
// sqrt(1 / target_dim), all in 32-bit floats: every entry lies in [-s, s).
FlatMatrix projection_matrix(std::size_t target_dim, std::size_t input_dim, std::uint64_t seed);

// Every embedding multiplied by projection_matrix(target_dim, I, seed),
// I = the first embedding's length. [] without embeddings. Errors "Target
// dimension must be <= input dimension", then "Vector has {len} dims,
// expected {I}" for the first embedding of another length.
Result<similarity::VectorList> random_projection(const similarity::VectorList& embeddings,
                                                 std::uint64_t target_dim, std::uint64_t seed);

// 1 - dot of the row-normalised embeddings i and j for every i < j, in that
// order (pair (i, j) at i*n - i*(i+1)/2 + j - i - 1); [] for fewer than two
// embeddings. Errors of from_nested. Runs on the calling thread.
Result<std::vector<float>> pairwise_distances(const similarity::VectorList& embeddings);

// For every row i: the min(n - 1, k) other rows of highest similarity
// (dot of row-normalised rows), nearest first, equal similarities by
// increasing index, NaN similarities last; with their distances 1 -
// similarity. [] without embeddings; errors of from_nested. Rows are spread
// over the worker pool.
using Neighbours = std::pair<std::vector<std::uint64_t>, std::vector<float>>;
Result<std::vector<Neighbours>> knn_graph(const similarity::VectorList& embeddings,
                                          std::uint64_t k);

// The row normalisation of pairwise_distances and knn_graph: the sum of
// squares taken strictly left to right from -0.0, its root raised to the
// norm floor, each element divided by it. In place.
void normalize_rows_left_to_right(FlatMatrix& m);

}  // namespace pelrin::embeddings
