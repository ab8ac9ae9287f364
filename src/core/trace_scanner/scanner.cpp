// Usage-log scanning: streamed lines, a few keys per record, one tally.
#include "core/trace_scanner/scanner.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "absl/strings/string_view.h"
#include "core/platform/gzip_reader.h"
#include "core/platform/json.h"

namespace pelrin::trace_scanner {
namespace {

// Consecutive failed reads after which a file is given up.
constexpr int kMaxReadFailures = 3;

// Longest line kept for parsing; longer ones are dropped as they stream by,
// so a file without line feeds (or a gzip bomb) cannot exhaust memory.
constexpr std::size_t kMaxLineBytes = std::size_t{64} << 20;

bool valid_utf8(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    // ASCII in blocks of eight.
    while (i + 8 <= n) {
      std::uint64_t block;
      std::memcpy(&block, p + i, 8);
      if ((block & 0x8080808080808080ull) != 0) break;
      i += 8;
    }
    if (i >= n) break;
    const unsigned char b0 = p[i];
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    auto cont = [&](std::size_t k) { return i + k < n && (p[i + k] & 0xC0u) == 0x80u; };
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      if (!cont(1)) return false;
      i += 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      if (!cont(1) || !cont(2)) return false;
      if ((b0 == 0xE0 && p[i + 1] < 0xA0) || (b0 == 0xED && p[i + 1] > 0x9F)) return false;
      i += 3;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      if (!cont(1) || !cont(2) || !cont(3)) return false;
      if ((b0 == 0xF0 && p[i + 1] < 0x90) || (b0 == 0xF4 && p[i + 1] > 0x8F)) return false;
      i += 4;
    } else {
      return false;
    }
  }
  return true;
}

void bump(std::uint32_t& counter) {
  if (counter != std::numeric_limits<std::uint32_t>::max()) ++counter;
}

// The last member of each wanted key, as raw value text.
struct TopKeys {
  std::string_view session_id;
  std::string_view event_type;
  std::string_view data;
};

struct DataKeys {
  std::string_view task_type;
  std::string_view success;
};

void collect_top(void* ctx, std::string_view key, std::string_view raw) {
  auto* keys = static_cast<TopKeys*>(ctx);
  if (key == "session_id") {
    keys->session_id = raw;
  } else if (key == "event_type") {
    keys->event_type = raw;
  } else if (key == "data") {
    keys->data = raw;
  }
}

void collect_data(void* ctx, std::string_view key, std::string_view raw) {
  auto* keys = static_cast<DataKeys*>(ctx);
  if (key == "task_type") {
    keys->task_type = raw;
  } else if (key == "success") {
    keys->success = raw;
  }
}

bool is_string(std::string_view raw) { return !raw.empty() && raw.front() == '"'; }
bool is_object(std::string_view raw) { return !raw.empty() && raw.front() == '{'; }

// The text of a string literal, as a view when it has no escapes.
std::string_view string_text(std::string_view raw, std::string& storage) {
  if (raw.find('\\') == std::string_view::npos) return raw.substr(1, raw.size() - 2);
  storage = json::decode_string(raw);
  return storage;
}

// Splits streamed bytes into lines, carrying a partial line between reads.
class LineSplitter {
 public:
  explicit LineSplitter(SessionMap& sessions) : sessions_(sessions) {}

  void feed(const char* data, std::size_t n) {
    std::size_t start = 0;
    while (start < n) {
      const void* hit = std::memchr(data + start, '\n', n - start);
      if (hit == nullptr) {
        keep(data + start, n - start);
        return;
      }
      const auto end = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
      if (overlong_) {
        overlong_ = false;
      } else if (carry_.empty() && end - start <= kMaxLineBytes) {
        line(std::string_view(data + start, end - start));
      } else {
        keep(data + start, end - start);
        if (!overlong_) line(carry_);
        overlong_ = false;
      }
      carry_.clear();
      start = end + 1;
    }
  }

