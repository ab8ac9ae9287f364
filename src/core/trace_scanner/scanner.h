// Per-session statistics from JSONL usage logs, plain or gzip-compressed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "absl/container/flat_hash_map.h"

namespace pelrin::trace_scanner {

// The running tally of one session while logs are read.
struct RawSession {
  std::string task_type = "default";
  std::uint32_t tool_calls = 0;     // saturates at the 32-bit maximum
  std::uint32_t tool_failures = 0;  // saturates at the 32-bit maximum
  std::uint32_t tokens = 0;         // nothing feeds it
};

using SessionMap = absl::flat_hash_map<std::string, RawSession>;

struct SessionStats {
  std::string session_id;
  std::string task_type;
  std::uint32_t tool_calls = 0;
  std::uint32_t tool_failures = 0;
  std::uint32_t tokens = 0;
  float completion_score = 0.0f;
};

// Applies one log line (without its line feed) to `sessions`. Lines that
// are not valid UTF-8, not a JSON object, or without a string "session_id"
// are skipped. "event_type" (a string, else "") selects the event:
// "tool_call" counts a call, "tool_result" with "data"."success" exactly
// false counts a failure, "task_classification" with a string
// "data"."task_type" sets the task type; any event creates the session.
void process_line(std::string_view line, SessionMap& sessions);

// Feeds every line of the file at `path` to process_line: split at "\n",
// one "\r" before it removed, a last line without "\n" included, lines
// over 64 MiB skipped. A path ending in ".gz" is read through gzip. A path
// that cannot be examined or opened, or that is not a regular file, is
// skipped; a read that keeps failing (a directory, an I/O error,
// corrupt or truncated gzip data) ends that file, keeping what was read.
void scan_file(const std::string& path, SessionMap& sessions);

// Sessions with at least two tool calls, scored max(0, 1 - 1.5 * failures /
// calls) in 32-bit floats, highest score first (ties in map order).
std::vector<SessionStats> build_result(const SessionMap& sessions);

std::vector<SessionStats> scan_usage_file(std::string_view file_path);
std::vector<SessionStats> scan_usage_files(const std::vector<std::string_view>& file_paths);

}  // namespace pelrin::trace_scanner
