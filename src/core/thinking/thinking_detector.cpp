// Thinking detector: hashing, keyword sets, stalling test, similarity and
// the circular-phrase matcher.
#include "core/thinking/thinking_detector.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <xxhash.h>

#include <algorithm>
#include <cstdio>

#include "core/base/panic.h"
#include "core/base/unicode.h"
#include "core/base/utf8.h"
#include "core/platform/literal_matcher.h"

namespace pelrin::thinking {
namespace {

constexpr std::string_view kStopwords[] = {
    "let",     "me",     "i",      "the",   "a",     "an",    "to",     "and",   "of",    "in",
    "for",     "is",     "it",     "this",  "that",  "with",  "be",     "on",    "as",    "at",
    "by",      "from",   "or",     "but",   "not",   "are",   "was",    "were",  "been",  "being",
    "have",    "has",    "had",    "do",    "does",  "did",   "will",   "would", "could", "should",
    "may",     "might",  "must",   "shall", "can",   "need",  "now",    "just",  "also",  "very",
    "well",    "here",   "there",  "when",  "where", "what",  "which",  "who",   "how",   "why",
    "all",     "each",   "every",  "both",  "few",   "more",  "most",   "other", "some",  "such",
    "no",      "nor",    "only",   "own",   "same",  "so",    "than",   "too",   "about", "into",
    "through", "during", "before", "after", "above", "below", "between"};
static_assert(std::size(kStopwords) == 87);

constexpr std::string_view kCircularPhrases[] = {
    "let me read",        "let me check",    "let me look at",      "let me examine",
    "let me see",         "i need to read",  "i need to check",     "i need to look at",
    "i need to examine",  "i need to see",   "first let me",        "now let me",
    "let me first",       "let me start by", "i'll need to",        "i will need to",
    "i'll have to",       "i will have to",  "let me actually use", "let me use the",
    "i'll actually read", "i'll read",       "i will read",         "i need to read",
    "now i'll",           "now i will",      "i should read",       "i should examine",
    "i should check",     "i should look",   "let me continue",     "let me proceed"};
static_assert(std::size(kCircularPhrases) == 32);

constexpr std::string_view kStallPrefixes[] = {"let me",   "i'll", "i will", "i need to",
                                               "i should", "now",  "first"};

const absl::flat_hash_set<std::string_view>& get_stopwords() {
  static const auto* set =
      new absl::flat_hash_set<std::string_view>(std::begin(kStopwords), std::end(kStopwords));
  return *set;
}

const platform::LiteralMatcher& get_circular_matcher() {
  static const platform::LiteralMatcher* m = [] {
    platform::LiteralMatcherOptions o;
    o.ascii_case_insensitive = true;
    auto built =
        platform::LiteralMatcher::build(std::span<const std::string_view>(kCircularPhrases), o);
    PELRIN_CHECK(built.ok());
    return new platform::LiteralMatcher(std::move(built).value());  // lives until the process ends
  }();
  return *m;
}

bool is_ascii(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool is_alphanumeric(char32_t cp) {
  if (cp < 0x80) {
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9');
  }
  const auto c = static_cast<UChar32>(cp);
  if (u_hasBinaryProperty(c, UCHAR_ALPHABETIC)) return true;
  const auto type = u_charType(c);
  return type == U_DECIMAL_DIGIT_NUMBER || type == U_LETTER_NUMBER || type == U_OTHER_NUMBER;
}

std::string_view trim_white_space(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size()) {
    const std::size_t n = unicode::white_space_length(s, b);
    if (n == 0) break;
    b += n;
  }
  std::size_t e = s.size();
  while (e > b) {
    std::size_t start = e - 1;
    while (start > b && utf8::is_continuation(static_cast<unsigned char>(s[start]))) --start;
    if (unicode::white_space_length(s.substr(0, e), start) != e - start) break;
    e = start;
  }
  return s.substr(b, e - b);
}

const char* stall_advice(std::string_view category) {
  if (category == "search") {
    return "STOP saying 'let me search' - EXECUTE the search tool NOW. State your query and run "
           "the search.";
  }
  if (category == "analysis") {
    return "STOP saying 'let me analyze' - provide your analysis NOW. Use the information you "
           "have.";
  }
  if (category == "file_read") {
    return "STOP saying 'let me read' - EXECUTE the read tool NOW. If you've already read the "
           "file, use that "
           "content.";
  }
  if (category == "implementation") {
    return "STOP planning - EXECUTE the edit/write tool NOW. Write the code based on what you "
           "know.";
  }
  return "STOP stating intent - TAKE ACTION NOW. Execute a tool or provide your response.";
}

const char* loop_advice(std::string_view category) {
  if (category == "search") {
    return "You've already searched for this. Either use the results you have or try a different "
           "search query.";
  }
  if (category == "analysis") {
    return "You've analyzed this enough. Proceed with your current understanding and take action.";
  }
  if (category == "file_read") {
    return "You've already read this file. Use the content you have. If you need specific "
           "information, state "
           "what you're looking for.";
  }
  if (category == "implementation") {
    return "Stop planning and start implementing. Write the code now based on what you know.";
  }
  return "Take a different approach or proceed with action. Repeated thinking without progress is "
         "unproductive.";
}

}  // namespace

std::string to_lower(std::string_view text) {
  if (is_ascii(text)) {
    std::string out(text);
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
  }
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
  u.toLower(icu::Locale::getRoot());
  std::string out;
  u.toUTF8String(out);
  return out;
}

std::string normalize_whitespace(std::string_view content) {
  std::string out;
  out.reserve(content.size());
  bool pending_space = false;
  std::size_t pos = 0;
  while (pos < content.size()) {
    const std::size_t ws = unicode::white_space_length(content, pos);
    if (ws != 0) {
      pending_space = !out.empty();
      pos += ws;
      continue;
    }
    if (pending_space) out.push_back(' ');
    pending_space = false;
    const std::size_t n = utf8::sequence_length(static_cast<unsigned char>(content[pos]));
    out.append(content.substr(pos, n));
    pos += n;
  }
  return out;
}

absl::flat_hash_set<std::string> extract_keywords(std::string_view content) {
  const auto& stop = get_stopwords();
  absl::flat_hash_set<std::string> words;
  std::size_t pos = 0;
  std::size_t piece = 0;
  auto take = [&](std::size_t end) {
    if (end > piece) {
      std::string w = to_lower(content.substr(piece, end - piece));
      if (w.size() >= 4 && !stop.contains(w)) words.insert(std::move(w));
    }
  };
  while (pos < content.size()) {
    const std::size_t at = pos;
    const char32_t cp = utf8::decode(content, pos);
    if (!is_alphanumeric(cp)) {
      take(at);
      piece = pos;
    }
  }
  take(content.size());
  return words;
}

const char* categorize(std::string_view content) {
  const std::string lower = to_lower(content);
  auto has = [&lower](std::string_view s) { return lower.find(s) != std::string::npos; };
  if (has("read") || has("file") || has("content")) return "file_read";
  if (has("search") || has("find") || has("look for")) return "search";
  if (has("understand") || has("analyze") || has("examine")) return "analysis";
  if (has("implement") || has("create") || has("write")) return "implementation";
  return "general";
}

bool is_stalling(std::string_view content) {
  std::string_view line = content.substr(0, content.find('\n'));
  if (line.size() != content.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  const std::string_view sentence = trim_white_space(line.substr(0, line.find('.')));
  if (sentence.empty()) return false;
  const std::string lower = to_lower(sentence);
  for (const auto p : kStallPrefixes) {
    if (lower.starts_with(p)) return true;
  }
  return false;
}

double jaccard(const absl::flat_hash_set<std::string>& a,
               const absl::flat_hash_set<std::string>& b) {
  if (a.empty() || b.empty()) return 0.0;
  const auto& small = a.size() <= b.size() ? a : b;
  const auto& large = a.size() <= b.size() ? b : a;
  std::size_t common = 0;
  for (const auto& w : small) common += large.contains(w) ? 1 : 0;
  const std::size_t uni = a.size() + b.size() - common;
  return static_cast<double>(common) / static_cast<double>(uni);
}

std::string generate_guidance(std::string_view loop_type, std::uint64_t count,
                              std::string_view category, double similarity) {
  std::string s;
  if (loop_type == "stalling") {
    s = "STALLING DETECTED: You've stated your intent " + std::to_string(count) +
        " times without taking action. ";
    s += stall_advice(category);
    return s;
  }
  if (loop_type == "semantic_similarity") {
    char pct[64];
    std::snprintf(pct, sizeof pct, "%.0f", similarity * 100.0);
    s = std::string("LOOP DETECTED (semantic, ") + pct +
        "% similar): You've repeated this thought pattern " + std::to_string(count) + " times. ";
  } else {
    s = "LOOP DETECTED (" + std::string(loop_type) + "): You've repeated this thought pattern " +
        std::to_string(count) + " times. ";
  }
  s += loop_advice(category);
  return s;
}

ThinkingDetector::ThinkingDetector(std::uint64_t repetition_threshold, double similarity_threshold,
                                   std::uint64_t window_size, std::uint64_t stalling_threshold)
    : repetition_threshold_(repetition_threshold),
      similarity_threshold_(similarity_threshold),
      window_size_(window_size),
      stalling_threshold_(stalling_threshold) {}

void ThinkingDetector::add_to_history(ThinkingPattern pattern) {
  if (history_.size() >= window_size_ && !history_.empty()) history_.pop_front();
  history_.push_back(std::move(pattern));
}

ThinkingPattern ThinkingDetector::keywords_for(std::uint64_t hash, std::string_view content) {
  if (auto it = lru_index_.find(hash); it != lru_index_.end()) {
    lru_.splice(lru_.begin(), lru_, it->second);  // now the most recent
    return it->second->second;
  }
  auto set = std::make_shared<const absl::flat_hash_set<std::string>>(extract_keywords(content));
  if (lru_.size() >= kKeywordCacheCapacity) {
    lru_index_.erase(lru_.back().first);
    lru_.pop_back();
  }
  lru_.emplace_front(hash, set);
  lru_index_[hash] = lru_.begin();
  return set;
}

std::pair<bool, std::string> ThinkingDetector::record_thinking(std::string_view content) {
  ++total_analyzed_;
  const std::string normalized = normalize_whitespace(content);
  const std::uint64_t hash = XXH3_64bits(normalized.data(), normalized.size());
  ThinkingPattern keywords = keywords_for(hash, content);
  const char* category = categorize(content);

  if (is_stalling(content)) {
    ++consecutive_stalls_;
    if (consecutive_stalls_ >= stalling_threshold_) {
      ++loops_detected_;
      ++stalling_detected_;
      add_to_history(std::move(keywords));
      return {true, generate_guidance("stalling", consecutive_stalls_, category, 0.0)};
    }
  } else {
    consecutive_stalls_ = 0;
  }

  const std::uint64_t n = ++pattern_counts_[hash];
  if (n >= repetition_threshold_) {
    ++loops_detected_;
    ++exact_matches_;
    add_to_history(std::move(keywords));
    return {true, generate_guidance("exact_repetition", n, category, 0.0)};
  }

  std::uint64_t similar = 0;
  double best = 0.0;
  for (const auto& past : history_) {
    const double s = jaccard(*past, *keywords);
    if (s >= similarity_threshold_) ++similar;
    best = std::max(best, s);
  }
  add_to_history(std::move(keywords));
  // k >= threshold - 1, written so that it cannot wrap (threshold 0 never
  // gets here: every block is an exact repetition then).
  if (similar + 1 >= repetition_threshold_) {
    ++loops_detected_;
    ++similar_matches_;
    return {true, generate_guidance("semantic_similarity", similar + 1, category, best)};
  }
  return {false, std::string()};
}

DetectorStats ThinkingDetector::get_stats() const {
  return DetectorStats{total_analyzed_,
                       loops_detected_,
                       exact_matches_,
                       similar_matches_,
                       stalling_detected_,
                       consecutive_stalls_,
                       total_analyzed_ == 0 ? 0.0
                                            : static_cast<double>(loops_detected_) /
                                                  static_cast<double>(total_analyzed_),
                       history_.size(),
                       pattern_counts_.size()};
}

void ThinkingDetector::clear_stats() {
  total_analyzed_ = 0;
  loops_detected_ = 0;
  exact_matches_ = 0;
  similar_matches_ = 0;
  stalling_detected_ = 0;
}

void ThinkingDetector::reset() {
  history_.clear();
  pattern_counts_.clear();
  consecutive_stalls_ = 0;
}

bool detect_circular_phrases(std::string_view text) {
  return get_circular_matcher().is_match(text);
}

std::uint64_t count_circular_patterns(std::string_view text) {
  return get_circular_matcher().count(text);
}

std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string>> find_circular_patterns(
    std::string_view text) {
  std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string>> out;
  get_circular_matcher().for_each(text, [&](const platform::LiteralMatch& m) {
    out.emplace_back(m.start, m.end, std::string(text.substr(m.start, m.end - m.start)));
    return true;
  });
  return out;
}

}  // namespace pelrin::thinking
