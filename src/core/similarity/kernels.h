// The vector kernels shared by every similarity and embedding function.
//
// All arithmetic is in 32-bit floats with every product and every sum
// rounded separately (no fused multiply-add), so that one similarity
// computed by two different functions agrees to the last bit.
//
// The eight-lane sum, used for every dot product and sum of squares over n
// elements (term i is a[i] * b[i], or x[i] * x[i]):
//   1. Partial sums s0..s7 start at 0; for each whole block of eight elements
//      8c..8c+7, in order, s_j += term(8c + j).
//   2. total = (((s0 + s1) + s2) + s3) + (((s4 + s5) + s6) + s7).
//   3. The n mod 8 remaining terms are added to total one at a time, in
//      index order.
// The SIMD variants keep exactly this grouping (one 8-float register, or two
// 4-float registers, per dot product) and gain speed by computing several
// dot products at once, never by regrouping one.
//
// The clamped norm is sqrt(eight-lane sum of squares), raised to kNormFloor
// when smaller or NaN: never NaN, never below the floor.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pelrin::similarity {

// The 32-bit float nearest to 1e-9.
inline constexpr float kNormFloor = std::bit_cast<float>(std::uint32_t{0x3089705F});

// Eight-lane dot product of a[0..n) and b[0..n).
float dot(const float* a, const float* b, std::size_t n) noexcept;
inline float dot(std::span<const float> a, std::span<const float> b) noexcept {
  return dot(a.data(), b.data(), a.size());
}

// Eight-lane sum of squares (bit-identical to dot(x, x, n)).
inline float sum_of_squares(const float* x, std::size_t n) noexcept { return dot(x, x, n); }

// out[i * out_stride + j] = dot(a + i * a_stride, b + j * b_stride, n) for
// i < na, j < nb: a block of dot products, each bit-identical to dot().
void dot_tile(const float* a, std::size_t a_stride, std::size_t na, const float* b,
              std::size_t b_stride, std::size_t nb, std::size_t n, float* out,
              std::size_t out_stride) noexcept;

// out[j] = dot(q, rows + j * stride, n) for j < count.
inline void dot_rows(const float* q, const float* rows, std::size_t stride, std::size_t count,
                     std::size_t n, float* out) noexcept {
  dot_tile(q, 0, 1, rows, stride, count, n, out, count);
}

// out[i] = dot(a + i * a_stride, b + i * b_stride, n) for i < count, several
// at a time; sums of squares of many rows when a == b.
void dot_pairs(const float* a, std::size_t a_stride, const float* b, std::size_t b_stride,
               std::size_t count, std::size_t n, float* out) noexcept;

// dots[j] = dot(q, row j) and squares[j] = sum_of_squares(row j), rows at
// rows + j * stride, j < count: one pass over the rows for both.
void dot_rows_and_squares(const float* q, const float* rows, std::size_t stride, std::size_t count,
                          std::size_t n, float* dots, float* squares) noexcept;

// out[i] = clamped norm of rows + i * stride, for i < count.
void clamped_norms(const float* rows, std::size_t stride, std::size_t count, std::size_t n,
                   float* out) noexcept;

// sqrt(sum_of_squares) clamped to the floor; the maximum prefers the floor
// when the root is NaN.
inline float clamp_norm(float sum_of_squares_value) noexcept {
  const float root = std::sqrt(sum_of_squares_value);
  return root > kNormFloor ? root : kNormFloor;
}
float clamped_norm(const float* x, std::size_t n) noexcept;

// out[i] = x[i] / clamped_norm(x): a true division per element. out may
// equal x.
void normalized_copy(const float* x, std::size_t n, float* out) noexcept;

// The kernel variants. The default is the widest one the processor
// supports; every variant gives bit-identical results.
enum class KernelVariant : std::uint8_t { kScalar, kSse2, kAvx2, kAvx512 };

bool kernel_variant_supported(KernelVariant v) noexcept;
KernelVariant active_kernel_variant() noexcept;
// Selects a variant for the whole process (tests and benchmarks); false,
// and no change, when the processor lacks it. Not for use while kernels run.
bool force_kernel_variant(KernelVariant v) noexcept;
const char* kernel_variant_name(KernelVariant v) noexcept;

}  // namespace pelrin::similarity
