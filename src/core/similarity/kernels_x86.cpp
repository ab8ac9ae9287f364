// The x86-64 kernel variants: SSE2 (two 4-float accumulators per dot
// product), AVX2 (one 8-float accumulator) and AVX-512 (two dot products in
// the halves of one 16-float register). Each keeps the eight-lane grouping
// of kernels.h exactly and computes a tile of dot products at once, so that
// independent accumulators hide the latency of the adds.
#include "core/similarity/kernel_variants.h"

#if defined(__x86_64__)

#include <immintrin.h>

// GCC 12 reports the deliberately undefined upper halves inside its own
// AVX-512 cast and broadcast intrinsics as uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace pelrin::similarity::detail {
namespace {

// ---- SSE2 ----

#define PELRIN_SSE2 __attribute__((target("sse2")))

template <std::size_t NA, std::size_t NB>
PELRIN_SSE2 void sse2_block(const float* a, std::size_t as, const float* b, std::size_t bs,
                            std::size_t n, float* out, std::size_t os) noexcept {
  __m128 lo[NA][NB];
  __m128 hi[NA][NB];
  for (std::size_t i = 0; i < NA; ++i) {
    for (std::size_t j = 0; j < NB; ++j) lo[i][j] = hi[i][j] = _mm_setzero_ps();
  }
  const std::size_t whole = n - n % 8;
  for (std::size_t c = 0; c < whole; c += 8) {
    __m128 blo[NB];
    __m128 bhi[NB];
    for (std::size_t j = 0; j < NB; ++j) {
      blo[j] = _mm_loadu_ps(b + j * bs + c);
      bhi[j] = _mm_loadu_ps(b + j * bs + c + 4);
    }
    for (std::size_t i = 0; i < NA; ++i) {
      const __m128 alo = _mm_loadu_ps(a + i * as + c);
      const __m128 ahi = _mm_loadu_ps(a + i * as + c + 4);
      for (std::size_t j = 0; j < NB; ++j) {
        lo[i][j] = _mm_add_ps(lo[i][j], _mm_mul_ps(alo, blo[j]));
        hi[i][j] = _mm_add_ps(hi[i][j], _mm_mul_ps(ahi, bhi[j]));
      }
    }
  }
  for (std::size_t i = 0; i < NA; ++i) {
    for (std::size_t j = 0; j < NB; ++j) {
      alignas(16) float s[8];
      _mm_store_ps(s, lo[i][j]);
      _mm_store_ps(s + 4, hi[i][j]);
      out[i * os + j] = finish_eight_lanes(s, a + i * as, b + j * bs, whole, n);
    }
  }
}

PELRIN_SSE2 float sse2_dot(const float* a, const float* b, std::size_t n) noexcept {
  float r = 0.0f;
  sse2_block<1, 1>(a, 0, b, 0, n, &r, 0);
  return r;
}

// ---- AVX2 ----

#define PELRIN_AVX2 __attribute__((target("avx2")))

PELRIN_AVX2 inline float avx2_finish(__m256 acc, const float* a, const float* b, std::size_t whole,
                                     std::size_t n) noexcept {
  alignas(32) float s[8];
  _mm256_store_ps(s, acc);
  return finish_eight_lanes(s, a, b, whole, n);
}

template <std::size_t NA, std::size_t NB>
PELRIN_AVX2 void avx2_block(const float* a, std::size_t as, const float* b, std::size_t bs,
                            std::size_t n, float* out, std::size_t os) noexcept {
  __m256 acc[NA][NB];
  for (std::size_t i = 0; i < NA; ++i) {
    for (std::size_t j = 0; j < NB; ++j) acc[i][j] = _mm256_setzero_ps();
  }
  const std::size_t whole = n - n % 8;
  for (std::size_t c = 0; c < whole; c += 8) {
    __m256 bv[NB];
    for (std::size_t j = 0; j < NB; ++j) bv[j] = _mm256_loadu_ps(b + j * bs + c);
    for (std::size_t i = 0; i < NA; ++i) {
      const __m256 av = _mm256_loadu_ps(a + i * as + c);
      for (std::size_t j = 0; j < NB; ++j)
        acc[i][j] = _mm256_add_ps(acc[i][j], _mm256_mul_ps(av, bv[j]));
    }
  }
  for (std::size_t i = 0; i < NA; ++i) {
    for (std::size_t j = 0; j < NB; ++j) {
      out[i * os + j] = avx2_finish(acc[i][j], a + i * as, b + j * bs, whole, n);
    }
  }
}

PELRIN_AVX2 float avx2_dot(const float* a, const float* b, std::size_t n) noexcept {
  float r = 0.0f;
  avx2_block<1, 1>(a, 0, b, 0, n, &r, 0);
  return r;
}

template <std::size_t NP>
PELRIN_AVX2 void avx2_pairs_block(const float* a, std::size_t as, const float* b, std::size_t bs,
                                  std::size_t n, float* out) noexcept {
  __m256 acc[NP];
  for (std::size_t p = 0; p < NP; ++p) acc[p] = _mm256_setzero_ps();
  const std::size_t whole = n - n % 8;
  for (std::size_t c = 0; c < whole; c += 8) {
    for (std::size_t p = 0; p < NP; ++p) {
      acc[p] = _mm256_add_ps(
          acc[p], _mm256_mul_ps(_mm256_loadu_ps(a + p * as + c), _mm256_loadu_ps(b + p * bs + c)));
    }
  }
  for (std::size_t p = 0; p < NP; ++p)
    out[p] = avx2_finish(acc[p], a + p * as, b + p * bs, whole, n);
}

PELRIN_AVX2 void avx2_pairs(const float* a, std::size_t as, const float* b, std::size_t bs,
                            std::size_t count, std::size_t n, float* out) noexcept {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) avx2_pairs_block<8>(a + i * as, as, b + i * bs, bs, n, out + i);
  for (; i < count; ++i) avx2_pairs_block<1>(a + i * as, as, b + i * bs, bs, n, out + i);
}

