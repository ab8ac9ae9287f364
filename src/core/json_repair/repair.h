// Repair of Python-flavoured JSON and extraction of JSON from free text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace pelrin::json_repair {

// One left-to-right pass that turns Python literals into JSON: outside
// strings, single-quoted strings become double-quoted (inner double quotes
// escaped, \' unescaped) and the words True, False, None become true, false,
// null wherever they start (a plain prefix test, no word boundary). Double-
// quoted strings are copied as they are. A string left open stays open;
// nothing else is repaired. Valid JSON without "'", "True", "False" and
// "None" is returned unchanged after one validation.
std::string repair_json_internal(std::string_view input);

// The same, for the Python function.
std::string repair_json(std::string_view input);

// The pass itself, resumable: the output grows as far as asked, so a reader
// can stop early on a long input. The output for the whole input is the
// same however the pass is split.
class RepairPass {
 public:
  explicit RepairPass(std::string_view input);

  // Runs until the output holds at least `output_bytes` bytes or the input
  // is used up.
  void run_until(std::size_t output_bytes);
  void reserve(std::size_t output_bytes) { out_.reserve(output_bytes); }
  bool done() const { return i_ >= in_.size() || ended_; }
  const std::string& output() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  enum class Mode : std::uint8_t { kOutside, kInDouble, kInSingle };
  std::string_view in_;
  std::size_t i_ = 0;
  Mode mode_ = Mode::kOutside;
  bool ended_ = false;
  std::string out_;
};

// JSON objects and arrays found in text: (start_byte, end_byte, json) for
// each accepted candidate, in ascending start order. A candidate runs from
// a "{" or "[" to its matching bracket of the same kind (double-quoted
// strings skipped, backslash escapes honoured inside them, the other kind
// of bracket and single quotes ignored). It is kept as it is when valid,
// else repaired when its repair is valid; scanning then resumes after it.
// A rejected or unclosed candidate moves the scan one byte on. Runs in time
// linear in the text plus the parts of candidates the reader looks at.
std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string>> extract_json_objects(
    std::string_view text);

// Every "{" and "[" of text in order, each with the byte of the bracket
// that ends its candidate, or kNoEnd when the candidate is never closed.
// Memory is proportional to the number of opening brackets.
inline constexpr std::size_t kNoEnd = static_cast<std::size_t>(-1);
struct Candidates {
  std::vector<std::size_t> starts;
  std::vector<std::size_t> ends;
};
Candidates candidate_ends(std::string_view text);

}  // namespace pelrin::json_repair
