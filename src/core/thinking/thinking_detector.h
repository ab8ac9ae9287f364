// Reasoning-loop detection over a model's thinking blocks: stalling, exact
// repetition and keyword-overlap repetition, with guidance texts; and the
// circular-phrase search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "absl/container/flat_hash_map.h"
#include "absl/container/flat_hash_set.h"

namespace pelrin::thinking {

// The keywords of one recorded block; shared by the history and the cache.
using ThinkingPattern = std::shared_ptr<const absl::flat_hash_set<std::string>>;

// The registered, never-returned detection record.
struct PatternAnalysis {
  bool is_loop = false;
  std::string loop_type;
  double similarity_score = 0.0;
  std::uint64_t matching_patterns = 0;
  std::string guidance;
  std::string category;
};

// Header for the loop type followed by the advice for the category, e.g.
// "STALLING DETECTED: You've stated your intent 2 times without taking
// action. STOP saying 'let me read' - ...". Similarity is shown as a whole
// percentage rounded half to even.
std::string generate_guidance(std::string_view loop_type, std::uint64_t count,
                              std::string_view category, double similarity);

struct DetectorStats {
  std::uint64_t total_analyzed;
  std::uint64_t loops_detected;
  std::uint64_t exact_matches;
  std::uint64_t similar_matches;
  std::uint64_t stalling_detected;
  std::uint64_t consecutive_stalls;
  double detection_rate;
  std::uint64_t history_size;
  std::uint64_t unique_patterns;
};

class ThinkingDetector {
 public:
  ThinkingDetector(std::uint64_t repetition_threshold, double similarity_threshold,
                   std::uint64_t window_size, std::uint64_t stalling_threshold);

  // (is_loop, guidance); guidance is "" when no loop is found. Every call
  // adds exactly one history entry.
  std::pair<bool, std::string> record_thinking(std::string_view content);
  DetectorStats get_stats() const;
  // Statistics to 0; history, repetition counts, stall run and cache stay.
  void clear_stats();
  // History, repetition counts and stall run cleared; statistics, settings
  // and the keyword cache stay.
  void reset();

  void add_to_history(ThinkingPattern pattern);

 private:
  ThinkingPattern keywords_for(std::uint64_t hash, std::string_view content);

  std::uint64_t repetition_threshold_;
  double similarity_threshold_;
  std::uint64_t window_size_;
  std::uint64_t stalling_threshold_;

  std::deque<ThinkingPattern> history_;
  absl::flat_hash_map<std::uint64_t, std::uint64_t> pattern_counts_;
  // LRU keyword cache: most recent at the front.
  std::list<std::pair<std::uint64_t, ThinkingPattern>> lru_;
  absl::flat_hash_map<std::uint64_t, std::list<std::pair<std::uint64_t, ThinkingPattern>>::iterator>
      lru_index_;
  std::uint64_t consecutive_stalls_ = 0;
  std::uint64_t total_analyzed_ = 0;
  std::uint64_t loops_detected_ = 0;
  std::uint64_t exact_matches_ = 0;
  std::uint64_t similar_matches_ = 0;
  std::uint64_t stalling_detected_ = 0;
};

inline constexpr std::size_t kKeywordCacheCapacity = 100;

// Building blocks, exposed for tests.
std::string normalize_whitespace(std::string_view content);
absl::flat_hash_set<std::string> extract_keywords(std::string_view content);
const char* categorize(std::string_view content);
bool is_stalling(std::string_view content);
double jaccard(const absl::flat_hash_set<std::string>& a,
               const absl::flat_hash_set<std::string>& b);
// Full Unicode lower-casing (root locale, final sigma included).
std::string to_lower(std::string_view text);

// The circular phrases (ASCII case-insensitive, standard semantics).
bool detect_circular_phrases(std::string_view text);
std::uint64_t count_circular_patterns(std::string_view text);
// (start byte, end byte, matched text in its own case), in text order.
std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string>> find_circular_patterns(
    std::string_view text);

}  // namespace pelrin::thinking