// dot(q, row) and dot(row, row) for NR rows in one pass.
template <std::size_t NR>
PELRIN_AVX2 void avx2_rows_and_squares_block(const float* q, const float* rows, std::size_t stride,
                                             std::size_t n, float* dots, float* squares) noexcept {
  __m256 dot[NR];
  __m256 square[NR];
  for (std::size_t r = 0; r < NR; ++r) dot[r] = square[r] = _mm256_setzero_ps();
  const std::size_t whole = n - n % 8;
  for (std::size_t c = 0; c < whole; c += 8) {
    const __m256 qv = _mm256_loadu_ps(q + c);
    for (std::size_t r = 0; r < NR; ++r) {
      const __m256 x = _mm256_loadu_ps(rows + r * stride + c);
      dot[r] = _mm256_add_ps(dot[r], _mm256_mul_ps(qv, x));
      square[r] = _mm256_add_ps(square[r], _mm256_mul_ps(x, x));
    }
  }
  for (std::size_t r = 0; r < NR; ++r) {
    const float* row = rows + r * stride;
    dots[r] = avx2_finish(dot[r], q, row, whole, n);
    squares[r] = avx2_finish(square[r], row, row, whole, n);
  }
}

PELRIN_AVX2 void avx2_rows_and_squares(const float* q, const float* rows, std::size_t stride,
                                       std::size_t count, std::size_t n, float* dots,
                                       float* squares) noexcept {
  std::size_t j = 0;
  for (; j + 4 <= count; j += 4) {
    avx2_rows_and_squares_block<4>(q, rows + j * stride, stride, n, dots + j, squares + j);
  }
  for (; j < count; ++j) {
    avx2_rows_and_squares_block<1>(q, rows + j * stride, stride, n, dots + j, squares + j);
  }
}

