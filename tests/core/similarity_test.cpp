// The vector kernels: the eight-lane summation order, the norm floor, and
// every SIMD variant bit-identical to the portable one.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "core/embeddings/quantized.h"
#include "core/similarity/kernels.h"

namespace pelrin::similarity {
namespace {

// The summation written out term by term, as slowly and plainly as possible.
float reference_dot(const std::vector<float>& a, const std::vector<float>& b) {
  std::vector<float> lanes(8, 0.0f);
  const std::size_t whole = a.size() / 8 * 8;
  for (std::size_t i = 0; i < whole; ++i) {
    const float term = a[i] * b[i];
    lanes[i % 8] = lanes[i % 8] + term;
  }
  const float left = ((lanes[0] + lanes[1]) + lanes[2]) + lanes[3];
  const float right = ((lanes[4] + lanes[5]) + lanes[6]) + lanes[7];
  float total = left + right;
  for (std::size_t i = whole; i < a.size(); ++i) {
    const float term = a[i] * b[i];
    total = total + term;
  }
  return total;
}

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

std::vector<float> random_vector(std::mt19937& rng, std::size_t n) {
  // Mixed magnitudes make rounding depend on the order of the additions.
  std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
  std::uniform_int_distribution<int> exponent(-12, 12);
  std::vector<float> v(n);
  for (float& x : v) x = std::ldexp(mantissa(rng), exponent(rng));
  return v;
}

class EachVariant : public ::testing::TestWithParam<KernelVariant> {
 protected:
  void SetUp() override {
    if (!force_kernel_variant(GetParam())) GTEST_SKIP() << "processor lacks this variant";
    ASSERT_EQ(active_kernel_variant(), GetParam());
  }
  void TearDown() override { force_kernel_variant(default_variant_); }

