// Python source indexing without parsing: known-module lookups and
// identifier extraction by pattern.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "absl/container/flat_hash_set.h"
#include "core/platform/regex.h"

namespace pelrin::ast_indexer {

// The 184 known module names (standard library plus nine widely used
// packages), built once per process on first use.
const absl::flat_hash_set<std::string_view>& STDLIB_MODULES();

// [A-Za-z_][A-Za-z0-9_]*, compiled once per process on first use.
const platform::Regex& IDENTIFIER_REGEX();

// Calls fn(start, end) for every match of IDENTIFIER_REGEX in source, left
// to right, by a direct byte scan. The pattern is ASCII-only and never
// matches empty, so its leftmost non-overlapping matches are exactly the
// maximal runs that start at a letter or "_" and continue with letters,
// digits and "_" (tests compare the scan with the pattern).
template <class F>
void for_each_identifier(std::string_view source, F&& fn) {
  auto head = [](unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  };
  auto tail = [&](unsigned char c) { return head(c) || (c >= '0' && c <= '9'); };
  const std::size_t n = source.size();
  std::size_t i = 0;
  while (i < n) {
    if (!head(static_cast<unsigned char>(source[i]))) {
      // Digits and other bytes never start a match.
      ++i;
      continue;
    }
    const std::size_t start = i++;
    while (i < n && tail(static_cast<unsigned char>(source[i]))) ++i;
    fn(start, i);
  }
}

// True when the whole name, or its part before the first ".", is known.
// Exact, case-sensitive; "" and names starting with "." fail.
bool is_stdlib_module(std::string_view module_name);

std::vector<bool> batch_is_stdlib_modules(const std::vector<std::string_view>& module_names);

// (names that pass, names that fail), each in input order, duplicates kept.
std::pair<std::vector<std::string_view>, std::vector<std::string_view>> filter_stdlib_imports(
    const std::vector<std::string_view>& imports);

// The distinct identifier matches, in an unspecified (hash-set) order.
std::vector<std::string_view> extract_identifiers(std::string_view source);

// Every identifier match with its byte span, in text order.
std::vector<std::tuple<std::string_view, std::uint64_t, std::uint64_t>>
extract_identifiers_with_positions(std::string_view source);

}  // namespace pelrin::ast_indexer
