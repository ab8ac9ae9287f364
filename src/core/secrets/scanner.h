// Credential scanning over a fixed catalogue of 20 patterns: matches with
// byte spans and lines, yes/no tests, summaries and masking.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "absl/container/flat_hash_map.h"
#include "core/platform/regex.h"

namespace pelrin::secrets {

struct SecretPattern {
  std::string_view name;
  std::string_view severity;  // "critical", "high" or "medium"
  platform::Regex regex;
};

// The catalogue in its fixed order, compiled once per process on first use
// (thread-safe) and read-only afterwards.
const std::vector<SecretPattern>& SECRET_PATTERNS();

struct SecretMatch {
  std::string secret_type;
  std::string matched_text;
  std::string severity;
  std::uint64_t start = 0;        // byte offset in the UTF-8 text
  std::uint64_t end = 0;          // byte offset just after the match
  std::uint64_t line_number = 0;  // 1 + line feeds before start
};

// Every non-overlapping match of every entry: grouped by entry in catalogue
// order, by position within an entry; nothing merged or deduplicated.
std::vector<SecretMatch> scan_secrets(std::string_view text);

// Whether any entry matches; stops at the first entry that does.
bool has_secrets(std::string_view text);

// Names of the entries that match anywhere, in catalogue order.
std::vector<std::string_view> get_secret_types(std::string_view text);

// The 20 entry names in catalogue order.
std::vector<std::string_view> list_secret_patterns();

struct SecretSummary {
  std::uint64_t total_matches = 0;
  absl::flat_hash_map<std::string, std::uint64_t> by_type;      // only names that matched
  absl::flat_hash_map<std::string, std::uint64_t> by_severity;  // only severities that occur
};
SecretSummary scan_secrets_summary(std::string_view text);

// text with every match masked: for each match m (catalogue order, then
// text order, matches taken in the input text), every occurrence of m in
// the result so far is replaced, left to right, by its first and last
// `visible_chars` bytes around the mask character repeated once per hidden
// byte; a match of at most 2 x visible_chars bytes is masked whole. The
// visible parts never split a character: a cut that would fall inside a
// multi-byte character moves outwards into the hidden part, so the result
// is always valid UTF-8. Linear in the text (one automaton pass over all
// distinct match texts), however many secrets it holds; an occurrence that
// would only arise from mask characters joining their neighbours is not
// masked.
std::string mask_secrets(std::string_view text, char32_t mask_char, std::uint64_t visible_chars);

}  // namespace pelrin::secrets
