// The identifier scan gives exactly the matches of IDENTIFIER_REGEX.
#include "core/ast_indexer/source_index.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace pelrin::ast_indexer {
namespace {

std::vector<platform::Span> scanned(std::string_view s) {
  std::vector<platform::Span> out;
  for_each_identifier(s, [&](std::size_t a, std::size_t b) { out.push_back({a, b}); });
  return out;
}

TEST(SourceIndexTest, ScanEqualsPatternOnRandomText) {
  const std::string alphabet[] = {"a",  "Z",      "_",      "0",    "9", " ", ".",
                                  "\n", "\u00e9", "\u4e2d", "\x01", "(", "x1"};
  std::mt19937 rng(3);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(alphabet) - 1);
  std::uniform_int_distribution<int> len(0, 40);
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    for (int k = len(rng); k > 0; --k) s += alphabet[pick(rng)];
    ASSERT_EQ(scanned(s), IDENTIFIER_REGEX().find_all(s)) << s;
  }
}

TEST(SourceIndexTest, Examples) {
  EXPECT_EQ(scanned("123abc caf\u00e9"), (std::vector<platform::Span>{{3, 6}, {7, 10}}));
  EXPECT_TRUE(scanned("").empty());
}

}  // namespace
}  // namespace pelrin::ast_indexer
