// The sanitizer's tables and passes.
#include "core/sanitizer/sanitizer.h"

#include <algorithm>

#include "core/base/unicode.h"
#include "core/base/utf8.h"
#include "core/platform/regex.h"

namespace pelrin::sanitizer {
namespace {

using platform::Regex;

struct Cleanup {
  Regex regex;
  std::string_view replacement;
};

const std::vector<Cleanup>& CLEANUP_PATTERNS() {
  static const std::vector<Cleanup> v = [] {
    std::vector<Cleanup> out;
    const std::pair<std::string_view, std::string_view> table[] = {
        {R"((</\w+>\s*){3,})", ""}, {"</?function[^>]*>", ""},
        {"</?parameter[^>]*>", ""}, {"</?tool[^>]*>", ""},
        {"</?IMPORTANT[^>]*>", ""}, {R"(\{"name":\s*"[^"]+",\s*"arguments":\s*\{[^}]*\}\})", ""},
        {R"(\n{4,})", "\n\n\n"},
    };
    for (const auto& [p, r] : table) out.push_back(Cleanup{Regex::fixed(p), r});
    return out;
  }();
  return v;
}

constexpr std::string_view THINKING_TOKENS[] = {
    "<\uFF5Cbegin\u2581of\u2581thinking\uFF5C>",
    "<\uFF5Cend\u2581of\u2581thinking\uFF5C>",
    "<|begin_of_thinking|>",
    "<|end_of_thinking|>",
    "<think>",
    "</think>",
};

struct Leakage {
  std::string_view name;
  Regex regex;
};

const std::vector<Leakage>& LEAKAGE_PATTERNS() {
  static const std::vector<Leakage> v = [] {
    std::vector<Leakage> out;
    const std::pair<std::string_view, std::string_view> table[] = {
        {"no_new_params", "(?i)Do not invent any new (?:or additional )?parameters.*"},
        {"string_params", "(?i)The parameter value should be passed as a string.*"},
        {"multiple_funcs", "(?i)If you want to call multiple functions.*"},
        {"no_surround", "(?i)Do NOT surround the function call.*"},
        {"required_params", "(?i)All parameters are required unless.*"},
        {"no_direct_access", "(?i)The agent is not allowed to directly access.*"},
        {"begin_list_dir", "(?i)Begin by calling list_directory.*"},
    };
    for (const auto& [name, p] : table) out.push_back(Leakage{name, Regex::fixed(p)});
    return out;
  }();
  return v;
}

const std::vector<Regex>& GARBAGE_PATTERNS() {
  static const std::vector<Regex> v = [] {
    std::vector<Regex> out;
    for (std::string_view p : {
             R"(FUNCTION_CALL\s*\{)",
             R"(</function>\s*</function>)",
             "<parameter[^>]*>",
             R"((?m)^\s*\{\s*"name":\s*"[^"]+",\s*"arguments":)",
             R"((?m)^\s*<IMPORTANT>)",
             R"((?m)^\s*Do NOT)",
             R"((?m)^\s*NEVER\s+)",
             R"(\[TOOL_REQUEST\])",
             R"(\[END_TOOL_REQUEST\])",
         }) {
      out.push_back(Regex::fixed(p));
    }
    return out;
  }();
  return v;
}

const Regex& MARKUP_PATTERN() {
  static const Regex re = Regex::fixed("<[^>]+>");
  return re;
}

const Regex& VALID_TOOL_NAME() {
  static const Regex re = Regex::fixed("^[a-zA-Z][a-zA-Z0-9_]*$");
  return re;
}

constexpr std::string_view kPlaceholderPrefixes[] = {
    "example_", "func_", "function_", "tool_name", "my_", "test_tool", "sample_"};

std::string_view trim(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size()) {
    const std::size_t w = unicode::white_space_length(s, b);
    if (w == 0) break;
    b += w;
  }
  std::size_t e = s.size();
  while (e > b) {
    const std::size_t start = utf8::floor_boundary(s, e - 1);
    if (unicode::white_space_length(s, start) != e - start) break;
    e = start;
  }
  return s.substr(b, e - b);
}

