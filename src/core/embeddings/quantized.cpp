// Quantized embeddings.
#include "core/embeddings/quantized.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/platform/worker_pool.h"
#include "core/similarity/kernels.h"

namespace pelrin::embeddings {
namespace {

using similarity::kNormFloor;

// Codes per block whose 32-bit lane sums cannot overflow: each lane takes
// at most kBlock / 8 + 7 products of magnitude <= 128 * 128 (2^14).
constexpr std::size_t kBlock = 65536;

// The cosine of the codes from the integer sums P, Qa and Qb.
float cosine_from_sums(std::int64_t p, std::int64_t qa, std::int64_t qb) {
  const float na = std::sqrt(static_cast<float>(qa));
  if (na < kNormFloor) return 0.0f;
  const float nb = std::sqrt(static_cast<float>(qb));
  if (nb < kNormFloor) return 0.0f;
  return static_cast<float>(p) / (na * nb);
}

}  // namespace

// P = sum a[i] * b[i] and Qb = sum b[i]^2 in one pass over the codes.
void code_dot_and_square_portable(const std::int8_t* a, const std::int8_t* b, std::size_t n,
                                  std::int64_t& p, std::int64_t& qb) noexcept {
  p = 0;
  qb = 0;
  for (std::size_t start = 0; start < n; start += kBlock) {
    const std::size_t end = std::min(n, start + kBlock);
    std::int32_t dot_lanes[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    std::int32_t square_lanes[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    std::size_t i = start;
    for (; i + 8 <= end; i += 8) {
      for (std::size_t j = 0; j < 8; ++j) {
        const auto x = static_cast<std::int16_t>(a[i + j]);
        const auto y = static_cast<std::int16_t>(b[i + j]);
        dot_lanes[j] += static_cast<std::int16_t>(x * y);
        square_lanes[j] += static_cast<std::int16_t>(y * y);
      }
    }
    for (; i < end; ++i) {
      dot_lanes[0] += static_cast<std::int16_t>(a[i] * b[i]);
      square_lanes[0] += static_cast<std::int16_t>(b[i] * b[i]);
    }
    for (std::size_t j = 0; j < 8; ++j) {
      p += dot_lanes[j];
      qb += square_lanes[j];
    }
  }
}

#if defined(__x86_64__)
namespace {

// The same sums with AVX2: codes sign-extended to 16 bits, products summed
// in pairs into 32-bit lanes (vpmaddwd), 32 codes per step. Integer sums are
// exact, so the grouping does not change the result.
__attribute__((target("avx2"))) void code_dot_and_square_avx2(const std::int8_t* a,
                                                              const std::int8_t* b, std::size_t n,
                                                              std::int64_t& p,
                                                              std::int64_t& qb) noexcept {
  p = 0;
  qb = 0;
  std::size_t i = 0;
  while (i + 32 <= n) {
    const std::size_t end = std::min(n - n % 32, i + kBlock);
    __m256i dot = _mm256_setzero_si256();
    __m256i square = _mm256_setzero_si256();
    for (; i < end; i += 32) {
      const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
      const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
      const __m256i alo = _mm256_cvtepi8_epi16(_mm256_castsi256_si128(va));
      const __m256i ahi = _mm256_cvtepi8_epi16(_mm256_extracti128_si256(va, 1));
      const __m256i blo = _mm256_cvtepi8_epi16(_mm256_castsi256_si128(vb));
      const __m256i bhi = _mm256_cvtepi8_epi16(_mm256_extracti128_si256(vb, 1));
      dot = _mm256_add_epi32(
          dot, _mm256_add_epi32(_mm256_madd_epi16(alo, blo), _mm256_madd_epi16(ahi, bhi)));
      square = _mm256_add_epi32(
          square, _mm256_add_epi32(_mm256_madd_epi16(blo, blo), _mm256_madd_epi16(bhi, bhi)));
    }
    alignas(32) std::int32_t d[8];
    alignas(32) std::int32_t q[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(d), dot);
    _mm256_store_si256(reinterpret_cast<__m256i*>(q), square);
    for (int j = 0; j < 8; ++j) {
      p += d[j];
      qb += q[j];
    }
  }
  for (; i < n; ++i) {
    p += a[i] * b[i];
    qb += b[i] * b[i];
  }
}

}  // namespace
#endif

void code_dot_and_square(const std::int8_t* a, const std::int8_t* b, std::size_t n, std::int64_t& p,
                         std::int64_t& qb) noexcept {
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return code_dot_and_square_avx2(a, b, n, p, qb);
#endif
  code_dot_and_square_portable(a, b, n, p, qb);
}

namespace {

float cosine_of_codes(const QuantizedEmbedding& a, const QuantizedEmbedding& b, std::int64_t qa) {
  const std::size_t n = a.data.size();
  if (n == 0) return 0.0f;
  std::int64_t p = 0;
  std::int64_t qb = 0;
  code_dot_and_square(a.data.data(), b.data.data(), n, p, qb);
  return cosine_from_sums(p, qa, qb);
}

}  // namespace

std::int64_t code_dot(const std::int8_t* a, const std::int8_t* b, std::size_t n) noexcept {
  std::int64_t p = 0;
  std::int64_t unused = 0;
  code_dot_and_square(a, b, n, p, unused);
  return p;
}

std::vector<float> QuantizedEmbedding::dequantize() const {
  std::vector<float> out(data.size());
  const float zp = static_cast<float>(zero_point);
  for (std::size_t i = 0; i < data.size(); ++i) out[i] = (static_cast<float>(data[i]) - zp) * scale;
  return out;
}

Result<float> QuantizedEmbedding::dot(const QuantizedEmbedding& other) const {
  if (data.size() != other.data.size()) return Error::value("Embeddings must have same dimension");
  const std::size_t n = data.size();
  if (n == 0) return 0.0f;
  const float p = static_cast<float>(code_dot(data.data(), other.data.data(), n));
  float sum_a = 0.0f;
  float sum_b = 0.0f;
  for (std::size_t i = 0; i < n; ++i) {
    sum_a = sum_a + static_cast<float>(data[i]);
    sum_b = sum_b + static_cast<float>(other.data[i]);
  }
  const float za = static_cast<float>(zero_point);
  const float zb = static_cast<float>(other.zero_point);
  const float constant = (static_cast<float>(n) * za) * zb;
  const float cross = (p - sum_b * za) - sum_a * zb;
  return (constant + cross) * scale * other.scale;
}

QuantizedEmbedding quantize_embedding_slice(std::span<const float> values) {
  QuantizedEmbedding q;
  if (values.empty()) return q;
  float lo = std::numeric_limits<float>::infinity();
  float hi = -std::numeric_limits<float>::infinity();
  for (float v : values) {
    if (std::isnan(v)) continue;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  const float amax = std::max(std::fabs(lo), std::fabs(hi));
  const float s = amax / 127.0f;
  q.data.assign(values.size(), 0);
  if (s >= kNormFloor) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      const float r = std::round(values[i] / s);  // ties away from zero
      if (std::isnan(r)) continue;
      q.data[i] = static_cast<std::int8_t>(std::clamp(r, -128.0f, 127.0f));
    }
  }
  q.scale = std::max(s, kNormFloor);
  q.zero_point = 0;
  return q;
}

std::vector<QuantizedEmbedding> batch_quantize_embeddings(const similarity::VectorList& vectors) {
  auto one = [&](std::size_t i) { return quantize_embedding_slice(vectors[i]); };
  if (vectors.size() > kParallelThreshold)
    return std::move(platform::parallel_map(vectors.size(), one)).value();
  std::vector<QuantizedEmbedding> out;
  out.reserve(vectors.size());
  for (std::size_t i = 0; i < vectors.size(); ++i) out.push_back(one(i));
  return out;
}

Result<float> quantized_cosine_similarity(const QuantizedEmbedding& a,
                                          const QuantizedEmbedding& b) {
  if (a.data.size() != b.data.size()) return Error::value("Embeddings must have same dimension");
  return cosine_of_codes(a, b, code_dot(a.data.data(), a.data.data(), a.data.size()));
}

std::vector<float> batch_quantized_cosine_similarity(
    const QuantizedEmbedding& query, std::span<const QuantizedEmbedding* const> corpus) {
  const std::int64_t qa = code_dot(query.data.data(), query.data.data(), query.data.size());
  auto one = [&](std::size_t i) {
    const QuantizedEmbedding& c = *corpus[i];
    if (c.data.size() != query.data.size() || c.data.empty()) return 0.0f;
    return cosine_of_codes(query, c, qa);
  };
  if (corpus.size() > kParallelThreshold)
    return std::move(platform::parallel_map(corpus.size(), one)).value();
  std::vector<float> out(corpus.size());
  for (std::size_t i = 0; i < corpus.size(); ++i) out[i] = one(i);
  return out;
}

}  // namespace pelrin::embeddings
