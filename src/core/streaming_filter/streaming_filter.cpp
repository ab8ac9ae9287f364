// Streaming thinking filter state machine and the hold-back rule.
#include "core/streaming_filter/streaming_filter.h"

#include <algorithm>

#include "core/base/quoted.h"
#include "core/base/utf8.h"
#include "core/streaming_filter/markers.h"

namespace pelrin::streaming_filter {
namespace {

constexpr std::size_t kReprCutBytes = 50;

std::size_t max_chars(std::span<const std::string_view> markers) {
  std::size_t n = 0;
  for (const auto m : markers) n = std::max(n, utf8::count_chars(m));
  return n;
}

}  // namespace

std::string chunk_result_repr(const StreamingChunkResult& r) {
  std::string shown;
  if (r.content.size() <= kReprCutBytes) {
    shown = r.content;
  } else {
    // Cut at a character boundary so the shown text stays valid.
    shown = r.content.substr(0, utf8::floor_boundary(r.content, kReprCutBytes)) + "...";
  }
  std::string s = "StreamingChunkResult(content=";
  append_quoted(s, shown);
  s += ", is_thinking=";
  s += r.is_thinking ? "true" : "false";
  s += ", entering=";
  s += r.entering_thinking ? "true" : "false";
  s += ", exiting=";
  s += r.exiting_thinking ? "true" : "false";
  s += ")";
  return s;
}

std::optional<std::size_t> check_partial_pattern(std::string_view text,
                                                 std::span<const std::string_view> markers) {
  if (text.empty()) return std::nullopt;
  const std::size_t longest = max_chars(markers);
  if (longest <= 1) return std::nullopt;
  // Start offsets of the last (longest - 1) characters, nearest first.
  std::size_t starts[64];
  std::size_t n = 0;
  std::size_t pos = text.size();
  const std::size_t limit = std::min<std::size_t>(longest - 1, std::size(starts));
  while (n < limit && pos > 0) {
    --pos;
    while (pos > 0 && utf8::is_continuation(static_cast<unsigned char>(text[pos]))) --pos;
    starts[n++] = pos;
  }
  for (std::size_t k = n; k > 0; --k) {
    const std::string_view tail = text.substr(starts[k - 1]);
    for (const auto m : markers) {
      if (m.size() > tail.size() && m.substr(0, tail.size()) == tail) return tail.size();
    }
  }
  return std::nullopt;
}

StreamingFilter::StreamingFilter(bool suppress_thinking, std::uint64_t max_thinking_content)
    : max_thinking_content_(max_thinking_content), suppress_thinking_(suppress_thinking) {
  buffer_.reserve(256);
}

StreamingChunkResult StreamingFilter::process_chunk(std::string_view chunk) {
  // The held tail is joined with the chunk; without one the chunk is read in place.
  std::string working;
  std::string_view text = chunk;
  if (!buffer_.empty()) {
    working = std::move(buffer_);
    working.append(chunk);
    buffer_.clear();
    text = working;
  }
  StreamingChunkResult r;
  if (text.empty()) {
    r.is_thinking = in_thinking_;
    return r;
  }
  std::string& out = r.content;
  out.reserve(text.size());
  std::size_t pos = 0;
  platform::LiteralMatch m;
  while (pos < text.size()) {
    const std::string_view rest = text.substr(pos);
    if (!in_thinking_) {
      if (START_MATCHER().find_at(rest, 0, m)) {
        out.append(rest.substr(0, m.start));
        in_thinking_ = true;
        r.entering_thinking = true;
        pos += m.end;
        continue;
      }
      const auto k = check_partial_pattern(rest, start_markers());
      const std::size_t keep = k.value_or(0);
      out.append(rest.substr(0, rest.size() - keep));
      if (keep != 0) buffer_.assign(rest.substr(rest.size() - keep));
      break;
    }
    if (END_MATCHER().find_at(rest, 0, m)) {
      thinking_length_ += m.start;
      if (thinking_length_ > max_thinking_content_) {
        aborted_ = true;
        abort_reason_ =
            "Thinking content exceeded " + std::to_string(max_thinking_content_) + " chars";
      }
      if (!suppress_thinking_) out.append(rest.substr(0, m.start));
      in_thinking_ = false;
      r.exiting_thinking = true;
      pos += m.end;
      continue;
    }
    const auto k = check_partial_pattern(rest, end_markers());
    const std::size_t keep = k.value_or(0);
    const std::string_view t = rest.substr(0, rest.size() - keep);
    thinking_length_ += t.size();
    if (!suppress_thinking_) out.append(t);
    if (keep != 0) buffer_.assign(rest.substr(rest.size() - keep));
    break;
  }
  r.is_thinking = in_thinking_;
  r.state_changed = r.entering_thinking || r.exiting_thinking;
  return r;
}

StreamingChunkResult StreamingFilter::flush() {
  std::string taken = std::move(buffer_);
  buffer_.clear();
  StreamingChunkResult r;
  r.is_thinking = in_thinking_;
  if (in_thinking_) {
    thinking_length_ += taken.size();
    if (!suppress_thinking_) r.content = std::move(taken);
  } else {
    r.content = std::move(taken);
  }
  return r;
}

void StreamingFilter::reset() {
  in_thinking_ = false;
  aborted_ = false;
  abort_reason_.reset();
  thinking_length_ = 0;
  buffer_.clear();
}

}  // namespace pelrin::streaming_filter
