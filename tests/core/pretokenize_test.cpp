// The hand-written pre-tokenization splitter against the pattern itself.
#include "core/tokenizer/pretokenize.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/base/utf8.h"
#include "core/tokenizer/bpe.h"

namespace pelrin::tokenizer {
namespace {

void expect_same(const std::string& s) {
  ASSERT_EQ(split_piece_spans(s), bpe_pieces(s)) << "text: " << s;
}

TEST(PretokenizeTest, EveryCodePointInEveryContext) {
  // Each scalar value alone and next to each kind of neighbour the
  // alternatives look at: space, letter, number, apostrophe, line break.
  std::string cs;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp > 0x3400 && cp % 5 != 0) continue;
    cs.clear();
    utf8::append(cs, cp);
    for (const std::string& s : {cs, " " + cs + "a", "a" + cs + "1", "'" + cs, cs + "\n ",
                                 "\t" + cs + cs + " $", "1" + cs + "22"}) {
      expect_same(s);
    }
  }
}

TEST(PretokenizeTest, RandomTexts) {
  const std::vector<std::string> alphabet = {
      "a",      "Z",  "\u00e9", "\u4e2d",  "\U0001F600", "1",   "\u0661",  "\u00b2",
      "\u2160", " ",  "  ",     "\t",      "\n",         "\r",  "\u00a0",  "\u3000",
      "\u2028", "'",  "'s",     "'S",      "'ll",        "'Re", "'\u017f", "!",
      ".",      "-",  "_",      "\u0301",  "\u200d",     "$",   "\"",      "<|",
      "\v",     "\f", "\u0085", "x\u0301y"};
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> len(0, 30);
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    for (int k = len(rng); k > 0; --k) s += alphabet[pick(rng)];
    expect_same(s);
  }
}

TEST(PretokenizeTest, Examples) {
  EXPECT_EQ(split_piece_spans("a  b"), (std::vector<platform::Span>{{0, 1}, {1, 3}, {3, 4}}));
  EXPECT_EQ(split_piece_spans("a b"), (std::vector<platform::Span>{{0, 1}, {1, 3}}));
  EXPECT_EQ(split_piece_spans(" \n \n x"), (std::vector<platform::Span>{{0, 4}, {4, 6}}));
  EXPECT_EQ(split_piece_spans("end  "), (std::vector<platform::Span>{{0, 3}, {3, 5}}));
}

}  // namespace
}  // namespace pelrin::tokenizer
