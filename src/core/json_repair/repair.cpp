// The repair pass, candidate matching and JSON extraction.
#include "core/json_repair/repair.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/platform/json.h"

namespace pelrin::json_repair {
namespace {

// Byte length of the Python mark starting at text[i] ("'", "True",
// "False", "None"), or 0.
std::size_t mark_length(std::string_view text, std::size_t i) {
  switch (text[i]) {
    case '\'':
      return 1;
    case 'T':
      return text.substr(i, 4) == "True" ? 4 : 0;
    case 'F':
      return text.substr(i, 5) == "False" ? 5 : 0;
    case 'N':
      return text.substr(i, 4) == "None" ? 4 : 0;
    default:
      return 0;
  }
}

// Answers "does text[begin, end] hold a whole Python mark" for ranges whose
// begin never decreases, in amortised constant time, so candidates nested
// in one another are not searched again.
class MarkIndex {
 public:
  explicit MarkIndex(std::string_view text) : text_(text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (mark_length(text, i) != 0) starts_.push_back(i);
    }
  }
  bool contains(std::size_t begin, std::size_t end) {
    while (cursor_ < starts_.size() && starts_[cursor_] < begin) ++cursor_;
    // Marks are at most 5 bytes: past the first one that starts in range,
    // only the last few bytes need a look.
    for (std::size_t k = cursor_; k < starts_.size() && starts_[k] <= end; ++k) {
      if (starts_[k] + mark_length(text_, starts_[k]) <= end + 1) return true;
    }
    return false;
  }

 private:
  std::string_view text_;
  std::vector<std::size_t> starts_;
  std::size_t cursor_ = 0;
};

bool has_python_marks(std::string_view s) {
  return s.find('\'') != std::string_view::npos || s.find("True") != std::string_view::npos ||
         s.find("False") != std::string_view::npos || s.find("None") != std::string_view::npos;
}

bool is_eof_error(json::ErrorCode code) {
  return code == json::ErrorCode::kEofWhileParsingList ||
         code == json::ErrorCode::kEofWhileParsingObject ||
         code == json::ErrorCode::kEofWhileParsingString ||
         code == json::ErrorCode::kEofWhileParsingValue;
}

// Whether the repair of `candidate` is valid JSON; the repaired text in
// `out` when it is. The pass runs in growing steps and stops as soon as the
// reader fails on something other than the end of the text so far, which
// the rest of the text cannot change.
bool repaired_is_valid(std::string_view candidate, std::string& out) {
  RepairPass pass(candidate);
  std::size_t target = 256;
  for (;;) {
    pass.run_until(target);
    const json::ValidateResult v = json::validate(pass.output());
    if (pass.done()) {
      if (!v.ok) return false;
      out = pass.take();
      return true;
    }
    if (!v.ok && !is_eof_error(v.error.code)) return false;
    target *= 2;
  }
}

// Candidate matching, for every start at once. The scan from a start knows
// only whether it is outside a string, inside one, or just after a
// backslash inside one; scans from different starts that reach the same
// state at the same byte agree from then on. So three tracks (one per
// state) are followed through the text, each holding, per bracket kind,
// the pending starts grouped by how many closing brackets they still need
// (a stack of groups, the top needing one). An opening bracket seen by the
// outside track adds a new start as a new top group; a closing bracket
// ends the whole top group there. When two tracks reach the same state
// their stacks are merged group by group from the top, the smaller into the
// larger; every merge removes as many groups as it costs, so the whole scan
// is linear.
struct Group {
  std::size_t head;
  std::size_t tail;
};

struct Track {
  std::array<std::vector<Group>, 2> stacks;  // 0: "{" starts, 1: "[" starts
};

class Matcher {
 public:
  explicit Matcher(std::string_view text) : text_(text) {}

  Candidates run() {
    enum { kOut = 0, kIn = 1, kEsc = 2 };
    std::array<Track, 3> tracks;
    for (std::size_t x = 0; x < text_.size(); ++x) {
      const char c = text_[x];
      Track& out = tracks[kOut];
      if (c == '{' || c == '[') {
        const std::size_t id = found_.starts.size();
        found_.starts.push_back(x);
        found_.ends.push_back(kNoEnd);
        next_.push_back(kNoEnd);
        out.stacks[c == '{' ? 0 : 1].push_back(Group{id, id});
      } else if (c == '}' || c == ']') {
        auto& stack = out.stacks[c == '}' ? 0 : 1];
        if (!stack.empty()) {
          for (std::size_t m = stack.back().head; m != kNoEnd; m = next_[m]) found_.ends[m] = x;
          stack.pop_back();
        }
      }
      if (c != '"' && c != '\\') {
        // out stays out, in stays in, esc becomes in.
        merge_into(tracks[kIn], tracks[kEsc]);
      } else if (c == '"') {
        // out -> in, in -> out, esc -> in.
        std::swap(tracks[kOut], tracks[kIn]);
        merge_into(tracks[kIn], tracks[kEsc]);
      } else {
        // A backslash: out stays out, in -> esc, esc -> in.
        std::swap(tracks[kIn], tracks[kEsc]);
      }
    }
    return std::move(found_);
  }

