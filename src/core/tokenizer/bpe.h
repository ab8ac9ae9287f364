// Byte-pair-encoding tokenizer over a vocabulary handed in at construction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "absl/container/flat_hash_map.h"
#include "core/platform/regex.h"

namespace pelrin::tokenizer {

// Ranks of token byte strings, tuned for the merge loop: keys of up to 7
// bytes are packed with their length into one word (hashing and comparing
// an integer, no pointer chase), longer ones live in an ordinary map.
// Read-only after build().
class RankTable {
 public:
  void build(const absl::flat_hash_map<std::string, std::uint32_t>& encoder);
  // The rank of bytes, or false when it has none.
  bool find(std::string_view bytes, std::uint32_t& rank) const noexcept;
  // The rank of bytes when they are a token that merging its own bytes
  // rebuilds whole (see mark_whole), else false.
  bool find_whole(std::string_view bytes, std::uint32_t& rank) const noexcept;
  // Records that merging the bytes of this token gives the token itself.
  void mark_whole(std::string_view bytes);

 private:
  // Values: the rank in the low 32 bits, bit 32 set for whole tokens.
  static constexpr std::uint64_t kWhole = std::uint64_t{1} << 32;
  const std::uint64_t* lookup(std::string_view bytes) const noexcept;
  absl::flat_hash_map<std::uint64_t, std::uint64_t> short_;
  absl::flat_hash_map<std::string, std::uint64_t> long_;
};

// The fixed state of one tokenizer: built once, then only read (by any
// number of threads at once).
struct BpeTokenizerInner {
  std::string name;
  absl::flat_hash_map<std::string, std::uint32_t> encoder;  // token bytes -> rank (= id)
  absl::flat_hash_map<std::string, std::uint32_t> special;  // special-token text -> id
  std::uint8_t special_first_bytes[256] = {};               // 1 where some special token starts
  RankTable ranks;  // the encoder, for lookups while merging
};

// The pre-tokenization pattern, compiled once per process on first use.
const platform::Regex& bpe_pretokenize_pattern();

// Pieces of `segment` under the pre-tokenization pattern, left to right.
std::vector<platform::Span> bpe_pieces(std::string_view segment);

class BpeTokenizer {
 public:
  explicit BpeTokenizer(std::shared_ptr<const BpeTokenizerInner> state)
      : state_(std::move(state)) {}

  const std::string& name() const noexcept { return state_->name; }

  // Token ids of `text` (valid UTF-8). Special tokens are taken where they
  // occur; the text between them is split by the pre-tokenization pattern
  // and each piece merged by rank (smallest rank first, leftmost on ties).
  // A byte without a rank becomes its own value, a longer unranked part 0.
  // Empty special tokens are ignored (they would match everywhere).
  std::vector<std::uint32_t> encode(std::string_view text) const;

  // The length of encode(text), without building the id list.
  std::uint64_t count_tokens(std::string_view text) const;

  // count_tokens of every text in order, on the worker pool.
  std::vector<std::uint64_t> count_tokens_batch(const std::vector<std::string_view>& texts) const;

  const BpeTokenizerInner& state() const noexcept { return *state_; }

 private:
  std::shared_ptr<const BpeTokenizerInner> state_;
};

namespace detail {

// One part of a piece during merging: its first byte and (while merging by
// scans) the rank of it joined with the next part.
struct BpePart {
  std::size_t start;
  std::uint64_t rank;
};

// Pieces up to this many bytes are merged by scans, longer ones by heap.
inline constexpr std::size_t kScanMergeLimit = 128;

// The two merge strategies, exposed so tests can check that they agree.
// Both leave parts = the merged parts' starts in order plus one entry at
// piece.size(); piece has at least two bytes.
void merge_by_scan(const BpeTokenizerInner& s, std::string_view piece, std::vector<BpePart>& parts);
void merge_by_heap(const BpeTokenizerInner& s, std::string_view piece, std::vector<BpePart>& parts);

}  // namespace detail

// Builds a tokenizer from (token bytes, rank) and (text, id) pairs in list
// order (later duplicates win) and stores its state in the process-wide
// registry under `name`, replacing an earlier entry of that name.
BpeTokenizer make_bpe_tokenizer(
    std::string name, std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> ranks_data,
    std::vector<std::pair<std::string, std::uint32_t>> special_tokens);

// The registry's current state for `name`, or null (for tests).
std::shared_ptr<const BpeTokenizerInner> bpe_registry_entry(std::string_view name);

}  // namespace pelrin::tokenizer
