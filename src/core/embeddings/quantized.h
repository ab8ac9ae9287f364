// 8-bit quantized embeddings: symmetric quantization, dequantization and
// similarity computed on the integer codes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/base/result.h"
#include "core/similarity/vector_list.h"

namespace pelrin::embeddings {

// Codes q stand for (q - zero_point) * scale. Any values may be held; the
// quantizer below always produces zero_point 0.
struct QuantizedEmbedding {
  std::vector<std::int8_t> data;
  float scale = 1.0f;
  std::int8_t zero_point = 0;

  // (float(q) - float(zero_point)) * scale per code, in code order.
  std::vector<float> dequantize() const;
  std::uint64_t dim() const noexcept { return data.size(); }
  // Approximate dot product of the two dequantized vectors, from the codes:
  // ((n * za) * zb + ((P - B * za) - A * zb)) * sa * sb in 32-bit floats,
  // with P the integer dot product of the codes and A, B their sums.
  // Error "Embeddings must have same dimension".
  Result<float> dot(const QuantizedEmbedding& other) const;
};

// Batches of more than this many vectors go to the worker pool.
inline constexpr std::size_t kParallelThreshold = 100;

// Symmetric quantization: s = max(|min|, |max|) / 127 over the non-NaN
// values; codes round(v / s) with ties away from zero, clamped to
// -128..127, NaN giving 0, all codes 0 when s is below the norm floor; the
// stored scale is max(s, norm floor). No values: no codes, scale 1.0.
QuantizedEmbedding quantize_embedding_slice(std::span<const float> values);

// quantize_embedding_slice of every vector, in order (lengths may differ).
std::vector<QuantizedEmbedding> batch_quantize_embeddings(const similarity::VectorList& vectors);

// Cosine of the raw codes (scale and zero point ignored): P / (sqrt(Qa) *
// sqrt(Qb)), 0.0 when either root is below the norm floor or the codes are
// empty. Error "Embeddings must have same dimension".
Result<float> quantized_cosine_similarity(const QuantizedEmbedding& a, const QuantizedEmbedding& b);

// One value per corpus entry: 0.0 for an entry whose length differs from the
// query's or is 0 (not an error here), else quantized_cosine_similarity.
std::vector<float> batch_quantized_cosine_similarity(
    const QuantizedEmbedding& query, std::span<const QuantizedEmbedding* const> corpus);

// Exact integer dot product of two code lists: 16-bit products summed in
// 32-bit lanes (eight codes per step, or 32 with AVX2), the lanes folded
// into 64 bits often enough that no sum can overflow.
std::int64_t code_dot(const std::int8_t* a, const std::int8_t* b, std::size_t n) noexcept;

// P = code_dot(a, b, n) and Qb = code_dot(b, b, n) in one pass, with the
// widest instructions the processor has; the portable form for tests.
void code_dot_and_square(const std::int8_t* a, const std::int8_t* b, std::size_t n, std::int64_t& p,
                         std::int64_t& qb) noexcept;
void code_dot_and_square_portable(const std::int8_t* a, const std::int8_t* b, std::size_t n,
                                  std::int64_t& p, std::int64_t& qb) noexcept;

}  // namespace pelrin::embeddings
