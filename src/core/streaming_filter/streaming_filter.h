// The streaming thinking filter: removes thinking markers from a streamed
// reply and passes or suppresses the thinking text across chunk boundaries.
//
// A tail of a chunk that could begin a marker is held back and examined
// again with the next chunk; flush() releases it. Lengths are UTF-8 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pelrin::streaming_filter {

struct StreamingChunkResult {
  std::string content;
  bool is_thinking = false;
  bool state_changed = false;
  bool entering_thinking = false;
  bool exiting_thinking = false;
};

// "StreamingChunkResult(content=\"...\", is_thinking=false, entering=false,
// exiting=false)": the content quoted with escapes, cut after 50 bytes (at
// the last character boundary not beyond byte 50) and followed by "...".
std::string chunk_result_repr(const StreamingChunkResult& r);

// The byte length of the longest tail of `text` (at most max-chars - 1
// characters) that is a proper prefix of one of `markers`, or nothing.
std::optional<std::size_t> check_partial_pattern(std::string_view text,
                                                 std::span<const std::string_view> markers);

class StreamingFilter {
 public:
  StreamingFilter(bool suppress_thinking, std::uint64_t max_thinking_content);

  StreamingChunkResult process_chunk(std::string_view chunk);
  // Releases the held tail: normal text, or thinking text (counted; "" when
  // suppressing). State, counter and abort flag stay.
  StreamingChunkResult flush();
  // State "normal", counters, abort flag and reason cleared, held tail dropped.
  void reset();

  bool should_abort() const { return aborted_; }
  const std::optional<std::string>& get_abort_reason() const { return abort_reason_; }
  const char* get_state() const { return in_thinking_ ? "in_thinking" : "normal"; }
  std::uint64_t get_thinking_length() const { return thinking_length_; }

 private:
  std::string buffer_;
  bool in_thinking_ = false;
  std::uint64_t thinking_length_ = 0;
  std::uint64_t max_thinking_content_;
  bool aborted_ = false;
  std::optional<std::string> abort_reason_;
  bool suppress_thinking_;
};

}  // namespace pelrin::streaming_filter
