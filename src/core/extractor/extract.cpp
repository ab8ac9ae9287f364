// File paths, code blocks and shell commands taken out of replies.
#include "core/extractor/extract.h"

#include <algorithm>

#include "core/base/unicode.h"
#include "core/base/utf8.h"
#include "core/platform/worker_pool.h"

namespace pelrin::extractor {
namespace {

using platform::MatchIterator;
using platform::Regex;

std::vector<Regex> compile_all(std::initializer_list<std::string_view> patterns) {
  std::vector<Regex> v;
  for (std::string_view p : patterns) v.push_back(Regex::fixed(p));
  return v;
}

// Byte length of the leading White_Space characters of line.
std::size_t indentation(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size()) {
    const std::size_t w = unicode::white_space_length(line, i);
    if (w == 0) break;
    i += w;
  }
  return i;
}

std::string dedent(std::string_view block) {
  std::vector<std::string_view> lines;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t nl = block.find('\n', begin);
    lines.push_back(
        block.substr(begin, nl == std::string_view::npos ? std::string_view::npos : nl - begin));
    if (nl == std::string_view::npos) break;
    begin = nl + 1;
  }
  std::size_t d = std::string_view::npos;
  for (std::string_view line : lines) {
    if (!trim_white_space(line).empty()) d = std::min(d, indentation(line));
  }
  if (d == std::string_view::npos) d = 0;
  std::string out;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    std::string_view line = lines[k];
    if (k > 0) out.push_back('\n');
    if (line.size() > d) {
      std::size_t cut = d;
      while (cut < line.size() && utf8::is_continuation(static_cast<unsigned char>(line[cut])))
        ++cut;
      out.append(line.substr(cut));
    } else {
      out.append(trim_white_space(line));
    }
  }
  return std::string(trim_white_space(out));
}

}  // namespace

std::string_view trim_white_space(std::string_view text) noexcept {
  std::size_t b = 0;
  while (b < text.size()) {
    const std::size_t w = unicode::white_space_length(text, b);
    if (w == 0) break;
    b += w;
  }
  std::size_t e = text.size();
  while (e > b) {
    const std::size_t start = utf8::floor_boundary(text, e - 1);
    if (unicode::white_space_length(text, start) != e - start) break;
    e = start;
  }
  return text.substr(b, e - b);
}

const std::vector<Regex>& FILE_PATH_PATTERNS() {
  static const std::vector<Regex> v = compile_all({
      R"((?i)(?:to|file|path|in|create|write|save|modify|update|edit)\s+[`'"]?([a-zA-Z0-9_./-]+\.[a-zA-Z]{1,10})[`'"]?)",
      R"((?m)^[`'"]?([a-zA-Z0-9_./-]+\.[a-zA-Z]{1,10})[`'"]?\s+(?:with|should|will))",
      R"((?i)(?:the|this)\s+file\s+[`'"]?([a-zA-Z0-9_./-]+\.[a-zA-Z]{1,10})[`'"]?)",
      R"(`([a-zA-Z0-9_./-]+\.[a-zA-Z]{1,10})`)",
  });
  return v;
}

const Regex& CODE_BLOCK_PATTERN() {
  static const Regex re = Regex::fixed(
      "(?is)```(?:python|py|javascript|js|typescript|ts|bash|sh|json|yaml|yml|toml|html|css|"
      "markdown|md|sql|go|"
      "rust|java|c|cpp|ruby|php)?\\s*\\n(.*?)```");
  return re;
}

const Regex& INDENTED_CODE_PATTERN() {
  static const Regex re = Regex::fixed(R"((?m)(?:^|\n)((?:[ ]{4,}|\t).+(?:\n(?:[ ]{4,}|\t).+)*))");
  return re;
}

const std::vector<Regex>& SHELL_COMMAND_PATTERNS() {
  static const std::vector<Regex> v = compile_all({
      "(?is)```(?:bash|sh|shell|zsh)?\\s*\\n(.+?)```",
      R"((?i)(?:run|execute|command):\s*[`'"](.+?)[`'"])",
      R"((?m)(?:^|\n)\$\s+(.+?)(?:\n|$))",
  });
  return v;
}

std::optional<std::string_view> extract_file_path(std::string_view text) {
  for (const Regex& re : FILE_PATH_PATTERNS()) {
    std::optional<platform::Span> g[2];
    if (re.search(text, 0, g, 2)) {
      if (g[1]) return g[1]->of(text);
    }
  }
  return std::nullopt;
}

std::vector<std::optional<std::string_view>> batch_extract_file_paths(
    const std::vector<std::string_view>& texts) {
  if (texts.size() < 10) {
    std::vector<std::optional<std::string_view>> out;
    out.reserve(texts.size());
    for (std::string_view t : texts) out.push_back(extract_file_path(t));
    return out;
  }
  return platform::parallel_map(texts.size(),
                                [&](std::size_t i) { return extract_file_path(texts[i]); })
      .value();
}

std::vector<std::string> extract_code_blocks(std::string_view text) {
  std::vector<std::string> out;
  {
    MatchIterator it(CODE_BLOCK_PATTERN(), text, 2);
    while (it.next()) {
      if (!it.group(1)) continue;
      const std::string_view body = trim_white_space(it.group(1)->of(text));
      if (!body.empty()) out.emplace_back(body);
    }
  }
  if (!out.empty()) return out;
  MatchIterator it(INDENTED_CODE_PATTERN(), text, 2);
  while (it.next()) {
    if (!it.group(1)) continue;
    std::string block = dedent(it.group(1)->of(text));
    if (!block.empty()) out.push_back(std::move(block));
  }
  return out;
}

std::vector<std::string_view> extract_shell_commands(std::string_view text) {
  std::vector<std::string_view> out;
  for (const Regex& re : SHELL_COMMAND_PATTERNS()) {
    MatchIterator it(re, text, 2);
    while (it.next()) {
      if (!it.group(1)) continue;
      const std::string_view cmd = trim_white_space(it.group(1)->of(text));
      if (!cmd.empty()) out.push_back(cmd);
    }
  }
  return out;
}

}  // namespace pelrin::extractor