 private:
  // Moves everything of `from` into `into`; `from` ends empty.
  void merge_into(Track& into, Track& from) {
    for (int k = 0; k < 2; ++k) {
      auto& a = into.stacks[static_cast<std::size_t>(k)];
      auto& b = from.stacks[static_cast<std::size_t>(k)];
      if (b.empty()) continue;
      if (a.size() < b.size()) std::swap(a, b);
      const std::size_t na = a.size();
      const std::size_t nb = b.size();
      for (std::size_t i = 0; i < nb; ++i) {
        Group& g = a[na - 1 - i];
        const Group& h = b[nb - 1 - i];
        next_[g.tail] = h.head;
        g.tail = h.tail;
      }
      b.clear();
    }
  }

  std::string_view text_;
  Candidates found_;
  std::vector<std::size_t> next_;  // the group lists, linked through the start numbers
};

}  // namespace

RepairPass::RepairPass(std::string_view input) : in_(input) {}

void RepairPass::run_until(std::size_t output_bytes) {
  const std::size_t n = in_.size();
  while (i_ < n && !ended_ && out_.size() < output_bytes) {
    const char c = in_[i_];
    switch (mode_) {
      case Mode::kOutside:
        if (c == '"') {
          out_.push_back(c);
          mode_ = Mode::kInDouble;
          ++i_;
        } else if (c == '\'') {
          out_.push_back('"');
          mode_ = Mode::kInSingle;
          ++i_;
        } else if (c == 'T' && in_.substr(i_, 4) == "True") {
          out_ += "true";
          i_ += 4;
        } else if (c == 'F' && in_.substr(i_, 5) == "False") {
          out_ += "false";
          i_ += 5;
        } else if (c == 'N' && in_.substr(i_, 4) == "None") {
          out_ += "null";
          i_ += 4;
        } else {
          out_.push_back(c);
          ++i_;
        }
        break;
      case Mode::kInDouble: {
        // Plain bytes in bulk, up to the next quote or backslash.
        std::size_t j = i_;
        while (j < n && in_[j] != '"' && in_[j] != '\\') ++j;
        out_.append(in_.data() + i_, j - i_);
        i_ = j;
        if (i_ >= n) break;
        if (in_[i_] == '"') {
          out_.push_back('"');
          mode_ = Mode::kOutside;
          ++i_;
        } else if (i_ + 1 < n) {
          out_.append(in_.data() + i_, 2);
          i_ += 2;
        } else {
          out_.push_back('\\');
          ++i_;
          ended_ = true;
        }
        break;
      }
      case Mode::kInSingle:
        if (c == '"') {
          out_ += "\\\"";
          ++i_;
        } else if (c == '\\') {
          if (i_ + 1 >= n) {
            out_.push_back('\\');
            ++i_;
            ended_ = true;
          } else if (in_[i_ + 1] == '\'') {
            out_.push_back('\'');
            i_ += 2;
          } else {
            out_.append(in_.data() + i_, 2);
            i_ += 2;
          }
        } else if (c == '\'') {
          out_.push_back('"');
          mode_ = Mode::kOutside;
          ++i_;
        } else {
          out_.push_back(c);
          ++i_;
        }
        break;
    }
  }
}

std::string repair_json_internal(std::string_view input) {
  if (!has_python_marks(input) && json::is_valid(input)) return std::string(input);
  RepairPass pass(input);
  pass.reserve(input.size() + input.size() / 10);
  pass.run_until(static_cast<std::size_t>(-1));
  return pass.take();
}

std::string repair_json(std::string_view input) { return repair_json_internal(input); }

Candidates candidate_ends(std::string_view text) { return Matcher(text).run(); }

std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string>> extract_json_objects(
    std::string_view text) {
  std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string>> found;
  const Candidates candidates = candidate_ends(text);
  MarkIndex marks(text);
  std::size_t pos = 0;
  for (std::size_t k = 0; k < candidates.starts.size(); ++k) {
    const std::size_t start = candidates.starts[k];
    const std::size_t end = candidates.ends[k];
    // Starts inside a recorded candidate are passed over.
    if (start < pos || end == kNoEnd) continue;
    const std::string_view candidate = text.substr(start, end - start + 1);
    if (json::is_valid(candidate)) {
      found.emplace_back(start, end + 1, std::string(candidate));
      pos = end + 1;
      continue;
    }
    // Without Python marks the repair returns the candidate itself.
    std::string repaired;
    if (marks.contains(start, end) && repaired_is_valid(candidate, repaired)) {
      found.emplace_back(start, end + 1, std::move(repaired));
      pos = end + 1;
    }
  }
  return found;
}

}  // namespace pelrin::json_repair
