// Fuzzes the vector kernels: every SIMD variant must equal the portable one
// bit for bit, for any values (NaN, infinities, subnormals) and any shape.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/similarity/kernels.h"

namespace {

using pelrin::similarity::KernelVariant;

struct Outputs {
  float dot = 0;
  std::vector<float> tile;
  std::vector<float> pairs;
  std::vector<float> row_dots;
  std::vector<float> squares;
};

Outputs run(KernelVariant v, const std::vector<float>& a, const std::vector<float>& b,
            std::size_t n, std::size_t na, std::size_t nb) {
  pelrin::similarity::force_kernel_variant(v);
  Outputs o;
  o.dot = pelrin::similarity::dot(a.data(), b.data(), n);
  o.tile.assign(na * nb, 0.0f);
  pelrin::similarity::dot_tile(a.data(), n, na, b.data(), n, nb, n, o.tile.data(), nb);
  const std::size_t np = na < nb ? na : nb;
  o.pairs.assign(np, 0.0f);
  pelrin::similarity::dot_pairs(a.data(), n, b.data(), n, np, n, o.pairs.data());
  o.row_dots.assign(nb, 0.0f);
  o.squares.assign(nb, 0.0f);
  pelrin::similarity::dot_rows_and_squares(a.data(), b.data(), n, nb, n, o.row_dots.data(),
                                           o.squares.data());
  return o;
}

// Equal bit patterns, except that any NaN equals any NaN (NaN payloads may
// differ between instruction sets).
bool same(float x, float y) {
  if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
  return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(y);
}

bool same(const Outputs& x, const Outputs& y) {
  if (!same(x.dot, y.dot)) return false;
  for (std::size_t i = 0; i < x.tile.size(); ++i) {
    if (!same(x.tile[i], y.tile[i])) return false;
  }
  for (std::size_t i = 0; i < x.pairs.size(); ++i) {
    if (!same(x.pairs[i], y.pairs[i])) return false;
  }
  for (std::size_t i = 0; i < x.row_dots.size(); ++i) {
    if (!same(x.row_dots[i], y.row_dots[i]) || !same(x.squares[i], y.squares[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, 70);
  const std::size_t na = in.ConsumeIntegralInRange<std::size_t>(1, 5);
  const std::size_t nb = in.ConsumeIntegralInRange<std::size_t>(1, 11);
  std::vector<float> a(na * n);
  std::vector<float> b(nb * n);
  for (float& x : a) x = std::bit_cast<float>(in.ConsumeIntegral<std::uint32_t>());
  for (float& x : b) x = std::bit_cast<float>(in.ConsumeIntegral<std::uint32_t>());

  const Outputs want = run(KernelVariant::kScalar, a, b, n, na, nb);
  for (KernelVariant v : {KernelVariant::kSse2, KernelVariant::kAvx2, KernelVariant::kAvx512}) {
    if (!pelrin::similarity::kernel_variant_supported(v)) continue;
    if (!same(run(v, a, b, n, na, nb), want)) std::abort();
  }
  return 0;
}
