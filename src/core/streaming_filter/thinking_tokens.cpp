// Whole-text thinking-marker functions.
#include "core/streaming_filter/thinking_tokens.h"

#include "core/streaming_filter/markers.h"

namespace pelrin::streaming_filter {

bool contains_thinking_tokens(std::string_view content) {
  return INLINE_MATCHER().is_match(content);
}

std::vector<std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>> find_thinking_tokens(
    std::string_view content) {
  std::vector<std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>> out;
  INLINE_MATCHER().for_each(content, [&](const platform::LiteralMatch& m) {
    out.emplace_back(m.start, m.end, m.pattern);
    return true;
  });
  return out;
}

std::string strip_thinking_tokens(std::string_view content) {
  const std::string_view nothing[] = {""};
  return INLINE_MATCHER().replace_all(content, nothing);
}

std::pair<std::string, std::string> extract_thinking_content(std::string_view content) {
  std::pair<std::string, std::string> r;
  r.first.reserve(content.size());
  r.second.reserve(content.size() / 4);
  bool thinking = false;
  std::size_t pos = 0;
  platform::LiteralMatch m;
  while (pos < content.size()) {
    const std::string_view rest = content.substr(pos);
    const auto& matcher = thinking ? END_MATCHER() : START_MATCHER();
    std::string& part = thinking ? r.second : r.first;
    if (!matcher.find_at(rest, 0, m)) {
      part.append(rest);
      break;
    }
    part.append(rest.substr(0, m.start));
    pos += m.end;
    thinking = !thinking;
  }
  return r;
}

}  // namespace pelrin::streaming_filter
