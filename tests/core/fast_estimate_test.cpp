// The token estimate on byte-level cases Python reaches poorly.
#include "core/tokenizer/fast_estimate.h"

#include <gtest/gtest.h>

namespace pelrin::tokenizer {
namespace {

TEST(FastEstimate, MultiByteWhiteSpaceSplitsWords) {
  EXPECT_EQ(count_tokens_fast("a\u2000b\u200ac\u202fd"), 4u);
  EXPECT_EQ(count_tokens_fast("\u1680"), 1u);
  // U+2010 (hyphen) shares the lead bytes of the space range but is a word.
  EXPECT_EQ(count_tokens_fast("\u2010"), 2u);  // 1.0 + 0.5 rounds away from zero
}

TEST(FastEstimate, BatchEqualsSingles) {
  std::vector<std::string> owned;
  for (int i = 0; i < 5000; ++i)
    owned.push_back(std::string(static_cast<std::size_t>(i % 300), 'x') + " y, z");
  std::vector<std::string_view> texts(owned.begin(), owned.end());
  const auto batch = count_tokens_fast_batch(texts);
  ASSERT_EQ(batch.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) ASSERT_EQ(batch[i], count_tokens_fast(texts[i]));
}

}  // namespace
}  // namespace pelrin::tokenizer