void sse2_rows_and_squares(const float* q, const float* rows, std::size_t stride, std::size_t count,
                           std::size_t n, float* dots, float* squares) noexcept {
  for (std::size_t j = 0; j < count; ++j) {
    dots[j] = sse2_dot(q, rows + j * stride, n);
    squares[j] = sse2_dot(rows + j * stride, rows + j * stride, n);
  }
}

template <std::size_t NP>
PELRIN_SSE2 void sse2_pairs_block(const float* a, std::size_t as, const float* b, std::size_t bs,
                                  std::size_t n, float* out) noexcept {
  __m128 lo[NP];
  __m128 hi[NP];
  for (std::size_t p = 0; p < NP; ++p) lo[p] = hi[p] = _mm_setzero_ps();
  const std::size_t whole = n - n % 8;
  for (std::size_t c = 0; c < whole; c += 8) {
    for (std::size_t p = 0; p < NP; ++p) {
      lo[p] =
          _mm_add_ps(lo[p], _mm_mul_ps(_mm_loadu_ps(a + p * as + c), _mm_loadu_ps(b + p * bs + c)));
      hi[p] = _mm_add_ps(
          hi[p], _mm_mul_ps(_mm_loadu_ps(a + p * as + c + 4), _mm_loadu_ps(b + p * bs + c + 4)));
    }
  }
  for (std::size_t p = 0; p < NP; ++p) {
    alignas(16) float s[8];
    _mm_store_ps(s, lo[p]);
    _mm_store_ps(s + 4, hi[p]);
    out[p] = finish_eight_lanes(s, a + p * as, b + p * bs, whole, n);
  }
}

PELRIN_SSE2 void sse2_pairs(const float* a, std::size_t as, const float* b, std::size_t bs,
                            std::size_t count, std::size_t n, float* out) noexcept {
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) sse2_pairs_block<4>(a + i * as, as, b + i * bs, bs, n, out + i);
  for (; i < count; ++i) sse2_pairs_block<1>(a + i * as, as, b + i * bs, bs, n, out + i);
}

// ---- AVX-512 ----

#define PELRIN_AVX512 __attribute__((target("avx512f")))

// Lanes 0..7 accumulate the dot product with b row j, lanes 8..15 the one
// with row j + 1; `a`'s block is broadcast to both halves.
template <std::size_t NA, std::size_t NP>
PELRIN_AVX512 void avx512_block(const float* a, std::size_t as, const float* b, std::size_t bs,
                                std::size_t n, float* out, std::size_t os) noexcept {
  __m512 acc[NA][NP];
  for (std::size_t i = 0; i < NA; ++i) {
    for (std::size_t p = 0; p < NP; ++p) acc[i][p] = _mm512_setzero_ps();
  }
  const std::size_t whole = n - n % 8;
  for (std::size_t c = 0; c < whole; c += 8) {
    __m512 bv[NP];
    for (std::size_t p = 0; p < NP; ++p) {
      const __m256 lo = _mm256_loadu_ps(b + (2 * p) * bs + c);
      const __m256 hi = _mm256_loadu_ps(b + (2 * p + 1) * bs + c);
      bv[p] = _mm512_castpd_ps(_mm512_insertf64x4(_mm512_castps_pd(_mm512_castps256_ps512(lo)),
                                                  _mm256_castps_pd(hi), 1));
    }
    for (std::size_t i = 0; i < NA; ++i) {
      const __m256 a8 = _mm256_loadu_ps(a + i * as + c);
      const __m512 av = _mm512_castpd_ps(_mm512_broadcast_f64x4(_mm256_castps_pd(a8)));
      for (std::size_t p = 0; p < NP; ++p)
        acc[i][p] = _mm512_add_ps(acc[i][p], _mm512_mul_ps(av, bv[p]));
    }
  }
  for (std::size_t i = 0; i < NA; ++i) {
    for (std::size_t p = 0; p < NP; ++p) {
      alignas(64) float s[16];
      _mm512_store_ps(s, acc[i][p]);
      out[i * os + 2 * p] = finish_eight_lanes(s, a + i * as, b + (2 * p) * bs, whole, n);
      out[i * os + 2 * p + 1] =
          finish_eight_lanes(s + 8, a + i * as, b + (2 * p + 1) * bs, whole, n);
    }
  }
}

