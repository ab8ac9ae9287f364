// Byte-pair encoding: special-token segmentation, pre-tokenization, merges.
#include "core/tokenizer/bpe.h"

#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <queue>
#include <shared_mutex>

#include "core/platform/worker_pool.h"
#include "core/tokenizer/pretokenize.h"

namespace pelrin::tokenizer {
namespace {

constexpr std::string_view kPretokenizePattern =
    "(?i:'s|'t|'re|'ve|'m|'ll|'d)|[^\\r\\n\\p{L}\\p{N}]?\\p{L}+|\\p{N}{1,3}| "
    "?[^\\s\\p{L}\\p{N}]+[\\r\\n]*|\\s*[\\r\\n]+|\\s+$|\\s+";

struct Registry {
  std::shared_mutex mu;
  absl::flat_hash_map<std::string, std::shared_ptr<const BpeTokenizerInner>> entries;
};

Registry& registry() {
  static auto* r = new Registry();  // lives until the process ends
  return *r;
}

// A rank above every 32-bit rank: "no pair here".
constexpr std::uint64_t kNoRank = std::numeric_limits<std::uint64_t>::max();

std::uint64_t rank_of(const BpeTokenizerInner& s, std::string_view bytes) {
  std::uint32_t r = 0;
  return s.ranks.find(bytes, r) ? r : kNoRank;
}

std::uint32_t id_of_part(const BpeTokenizerInner& s, std::string_view bytes) {
  std::uint32_t r = 0;
  if (s.ranks.find(bytes, r)) return r;
  return bytes.size() == 1 ? static_cast<unsigned char>(bytes[0]) : 0;
}

constexpr std::size_t kPackedMax = 7;

// Up to 7 bytes and their count in one word; distinct strings give
// distinct words.
inline std::uint64_t pack(std::string_view b) noexcept {
  std::uint64_t key = static_cast<std::uint64_t>(b.size()) << 56;
  for (std::size_t k = 0; k < b.size(); ++k)
    key |= static_cast<std::uint64_t>(static_cast<unsigned char>(b[k])) << (8 * k);
  return key;
}

}  // namespace

void RankTable::build(const absl::flat_hash_map<std::string, std::uint32_t>& encoder) {
  for (const auto& [key, rank] : encoder) {
    if (key.size() <= kPackedMax) {
      short_.emplace(pack(key), rank);
    } else {
      long_.emplace(key, rank);
    }
  }
}

const std::uint64_t* RankTable::lookup(std::string_view bytes) const noexcept {
  if (bytes.size() <= kPackedMax) {
    auto it = short_.find(pack(bytes));
    return it == short_.end() ? nullptr : &it->second;
  }
  auto it = long_.find(absl::string_view(bytes.data(), bytes.size()));
  return it == long_.end() ? nullptr : &it->second;
}

bool RankTable::find(std::string_view bytes, std::uint32_t& rank) const noexcept {
  const std::uint64_t* v = lookup(bytes);
  if (v == nullptr) return false;
  rank = static_cast<std::uint32_t>(*v);
  return true;
}

bool RankTable::find_whole(std::string_view bytes, std::uint32_t& rank) const noexcept {
  const std::uint64_t* v = lookup(bytes);
  if (v == nullptr || (*v & kWhole) == 0) return false;
  rank = static_cast<std::uint32_t>(*v);
  return true;
}

void RankTable::mark_whole(std::string_view bytes) {
  if (bytes.size() <= kPackedMax) {
    if (auto it = short_.find(pack(bytes)); it != short_.end()) it->second |= kWhole;
  } else if (auto it = long_.find(absl::string_view(bytes.data(), bytes.size()));
             it != long_.end()) {
    it->second |= kWhole;
  }
}

namespace detail {

// Merging by repeated scans.
//
// Invariant: parts[k].start are the starts of the current parts in order,
// with a sentinel at the piece's end; parts[k].rank is the rank of the
// concatenation of part k and part k + 1 (kNoRank when unranked or when
// k + 1 is the sentinel). Each step merges the smallest rank, leftmost on
// ties, and refreshes only the two pair ranks that touch the merged part;
// the result equals re-examining every pair after each merge.
void merge_by_scan(const BpeTokenizerInner& s, std::string_view piece,
                   std::vector<BpePart>& parts) {
  parts.clear();
  const std::size_t n = piece.size();
  for (std::size_t i = 0; i + 1 < n; ++i) parts.push_back({i, rank_of(s, piece.substr(i, 2))});
  parts.push_back({n - 1, kNoRank});
  parts.push_back({n, kNoRank});
  // Rank of parts k and k + 1 together, given the current boundaries.
  auto pair_rank = [&](std::size_t k) -> std::uint64_t {
    if (k + 2 >= parts.size()) return kNoRank;
    return rank_of(s, piece.substr(parts[k].start, parts[k + 2].start - parts[k].start));
  };
  for (;;) {
    std::uint64_t best = kNoRank;
    std::size_t at = 0;
    for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
      if (parts[k].rank < best) {
        best = parts[k].rank;
        at = k;
      }
    }
    if (best == kNoRank) break;
    parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(at) + 1);
    parts[at].rank = pair_rank(at);
    if (at > 0) parts[at - 1].rank = pair_rank(at - 1);
  }
}

