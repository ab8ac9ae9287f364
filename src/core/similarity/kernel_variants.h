// The per-variant kernel entry points behind the dispatch of kernels.cpp.
#pragma once

#include <cstddef>

namespace pelrin::similarity::detail {

using DotFn = float (*)(const float* a, const float* b, std::size_t n) noexcept;
using TileFn = void (*)(const float* a, std::size_t a_stride, std::size_t na, const float* b,
                        std::size_t b_stride, std::size_t nb, std::size_t n, float* out,
                        std::size_t out_stride) noexcept;

using PairsFn = void (*)(const float* a, std::size_t a_stride, const float* b, std::size_t b_stride,
                         std::size_t count, std::size_t n, float* out) noexcept;

using RowsAndSquaresFn = void (*)(const float* q, const float* rows, std::size_t stride,
                                  std::size_t count, std::size_t n, float* dots,
                                  float* squares) noexcept;

struct KernelTable {
  DotFn dot;
  TileFn tile;
  PairsFn pairs;
  RowsAndSquaresFn rows_and_squares;
};

// Steps 2 and 3 of the eight-lane sum: the fixed combine of the partial sums,
// then the tail terms from element `from` to n, one at a time.
inline float finish_eight_lanes(const float* s, const float* a, const float* b, std::size_t from,
                                std::size_t n) noexcept {
  float total = (((s[0] + s[1]) + s[2]) + s[3]) + (((s[4] + s[5]) + s[6]) + s[7]);
  for (std::size_t i = from; i < n; ++i) total = total + a[i] * b[i];
  return total;
}

extern const KernelTable kScalarKernels;
#if defined(__x86_64__)
extern const KernelTable kSse2Kernels;
extern const KernelTable kAvx2Kernels;
extern const KernelTable kAvx512Kernels;
#endif

}  // namespace pelrin::similarity::detail