  void finish() {
    if (!carry_.empty() && !overlong_) process_line(carry_, sessions_);
    carry_.clear();
    overlong_ = false;
  }

 private:
  void line(std::string_view text) {
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    process_line(text, sessions_);
  }

  // Adds bytes to the pending line, or drops the line once it is too long.
  void keep(const char* data, std::size_t n) {
    if (overlong_) return;
    if (carry_.size() + n > kMaxLineBytes) {
      overlong_ = true;
      carry_.clear();
      carry_.shrink_to_fit();
      return;
    }
    carry_.append(data, n);
  }

  SessionMap& sessions_;
  std::string carry_;
  bool overlong_ = false;  // the current line is being dropped
};

}  // namespace

void process_line(std::string_view line, SessionMap& sessions) {
  if (!valid_utf8(line)) return;
  const json::ValidateResult v = json::validate(line);
  if (!v.ok || v.kind != json::Kind::kObject) return;
  TopKeys top;
  json::for_each_member(line, &collect_top, &top);
  if (!is_string(top.session_id)) return;
  std::string id_storage;
  const std::string_view id = string_text(top.session_id, id_storage);
  std::string event_storage;
  const std::string_view event =
      is_string(top.event_type) ? string_text(top.event_type, event_storage) : "";
  auto it = sessions.find(absl::string_view(id.data(), id.size()));
  if (it == sessions.end()) it = sessions.emplace(std::string(id), RawSession{}).first;
  RawSession& session = it->second;
  if (event == "tool_call") {
    bump(session.tool_calls);
    return;
  }
  const bool classification = event == "task_classification";
  if (!classification && event != "tool_result") return;
  if (!is_object(top.data)) return;
  DataKeys data;
  json::for_each_member(top.data, &collect_data, &data);
  if (classification) {
    if (is_string(data.task_type)) {
      std::string storage;
      session.task_type = std::string(string_text(data.task_type, storage));
    }
  } else if (data.success == "false") {
    bump(session.tool_failures);
  }
}

void scan_file(const std::string& path, SessionMap& sessions) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return;
  const bool gzip = path.size() >= 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
  platform::FileReader reader;
  if (!reader.open(path, gzip)) return;
  LineSplitter lines(sessions);
  std::vector<char> buffer;
  int failures = 0;
  for (;;) {
    const platform::FileReader::Status status = reader.read(buffer);
    if (status == platform::FileReader::Status::kEnd) break;
    if (status == platform::FileReader::Status::kError) {
      if (++failures >= kMaxReadFailures) break;
      continue;
    }
    failures = 0;
    lines.feed(buffer.data(), buffer.size());
  }
  lines.finish();
}

std::vector<SessionStats> build_result(const SessionMap& sessions) {
  std::vector<SessionStats> out;
  for (const auto& [id, s] : sessions) {
    if (s.tool_calls < 2) continue;
    const float ratio = static_cast<float>(s.tool_failures) / static_cast<float>(s.tool_calls);
    const float score = 1.0f + ratio * -1.5f;
    out.push_back(SessionStats{id, s.task_type, s.tool_calls, s.tool_failures, s.tokens,
                               std::max(0.0f, score)});
  }
  std::stable_sort(out.begin(), out.end(), [](const SessionStats& a, const SessionStats& b) {
    return a.completion_score > b.completion_score;
  });
  return out;
}

std::vector<SessionStats> scan_usage_file(std::string_view file_path) {
  SessionMap sessions;
  scan_file(std::string(file_path), sessions);
  return build_result(sessions);
}

std::vector<SessionStats> scan_usage_files(const std::vector<std::string_view>& file_paths) {
  SessionMap sessions;
  for (const std::string_view p : file_paths) scan_file(std::string(p), sessions);
  return build_result(sessions);
}

}  // namespace pelrin::trace_scanner