 private:
  KernelVariant default_variant_ = active_kernel_variant();
};

TEST_P(EachVariant, DotEqualsTheReferenceBitForBit) {
  std::mt19937 rng(7);
  for (std::size_t n : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 33u, 100u, 1536u}) {
    for (int trial = 0; trial < 20; ++trial) {
      const auto a = random_vector(rng, n);
      const auto b = random_vector(rng, n);
      EXPECT_EQ(bits(dot(a.data(), b.data(), n)), bits(reference_dot(a, b))) << "n=" << n;
      EXPECT_EQ(bits(sum_of_squares(a.data(), n)), bits(reference_dot(a, a))) << "n=" << n;
    }
  }
}

TEST_P(EachVariant, TileEqualsSingleDotsForEveryShape) {
  std::mt19937 rng(11);
  // Shapes cover full tiles and every edge: odd row counts, single columns,
  // column counts that are not a multiple of the pair width.
  for (std::size_t n : {5u, 8u, 17u, 64u}) {
    for (std::size_t na : {1u, 2u, 3u, 5u}) {
      for (std::size_t nb : {1u, 2u, 3u, 7u, 8u, 9u, 17u}) {
        // Rows one float longer than n, starting one float in: unaligned,
        // strided access.
        const std::size_t stride = n + 1;
        const auto a = random_vector(rng, na * stride + 1);
        const auto b = random_vector(rng, nb * stride + 1);
        std::vector<float> out(na * (nb + 2), -7.0f);
        dot_tile(a.data() + 1, stride, na, b.data() + 1, stride, nb, n, out.data(), nb + 2);
        for (std::size_t i = 0; i < na; ++i) {
          const std::vector<float> ai(a.data() + 1 + i * stride, a.data() + 1 + i * stride + n);
          for (std::size_t j = 0; j < nb; ++j) {
            const std::vector<float> bj(b.data() + 1 + j * stride, b.data() + 1 + j * stride + n);
            EXPECT_EQ(bits(out[i * (nb + 2) + j]), bits(reference_dot(ai, bj)))
                << "n=" << n << " na=" << na << " nb=" << nb << " i=" << i << " j=" << j;
          }
          // The padding columns are left alone.
          EXPECT_EQ(out[i * (nb + 2) + nb], -7.0f);
          EXPECT_EQ(out[i * (nb + 2) + nb + 1], -7.0f);
        }
      }
    }
  }
}

TEST_P(EachVariant, PairsRowsAndNormsEqualTheReference) {
  std::mt19937 rng(13);
  for (std::size_t n : {0u, 3u, 8u, 9u, 40u}) {
    for (std::size_t count : {1u, 4u, 7u, 8u, 9u, 17u}) {
      const std::size_t stride = n + 3;
      const auto a = random_vector(rng, count * stride);
      const auto b = random_vector(rng, count * stride);
      std::vector<float> dots(count);
      std::vector<float> norms(count);
      std::vector<float> row_dots(count);
      std::vector<float> squares(count);
      dot_pairs(a.data(), stride, b.data(), stride, count, n, dots.data());
      clamped_norms(a.data(), stride, count, n, norms.data());
      dot_rows_and_squares(b.data(), a.data(), stride, count, n, row_dots.data(), squares.data());
      const std::vector<float> q(b.data(), b.data() + n);
      for (std::size_t i = 0; i < count; ++i) {
        const std::vector<float> ai(a.data() + i * stride, a.data() + i * stride + n);
        const std::vector<float> bi(b.data() + i * stride, b.data() + i * stride + n);
        EXPECT_EQ(bits(dots[i]), bits(reference_dot(ai, bi))) << "n=" << n << " i=" << i;
        EXPECT_EQ(bits(row_dots[i]), bits(reference_dot(q, ai))) << "n=" << n << " i=" << i;
        EXPECT_EQ(bits(squares[i]), bits(reference_dot(ai, ai))) << "n=" << n << " i=" << i;
        const float root = std::sqrt(reference_dot(ai, ai));
        EXPECT_EQ(bits(norms[i]), bits(root > kNormFloor ? root : kNormFloor));
      }
    }
  }
}

TEST_P(EachVariant, SpecialValuesPropagateAsInTheReference) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<std::vector<float>> cases = {
      {inf, 1, 2, 3, 4, 5, 6, 7, 8},
      {inf, -inf, 0, 0, 0, 0, 0, 0},
      {nan, 1, 1, 1, 1, 1, 1, 1, 1, 1},
      {3.0e38f, 3.0e38f, 1, 1, 1, 1, 1, 1},
      {1e-30f, -0.0f, 0, 0, 0, 0, 0, 0, 1e-30f},
  };
  for (const auto& a : cases) {
    const std::vector<float> ones(a.size(), 1.0f);
    const float got = dot(a.data(), ones.data(), a.size());
    const float want = reference_dot(a, ones);
    if (std::isnan(want)) {
      EXPECT_TRUE(std::isnan(got));
    } else {
      EXPECT_EQ(bits(got), bits(want));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, EachVariant,
                         ::testing::Values(KernelVariant::kScalar, KernelVariant::kSse2,
                                           KernelVariant::kAvx2, KernelVariant::kAvx512),
                         [](const auto& param_info) {
                           return std::string(kernel_variant_name(param_info.param));
                         });

// Hand-made sums whose value depends on the grouping: each one would come out
// differently under a left-to-right sum or with the tail folded into a lane.
TEST(EightLaneSum, FixedGroupingAndTailOrder) {
  struct Case {
    std::vector<float> terms;
    float expected;
  };
  const std::vector<Case> cases = {
      // Lanes 0..3 combine left to right: (1 + 1e8) - 1e8 loses the 1.
      {{1, 1e8f, -1e8f, 0, 0, 0, 0, 0}, 0.0f},
      // The two group totals are added last: 1e8 + (-1e8) before the tail.
      {{1e8f, 0, 0, 0, -1e8f, 0, 0, 0, 1}, 1.0f},
      // Lane j sums elements j, j + 8, ...: 1e8 + 1 + 1 stays 1e8 in lane 0.
      {{1e8f, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, -1e8f}, 0.0f},
      // Tail terms one at a time: ((1e8 + 4) + 4) rounds twice, to 1e8.
      {{1e8f, 0, 0, 0, 0, 0, 0, 0, 4, 4, -1e8f}, 0.0f},
  };
  for (const auto& c : cases) {
    const std::vector<float> ones(c.terms.size(), 1.0f);
    EXPECT_EQ(dot(c.terms.data(), ones.data(), c.terms.size()), c.expected);
    EXPECT_EQ(reference_dot(c.terms, ones), c.expected);
  }
}

TEST(ClampedNorm, FloorAndNaN) {
  EXPECT_EQ(bits(kNormFloor), 0x3089705Fu);
  EXPECT_EQ(kNormFloor, static_cast<float>(1e-9));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> zero(5, 0.0f);
  const std::vector<float> tiny = {1e-10f, 0.0f};
  const std::vector<float> with_nan = {nan, 1.0f};
  const std::vector<float> three_four = {3.0f, 4.0f};
  EXPECT_EQ(clamped_norm(zero.data(), zero.size()), kNormFloor);
  EXPECT_EQ(clamped_norm(nullptr, 0), kNormFloor);
  EXPECT_EQ(clamped_norm(tiny.data(), tiny.size()), kNormFloor);
  EXPECT_EQ(clamped_norm(with_nan.data(), with_nan.size()), kNormFloor);
  EXPECT_EQ(clamped_norm(three_four.data(), three_four.size()), 5.0f);

  std::vector<float> out(2);
  normalized_copy(three_four.data(), 2, out.data());
  EXPECT_EQ(out[0], 3.0f / 5.0f);
  EXPECT_EQ(out[1], 4.0f / 5.0f);
  normalized_copy(zero.data(), 2, out.data());
  EXPECT_EQ(out[0], 0.0f);
}

// The integer code sums: the dispatched form (AVX2 where present) equals the
// portable one and an exact 64-bit sum, across the 32-code steps and the
// blocks that keep the 32-bit lanes from overflowing.
TEST(CodeSums, EveryFormIsExact) {
  std::mt19937 rng(17);
  std::uniform_int_distribution<int> code(-128, 127);
  for (std::size_t n : {0u, 1u, 7u, 31u, 32u, 33u, 100u, 65536u + 37u, 200000u}) {
    std::vector<std::int8_t> a(n);
    std::vector<std::int8_t> b(n);
    for (std::size_t i = 0; i < n; ++i) {
      a[i] = static_cast<std::int8_t>(n > 1000 ? -128 : code(rng));
      b[i] = static_cast<std::int8_t>(n > 1000 ? (i % 3 == 0 ? 127 : -128) : code(rng));
    }
    std::int64_t want_p = 0;
    std::int64_t want_q = 0;
    for (std::size_t i = 0; i < n; ++i) {
      want_p += std::int64_t{a[i]} * b[i];
      want_q += std::int64_t{b[i]} * b[i];
    }
    std::int64_t p = -1;
    std::int64_t q = -1;
    embeddings::code_dot_and_square(a.data(), b.data(), n, p, q);
    EXPECT_EQ(p, want_p) << n;
    EXPECT_EQ(q, want_q) << n;
    embeddings::code_dot_and_square_portable(a.data(), b.data(), n, p, q);
    EXPECT_EQ(p, want_p) << n;
    EXPECT_EQ(q, want_q) << n;
    EXPECT_EQ(embeddings::code_dot(a.data(), b.data(), n), want_p) << n;
  }
}

}  // namespace
}  // namespace pelrin::similarity
