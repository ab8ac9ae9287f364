// The portable kernel variant, the dispatch between variants, and the norm
// helpers built on them.
#include "core/similarity/kernels.h"

#include <algorithm>
#include <atomic>

#include "core/similarity/kernel_variants.h"

namespace pelrin::similarity {

using detail::TileFn;

namespace detail {
namespace {

float scalar_dot(const float* a, const float* b, std::size_t n) noexcept {
  float s[8] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  const std::size_t whole = n - n % 8;
  for (std::size_t c = 0; c < whole; c += 8) {
    for (std::size_t j = 0; j < 8; ++j) s[j] = s[j] + a[c + j] * b[c + j];
  }
  return finish_eight_lanes(s, a, b, whole, n);
}

void scalar_tile(const float* a, std::size_t a_stride, std::size_t na, const float* b,
                 std::size_t b_stride, std::size_t nb, std::size_t n, float* out,
                 std::size_t out_stride) noexcept {
  for (std::size_t i = 0; i < na; ++i) {
    for (std::size_t j = 0; j < nb; ++j) {
      out[i * out_stride + j] = scalar_dot(a + i * a_stride, b + j * b_stride, n);
    }
  }
}

void scalar_pairs(const float* a, std::size_t a_stride, const float* b, std::size_t b_stride,
                  std::size_t count, std::size_t n, float* out) noexcept {
  for (std::size_t i = 0; i < count; ++i)
    out[i] = scalar_dot(a + i * a_stride, b + i * b_stride, n);
}

void scalar_rows_and_squares(const float* q, const float* rows, std::size_t stride,
                             std::size_t count, std::size_t n, float* dots,
                             float* squares) noexcept {
  for (std::size_t j = 0; j < count; ++j) {
    dots[j] = scalar_dot(q, rows + j * stride, n);
    squares[j] = scalar_dot(rows + j * stride, rows + j * stride, n);
  }
}

}  // namespace

const KernelTable kScalarKernels{&scalar_dot, &scalar_tile, &scalar_pairs,
                                 &scalar_rows_and_squares};

}  // namespace detail

namespace {

const detail::KernelTable* table_of(KernelVariant v) noexcept {
  switch (v) {
#if defined(__x86_64__)
    case KernelVariant::kSse2:
      return &detail::kSse2Kernels;
    case KernelVariant::kAvx2:
      return &detail::kAvx2Kernels;
    case KernelVariant::kAvx512:
      return &detail::kAvx512Kernels;
#endif
    default:
      return &detail::kScalarKernels;
  }
}

KernelVariant best_variant() noexcept {
  for (KernelVariant v : {KernelVariant::kAvx512, KernelVariant::kAvx2, KernelVariant::kSse2}) {
    if (kernel_variant_supported(v)) return v;
  }
  return KernelVariant::kScalar;
}

struct Active {
  std::atomic<const detail::KernelTable*> table;
  std::atomic<KernelVariant> variant;
};

Active& active() noexcept {
  static Active a{table_of(best_variant()), best_variant()};
  return a;
}

const detail::KernelTable& kernels() noexcept {
  return *active().table.load(std::memory_order_relaxed);
}

}  // namespace

bool kernel_variant_supported(KernelVariant v) noexcept {
#if defined(__x86_64__)
  __builtin_cpu_init();  // safe to repeat; needed if first called from a constructor
#endif
  switch (v) {
    case KernelVariant::kScalar:
      return true;
#if defined(__x86_64__)
    case KernelVariant::kSse2:
      return true;  // part of the x86-64 baseline
    case KernelVariant::kAvx2:
      return __builtin_cpu_supports("avx2");
    case KernelVariant::kAvx512:
      return __builtin_cpu_supports("avx512f");
#endif
    default:
      return false;
  }
}

KernelVariant active_kernel_variant() noexcept {
  return active().variant.load(std::memory_order_relaxed);
}

bool force_kernel_variant(KernelVariant v) noexcept {
  if (!kernel_variant_supported(v)) return false;
  active().table.store(table_of(v), std::memory_order_relaxed);
  active().variant.store(v, std::memory_order_relaxed);
  return true;
}

const char* kernel_variant_name(KernelVariant v) noexcept {
  switch (v) {
    case KernelVariant::kScalar:
      return "scalar";
    case KernelVariant::kSse2:
      return "sse2";
    case KernelVariant::kAvx2:
      return "avx2";
    case KernelVariant::kAvx512:
      return "avx512";
  }
  return "unknown";
}

float dot(const float* a, const float* b, std::size_t n) noexcept { return kernels().dot(a, b, n); }

void dot_tile(const float* a, std::size_t a_stride, std::size_t na, const float* b,
              std::size_t b_stride, std::size_t nb, std::size_t n, float* out,
              std::size_t out_stride) noexcept {
  if (na == 0 || nb == 0) return;
  // Walking b in slices that stay in cache while every a row passes over
  // them; the slices do not change any result.
  constexpr std::size_t kCacheRows = 16;
  const TileFn tile = kernels().tile;
  for (std::size_t j = 0; j < nb; j += kCacheRows) {
    tile(a, a_stride, na, b + j * b_stride, b_stride, std::min(kCacheRows, nb - j), n, out + j,
         out_stride);
  }
}

void dot_pairs(const float* a, std::size_t a_stride, const float* b, std::size_t b_stride,
               std::size_t count, std::size_t n, float* out) noexcept {
  if (count == 0) return;
  kernels().pairs(a, a_stride, b, b_stride, count, n, out);
}

void dot_rows_and_squares(const float* q, const float* rows, std::size_t stride, std::size_t count,
                          std::size_t n, float* dots, float* squares) noexcept {
  if (count == 0) return;
  kernels().rows_and_squares(q, rows, stride, count, n, dots, squares);
}

void clamped_norms(const float* rows, std::size_t stride, std::size_t count, std::size_t n,
                   float* out) noexcept {
  dot_pairs(rows, stride, rows, stride, count, n, out);
  for (std::size_t i = 0; i < count; ++i) out[i] = clamp_norm(out[i]);
}

float clamped_norm(const float* x, std::size_t n) noexcept {
  return clamp_norm(sum_of_squares(x, n));
}

void normalized_copy(const float* x, std::size_t n, float* out) noexcept {
  const float norm = clamped_norm(x, n);
  for (std::size_t i = 0; i < n; ++i) out[i] = x[i] / norm;
}

}  // namespace pelrin::similarity
