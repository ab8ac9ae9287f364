// Quantized embeddings.
#include "core/embeddings/quantized.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/platform/worker_pool.h"
#include "core/similarity/kernels.h"

namespace pelrin::embeddings {
namespace {

using similarity::kNormFloor;

// Codes per block whose 32-bit lane sums cannot overflow: each lane takes
// fewer than kBlock / 8 + 8 products of magnitude <= 128 * 128.
constexpr std::size_t kBlock = 65536;

// The cosine of the codes from the integer sums P, Qa and Qb.
float cosine_from_sums(std::int64_t p, std::int64_t qa, std::int64_t qb) {
  const float na = std::sqrt(static_cast<float>(qa));
  if (na < kNormFloor) return 0.0f;
  const float nb = std::sqrt(static_cast<float>(qb));
  if (nb < kNormFloor) return 0.0f;
  return static_cast<float>(p) / (na * nb);
}

// P = sum a[i] * b[i] and Qb = sum b[i]^2 in one pass over the codes.
__attribute__((target_clones("avx2", "default"))) void code_dot_and_square(
    const std::int8_t* a, const std::int8_t* b, std::size_t n, std::int64_t& p,
    std::int64_t& qb) noexcept {
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

float cosine_of_codes(const QuantizedEmbedding& a, const QuantizedEmbedding& b, std::int64_t qa) {
  const std::size_t n = a.data.size();
  if (n == 0) return 0.0f;
  std::int64_t p = 0;
  std::int64_t qb = 0;
  code_dot_and_square(a.data.data(), b.data.data(), n, p, qb);
  return cosine_from_sums(p, qa, qb);
}

}  // namespace

__attribute__((target_clones("avx2", "default"))) std::int64_t code_dot(const std::int8_t* a,
                                                                        const std::int8_t* b,
                                                                        std::size_t n) noexcept {
  std::int64_t total = 0;
  for (std::size_t start = 0; start < n; start += kBlock) {
    const std::size_t end = std::min(n, start + kBlock);
    std::int32_t lanes[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    std::size_t i = start;
    for (; i + 8 <= end; i += 8) {
      for (std::size_t j = 0; j < 8; ++j) {
        const auto prod = static_cast<std::int16_t>(static_cast<std::int16_t>(a[i + j]) *
                                                    static_cast<std::int16_t>(b[i + j]));
        lanes[j] += prod;
      }
    }
    for (; i < end; ++i) lanes[0] += static_cast<std::int16_t>(a[i] * b[i]);
    for (std::int32_t lane : lanes) total += lane;
  }
  return total;
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
  if (vectors.size() > kParallelThreshold) return std::move(platform::parallel_map(vectors.size(), one)).value();
  std::vector<QuantizedEmbedding> out;
  out.reserve(vectors.size());
  for (std::size_t i = 0; i < vectors.size(); ++i) out.push_back(one(i));
  return out;
}

Result<float> quantized_cosine_similarity(const QuantizedEmbedding& a, const QuantizedEmbedding& b) {
  if (a.data.size() != b.data.size()) return Error::value("Embeddings must have same dimension");
  return cosine_of_codes(a, b, code_dot(a.data.data(), a.data.data(), a.data.size()));
}

std::vector<float> batch_quantized_cosine_similarity(const QuantizedEmbedding& query,
                                                     const std::vector<QuantizedEmbedding>& corpus) {
  const std::int64_t qa = code_dot(query.data.data(), query.data.data(), query.data.size());
  auto one = [&](std::size_t i) {
    const QuantizedEmbedding& c = corpus[i];
    if (c.data.size() != query.data.size() || c.data.empty()) return 0.0f;
    return cosine_of_codes(query, c, qa);
  };
  if (corpus.size() > kParallelThreshold) return std::move(platform::parallel_map(corpus.size(), one)).value();
  std::vector<float> out(corpus.size());
  for (std::size_t i = 0; i < corpus.size(); ++i) out[i] = one(i);
  return out;
}

}  // namespace pelrin::embeddings