void remove_all(std::string& s, std::string_view what) {
  std::size_t at = s.find(what);
  if (at == std::string::npos) return;
  std::string out;
  out.reserve(s.size());
  std::size_t copied = 0;
  while (at != std::string::npos) {
    out.append(s, copied, at - copied);
    copied = at + what.size();
    at = s.find(what, copied);
  }
  out.append(s, copied, std::string::npos);
  s.swap(out);
}

// Keeps the lines whose trimmed form starts with none of `prefixes`; a "\r"
// right before a line feed goes with it.
template <std::size_t N>
std::string drop_lines(std::string_view text, const std::string_view (&prefixes)[N]) {
  std::string out;
  out.reserve(text.size());
  bool first = true;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t nl = text.find('\n', begin);
    std::string_view line =
        text.substr(begin, nl == std::string_view::npos ? std::string_view::npos : nl - begin);
    if (nl != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view t = trim(line);
    const bool drop = std::any_of(std::begin(prefixes), std::end(prefixes),
                                  [&](std::string_view p) { return t.substr(0, p.size()) == p; });
    if (!drop) {
      if (!first) out.push_back('\n');
      out.append(line);
      first = false;
    }
    if (nl == std::string_view::npos) break;
    begin = nl + 1;
  }
  return out;
}

}  // namespace

std::string sanitize_response(std::string_view text) {
  if (text.empty()) return {};
  std::string s(text);
  for (const Cleanup& c : CLEANUP_PATTERNS()) s = c.regex.replace_all(s, c.replacement);
  for (std::string_view marker : THINKING_TOKENS) remove_all(s, marker);
  for (const Leakage& l : LEAKAGE_PATTERNS()) s = l.regex.replace_all(s, "");
  static constexpr std::string_view kFirstPass[] = {"{\"name\":", "</"};
  static constexpr std::string_view kSecondPass[] = {"parameter=", "<parameter"};
  s = drop_lines(s, kFirstPass);
  s = drop_lines(s, kSecondPass);
  return std::string(trim(s));
}

std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string_view>> detect_leakage_patterns(
    std::string_view text) {
  std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string_view>> out;
  for (const Leakage& l : LEAKAGE_PATTERNS()) {
    platform::MatchIterator it(l.regex, text);
    while (it.next()) out.emplace_back(it.match().start, it.match().end, l.name);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
  return out;
}

bool is_garbage_content(std::string_view content) {
  if (content.empty()) return false;
  for (const Regex& re : GARBAGE_PATTERNS()) {
    if (re.is_match(content)) return true;
  }
  return false;
}

std::string strip_markup(std::string_view text) {
  if (text.empty()) return {};
  const std::string spaced = MARKUP_PATTERN().replace_all(text, " ");
  const std::string_view s = spaced;
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t w = unicode::white_space_length(s, i);
    if (w != 0) {
      i += w;
      continue;
    }
    std::size_t j = i;
    while (j < s.size() && unicode::white_space_length(s, j) == 0) {
      j += utf8::sequence_length(static_cast<unsigned char>(s[j]));
    }
    if (!out.empty()) out.push_back(' ');
    out.append(s.substr(i, j - i));
    i = j;
  }
  return out;
}

std::pair<bool, std::optional<std::string>> validate_tool_name(std::string_view name) {
  if (name.empty()) return {false, "empty_or_invalid_type"};
  for (std::string_view p : kPlaceholderPrefixes) {
    if (name.substr(0, p.size()) == p) return {false, "invalid_prefix:" + std::string(p)};
  }
  if (name.back() == '/' || name.back() == '>') return {false, "invalid_suffix"};
  if (name.front() == '<') return {false, "starts_with_tag"};
  if (name.find_first_of(" \t") != std::string_view::npos) return {false, "contains_whitespace"};
  if (name.front() >= '0' && name.front() <= '9') return {false, "starts_with_number"};
  if (VALID_TOOL_NAME().is_match(name)) return {true, std::nullopt};
  return {false, "invalid_characters"};
}

}  // namespace pelrin::sanitizer