// Merging with a priority queue, for long pieces where repeated scans
// would be quadratic.
//
// Invariant: the live parts form a linked list by start offset; rank_[i] is
// the current rank of live part i with its right neighbour. The queue holds
// (rank, start) for every current pair, plus stale entries that are skipped
// when their rank no longer equals rank_[start]. Popping the smallest
// (rank, start) picks the same pair as the scan: the smallest rank,
// leftmost on ties.
void merge_by_heap(const BpeTokenizerInner& s, std::string_view piece,
                   std::vector<BpePart>& parts) {
  const std::size_t n = piece.size();
  std::vector<std::size_t> next(n), prev(n);
  std::vector<std::uint64_t> rank(n, kNoRank);
  for (std::size_t i = 0; i < n; ++i) {
    next[i] = i + 1;
    prev[i] = i == 0 ? n : i - 1;  // n: no neighbour
  }
  using Entry = std::pair<std::uint64_t, std::size_t>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
  auto refresh = [&](std::size_t i) {
    const std::size_t j = next[i];
    if (j >= n) {
      rank[i] = kNoRank;
      return;
    }
    rank[i] = rank_of(s, piece.substr(i, next[j] - i));
    if (rank[i] != kNoRank) queue.emplace(rank[i], i);
  };
  for (std::size_t i = 0; i + 1 < n; ++i) refresh(i);
  while (!queue.empty()) {
    const auto [r, i] = queue.top();
    queue.pop();
    if (rank[i] != r) continue;  // stale: part i was merged away or changed
    const std::size_t j = next[i];
    next[i] = next[j];
    if (next[j] < n) prev[next[j]] = i;
    rank[j] = kNoRank;
    refresh(i);
    if (prev[i] < n) refresh(prev[i]);
  }
  parts.clear();
  for (std::size_t i = 0; i < n; i = next[i]) parts.push_back({i, 0});
  parts.push_back({n, 0});
}

void merge_piece(const BpeTokenizerInner& s, std::string_view piece, std::vector<BpePart>& parts) {
  if (piece.size() <= kScanMergeLimit) {
    merge_by_scan(s, piece, parts);
  } else {
    merge_by_heap(s, piece, parts);
  }
}

}  // namespace detail

namespace {

using detail::merge_piece;
using Part = detail::BpePart;

// Calls on_piece(piece) for every ordinary piece and on_special(id) for
// every special token, in text order.
template <class OnPiece, class OnSpecial>
void walk(const BpeTokenizerInner& s, std::string_view text, OnPiece&& on_piece,
          OnSpecial&& on_special) {
  // The hand-written splitter gives exactly the pattern's pieces (checked
  // against bpe_pieces by tests and fuzzing) at several times its speed.
  auto split = [&](std::string_view segment) { split_pieces(segment, on_piece); };
  if (s.special.empty()) {
    split(text);
    return;
  }
  std::size_t segment_start = 0;
  std::size_t p = 0;
  while (p < text.size()) {
    if (s.special_first_bytes[static_cast<unsigned char>(text[p])] != 0) {
      // The first special token, in the map's order, that occurs at p.
      const std::pair<const std::string, std::uint32_t>* found = nullptr;
      for (const auto& entry : s.special) {
        if (!entry.first.empty() && text.compare(p, entry.first.size(), entry.first) == 0) {
          found = &entry;
          break;
        }
      }
      if (found != nullptr) {
        if (p > segment_start) split(text.substr(segment_start, p - segment_start));
        on_special(found->second);
        p += found->first.size();
        segment_start = p;
        continue;
      }
    }
    ++p;
  }
  if (segment_start < text.size()) split(text.substr(segment_start));
}

}  // namespace

