// BPE internals: the two merge strategies agree; the registry keeps the latest state.
#include "core/tokenizer/bpe.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace pelrin::tokenizer {
namespace {

std::vector<std::size_t> starts(const std::vector<detail::BpePart>& parts) {
  std::vector<std::size_t> out;
  for (const auto& p : parts) out.push_back(p.start);
  return out;
}

TEST(BpeMergeTest, HeapAgreesWithScanOnRandomVocabularies) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 40; ++round) {
    // A small alphabet makes many candidate pairs, and repeated ranks
    // between rounds exercise the leftmost tie-break.
    BpeTokenizerInner s;
    const int alphabet = 2 + round % 3;
    std::uniform_int_distribution<int> letter(0, alphabet - 1);
    std::uniform_int_distribution<int> len(2, 6);
    std::uniform_int_distribution<std::uint32_t> rank(0, round % 2 == 0 ? 20 : 4000000000u);
    for (int t = 0; t < 60; ++t) {
      std::string tok;
      for (int k = len(rng); k > 0; --k) tok.push_back(static_cast<char>('a' + letter(rng)));
      s.encoder.insert_or_assign(tok, rank(rng));
    }
    s.ranks.build(s.encoder);
    for (int piece_len : {2, 3, 7, 50, 129, 400}) {
      std::string piece;
      for (int k = 0; k < piece_len; ++k) piece.push_back(static_cast<char>('a' + letter(rng)));
      std::vector<detail::BpePart> scan, heap;
      detail::merge_by_scan(s, piece, scan);
      detail::merge_by_heap(s, piece, heap);
      ASSERT_EQ(starts(scan), starts(heap)) << "round " << round << " piece " << piece;
    }
  }
}

TEST(BpeMergeTest, LongRunMergesWithoutQuadraticWork) {
  // A 1 MB run of one letter is one piece; the heap merge handles it.
  auto tok =
      make_bpe_tokenizer("run", {{{'a'}, 0}, {{'a', 'a'}, 1}, {{'a', 'a', 'a', 'a'}, 2}}, {});
  const std::string text(1 << 20, 'a');
  EXPECT_EQ(tok.count_tokens(text), (1u << 20) / 4);
}

TEST(BpeRegistryTest, LatestStateOfEachNameStaysAlive) {
  std::weak_ptr<const BpeTokenizerInner> first_state;
  {
    const BpeTokenizer first = make_bpe_tokenizer("reg", {{{'a'}, 7}}, {});
    first_state = bpe_registry_entry("reg");
    ASSERT_EQ(&first.state(), first_state.lock().get());
    const BpeTokenizer second = make_bpe_tokenizer("reg", {{{'a'}, 8}}, {});
    EXPECT_EQ(bpe_registry_entry("reg").get(), &second.state());
    EXPECT_EQ(first.encode("a"), std::vector<std::uint32_t>{7});  // each keeps its own state
    EXPECT_EQ(second.encode("a"), std::vector<std::uint32_t>{8});
  }
  EXPECT_TRUE(first_state.expired());             // replaced and its object gone
  ASSERT_NE(bpe_registry_entry("reg"), nullptr);  // the latest outlives its object
  EXPECT_EQ(bpe_registry_entry("reg")->encoder.at("a"), 8u);
  EXPECT_EQ(bpe_registry_entry("never-built"), nullptr);
}

}  // namespace
}  // namespace pelrin::tokenizer
