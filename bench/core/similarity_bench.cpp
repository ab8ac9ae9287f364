// Times the vector kernels without the binding layer: a block of dot
// products per kernel variant, and the similarity matrix and kNN graph on
// plain buffers. Prints one JSON object per line (GFLOP/s counts a multiply
// and an add per term). Threads follow PELRIN_NUM_THREADS.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "core/embeddings/matrix.h"
#include "core/similarity/cosine.h"
#include "core/similarity/kernels.h"

namespace {

using namespace pelrin::similarity;

template <class F>
double best_seconds(int repeat, F&& f) {
  double best = 1e30;
  for (int r = 0; r < repeat; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

std::vector<float> random_floats(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> v(n);
  for (float& x : v) x = u(rng);
  return v;
}

}  // namespace

int main() {
  // The tile: 64 rows against 1024 rows of 384 floats.
  {
    const std::size_t n = 384, na = 64, nb = 1024;
    const auto a = random_floats(na * n, 1);
    const auto b = random_floats(nb * n, 2);
    std::vector<float> out(na * nb);
    const KernelVariant keep = active_kernel_variant();
    for (KernelVariant v : {KernelVariant::kScalar, KernelVariant::kSse2, KernelVariant::kAvx2,
                            KernelVariant::kAvx512}) {
      if (!force_kernel_variant(v)) continue;
      const double s =
          best_seconds(5, [&] { dot_tile(a.data(), n, na, b.data(), n, nb, n, out.data(), nb); });
      std::printf("{\"case\": \"dot_tile %zux%zux%zu\", \"variant\": \"%s\", \"gflops\": %.1f}\n",
                  na, nb, n, kernel_variant_name(v), 2.0 * na * nb * n / s / 1e9);
    }
    force_kernel_variant(keep);
  }
  // The whole core functions on plain buffers.
  {
    const std::size_t nq = 1000, nc = 10000, d = 384, ne = 5000;
    const auto q = random_floats(nq * d, 3);
    const auto c = random_floats(nc * d, 4);
    const auto e = random_floats(ne * d, 5);
    const VectorList queries = VectorList::view(q.data(), nq, d);
    const VectorList corpus = VectorList::view(c.data(), nc, d);
    const VectorList emb = VectorList::view(e.data(), ne, d);
    const double sm = best_seconds(3, [&] { (void)similarity_matrix_impl(queries, corpus, true); });
    std::printf(
        "{\"case\": \"similarity_matrix_impl %zux%zux%zu\", \"ms\": %.1f, \"gflops\": %.1f}\n", nq,
        nc, d, sm * 1e3, 2.0 * nq * nc * d / sm / 1e9);
    const double kn = best_seconds(3, [&] { (void)pelrin::embeddings::knn_graph(emb, 5); });
    std::printf("{\"case\": \"knn_graph core %zux%zu k=5\", \"ms\": %.1f, \"gflops\": %.1f}\n", ne,
                d, kn * 1e3, 2.0 * ne * ne * d / kn / 1e9);
  }
  return 0;
}