const platform::Regex& bpe_pretokenize_pattern() {
  static const platform::Regex re = platform::Regex::fixed(kPretokenizePattern);
  return re;
}

std::vector<platform::Span> bpe_pieces(std::string_view segment) {
  return bpe_pretokenize_pattern().find_all(segment);
}

std::vector<std::uint32_t> BpeTokenizer::encode(std::string_view text) const {
  std::vector<std::uint32_t> ids;
  const BpeTokenizerInner& s = *state_;
  std::vector<Part> parts;
  walk(
      s, text,
      [&](std::string_view piece) {
        if (piece.size() == 1) {
          ids.push_back(id_of_part(s, piece));
          return;
        }
        std::uint32_t whole = 0;
        if (s.ranks.find_whole(piece, whole)) {
          ids.push_back(whole);
          return;
        }
        merge_piece(s, piece, parts);
        for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
          ids.push_back(
              id_of_part(s, piece.substr(parts[k].start, parts[k + 1].start - parts[k].start)));
        }
      },
      [&](std::uint32_t id) { ids.push_back(id); });
  return ids;
}

std::uint64_t BpeTokenizer::count_tokens(std::string_view text) const {
  std::uint64_t count = 0;
  const BpeTokenizerInner& s = *state_;
  std::vector<Part> parts;
  walk(
      s, text,
      [&](std::string_view piece) {
        std::uint32_t whole = 0;
        if (piece.size() == 1 || s.ranks.find_whole(piece, whole)) {
          ++count;
          return;
        }
        merge_piece(s, piece, parts);
        count += parts.size() - 1;
      },
      [&](std::uint32_t) { ++count; });
  return count;
}

std::vector<std::uint64_t> BpeTokenizer::count_tokens_batch(
    const std::vector<std::string_view>& texts) const {
  return platform::parallel_map(texts.size(), [&](std::size_t i) { return count_tokens(texts[i]); })
      .value();
}

BpeTokenizer make_bpe_tokenizer(
    std::string name, std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> ranks_data,
    std::vector<std::pair<std::string, std::uint32_t>> special_tokens) {
  auto state = std::make_shared<BpeTokenizerInner>();
  state->name = std::move(name);
  state->encoder.reserve(ranks_data.size());
  for (auto& [bytes, rank] : ranks_data) {
    state->encoder.insert_or_assign(std::string(bytes.begin(), bytes.end()), rank);
  }
  for (auto& [text, id] : special_tokens) {
    if (!text.empty()) state->special_first_bytes[static_cast<unsigned char>(text[0])] = 1;
    state->special.insert_or_assign(std::move(text), id);
  }
  state->ranks.build(state->encoder);
  // A piece that equals a token whose own bytes merge back into it needs no
  // merging: the merge result depends only on the bytes. Tokens that merge
  // into several parts (possible with an arbitrary vocabulary) are merged.
  {
    std::vector<detail::BpePart> parts;
    for (const auto& [key, rank] : state->encoder) {
      if (key.size() < 2) continue;
      detail::merge_piece(*state, key, parts);
      if (parts.size() == 2) state->ranks.mark_whole(key);
    }
  }
  std::shared_ptr<const BpeTokenizerInner> shared = std::move(state);
  std::shared_ptr<const BpeTokenizerInner> replaced;  // released after the lock
  {
    Registry& r = registry();
    std::unique_lock<std::shared_mutex> lock(r.mu);
    auto [it, inserted] = r.entries.try_emplace(shared->name, shared);
    if (!inserted) {
      replaced = std::move(it->second);
      it->second = shared;
    }
  }
  return BpeTokenizer(std::move(shared));
}

std::shared_ptr<const BpeTokenizerInner> bpe_registry_entry(std::string_view name) {
  Registry& r = registry();
  std::shared_lock<std::shared_mutex> lock(r.mu);
  auto it = r.entries.find(std::string(name));
  return it == r.entries.end() ? nullptr : it->second;
}

}  // namespace pelrin::tokenizer