// ---- tiling ----

// Walks the na x nb block in TA x (TB * Unit) tiles, then the edges with
// smaller instances of the same block kernel; Unit is the number of b rows
// one accumulator column covers, and Single finishes any b rows left over.
using BlockFn = void (*)(const float*, std::size_t, const float*, std::size_t, std::size_t, float*,
                         std::size_t) noexcept;

template <BlockFn Block, BlockFn BlockEdge, BlockFn RowBlock, BlockFn RowEdge, DotFn Single,
          std::size_t TA, std::size_t TB, std::size_t Unit>
void tile(const float* a, std::size_t as, std::size_t na, const float* b, std::size_t bs,
          std::size_t nb, std::size_t n, float* out, std::size_t os) noexcept {
  for (std::size_t i = 0; i < na;) {
    const bool full = i + TA <= na;
    const std::size_t rows = full ? TA : 1;
    std::size_t j = 0;
    for (; j + TB * Unit <= nb; j += TB * Unit) {
      (full ? Block : RowBlock)(a + i * as, as, b + j * bs, bs, n, out + i * os + j, os);
    }
    for (; j + Unit <= nb; j += Unit) {
      (full ? BlockEdge : RowEdge)(a + i * as, as, b + j * bs, bs, n, out + i * os + j, os);
    }
    for (; j < nb; ++j) {
      for (std::size_t r = 0; r < rows; ++r) {
        out[(i + r) * os + j] = Single(a + (i + r) * as, b + j * bs, n);
      }
    }
    i += rows;
  }
}

void sse2_tile(const float* a, std::size_t as, std::size_t na, const float* b, std::size_t bs,
               std::size_t nb, std::size_t n, float* out, std::size_t os) noexcept {
  tile<&sse2_block<2, 2>, &sse2_block<2, 1>, &sse2_block<1, 2>, &sse2_block<1, 1>, &sse2_dot, 2, 2,
       1>(a, as, na, b, bs, nb, n, out, os);
}

void avx2_tile(const float* a, std::size_t as, std::size_t na, const float* b, std::size_t bs,
               std::size_t nb, std::size_t n, float* out, std::size_t os) noexcept {
  tile<&avx2_block<2, 4>, &avx2_block<2, 1>, &avx2_block<1, 4>, &avx2_block<1, 1>, &avx2_dot, 2, 4,
       1>(a, as, na, b, bs, nb, n, out, os);
}

void avx512_tile(const float* a, std::size_t as, std::size_t na, const float* b, std::size_t bs,
                 std::size_t nb, std::size_t n, float* out, std::size_t os) noexcept {
  tile<&avx512_block<4, 4>, &avx512_block<4, 1>, &avx512_block<1, 4>, &avx512_block<1, 1>,
       &avx2_dot, 4, 4, 2>(a, as, na, b, bs, nb, n, out, os);
}

}  // namespace

const KernelTable kSse2Kernels{&sse2_dot, &sse2_tile, &sse2_pairs, &sse2_rows_and_squares};
const KernelTable kAvx2Kernels{&avx2_dot, &avx2_tile, &avx2_pairs, &avx2_rows_and_squares};
// A lone dot product has one dependent chain of adds whatever the width, so
// the AVX-512 variant reuses the 8-float forms for it, for pairs and for
// rows with their squares (which are bound by memory, not arithmetic).
const KernelTable kAvx512Kernels{&avx2_dot, &avx512_tile, &avx2_pairs, &avx2_rows_and_squares};

}  // namespace pelrin::similarity::detail

#endif  // __x86_64__
