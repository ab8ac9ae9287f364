// The secret catalogue and the scans over it.
#include "core/secrets/scanner.h"

#include <algorithm>
#include <cstring>

#include "absl/container/flat_hash_set.h"
#include "core/base/utf8.h"

namespace pelrin::secrets {
namespace {

struct Entry {
  std::string_view name;
  std::string_view severity;
  std::string_view pattern;
};

// Vendor prefixes and markers are the published token formats.
constexpr Entry kCatalogue[] = {
    {"aws_access_key", "high", "(?i)AKIA[0-9A-Z]{16}"},
    {"aws_secret_key", "critical", R"((?i)(?:aws|amazon).{0,20}['"][0-9a-zA-Z/+]{40}['"])"},
    {"openai_api_key", "high", "sk-[a-zA-Z0-9]{20,}T3BlbkFJ[a-zA-Z0-9]{20,}"},
    {"openai_api_key_v2", "high", "sk-proj-[a-zA-Z0-9_-]{80,}"},
    {"anthropic_api_key", "high", "sk-ant-[a-zA-Z0-9_-]{20,}"},
    {"google_api_key", "high", "AIza[0-9A-Za-z_-]{35}"},
    {"github_token", "high", "gh[pousr]_[A-Za-z0-9_]{36,}"},
    {"github_oauth", "high", "gho_[A-Za-z0-9]{36}"},
    {"slack_token", "high", "xox[baprs]-[0-9]{10,13}-[0-9]{10,13}[a-zA-Z0-9-]*"},
    {"slack_webhook", "medium",
     "https://hooks\\.slack\\.com/services/T[A-Z0-9]+/B[A-Z0-9]+/[a-zA-Z0-9]+"},
    {"discord_token", "high", "[MN][a-zA-Z\\d]{23,}\\.[\\w-]{6}\\.[\\w-]{27}"},
    {"private_key", "critical", "-----BEGIN (?:RSA |EC |DSA |OPENSSH )?PRIVATE KEY-----"},
    {"database_url", "critical", R"((?i)(?:postgres|mysql|mongodb|redis)://[^\s'"]+:[^\s'"]+@[^\s'"]+)"},
    {"generic_api_key", "medium",
     R"((?i)(?:api[_-]?key|apikey|api[_-]?secret)['":\s=]+['"]?([a-zA-Z0-9_-]{20,})['"]?)"},
    {"generic_password", "medium", R"((?i)(?:password|passwd|pwd|secret)['":\s=]+['"]?([^\s'"]{8,})['"]?)"},
    {"jwt_token", "medium", "eyJ[a-zA-Z0-9_-]+\\.eyJ[a-zA-Z0-9_-]+\\.[a-zA-Z0-9_-]+"},
    {"stripe_key", "high", "(?:sk|pk)_(?:live|test)_[a-zA-Z0-9]{24,}"},
    {"twilio_sid", "medium", "AC[0-9a-f]{32}"},
    {"sendgrid_key", "high", "SG\\.[a-zA-Z0-9_-]{22}\\.[a-zA-Z0-9_-]{43}"},
    {"heroku_api_key", "high",
     R"((?i)heroku.{0,20}['"][0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}['"])"},
};

std::vector<std::uint64_t> line_starts(std::string_view text) {
  std::vector<std::uint64_t> starts{0};
  for (const char* p = text.data(); (p = static_cast<const char*>(
                                         std::memchr(p, '\n', static_cast<std::size_t>(text.data() + text.size() - p)))) != nullptr;
       ++p) {
    starts.push_back(static_cast<std::uint64_t>(p - text.data()) + 1);
  }
  return starts;
}

// Replaces every occurrence of `from` in `s`, left to right, non-overlapping.
void replace_all_literal(std::string& s, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  const char* base = s.data();
  const std::size_t n = s.size();
  const void* hit = memmem(base, n, from.data(), from.size());
  if (hit == nullptr) return;
  std::string out;
  out.reserve(n);
  std::size_t copied = 0;
  while (hit != nullptr) {
    const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    out.append(base + copied, at - copied);
    out.append(to);
    copied = at + from.size();
    hit = memmem(base + copied, n - copied, from.data(), from.size());
  }
  out.append(base + copied, n - copied);
  s.swap(out);
}

std::string masked_form(std::string_view m, const std::string& mask, std::uint64_t visible) {
  const std::size_t n = m.size();
  std::string out;
  // n > 2 * visible, without overflow.
  if (visible < n && n - visible > visible) {
    const auto v = static_cast<std::size_t>(visible);
    std::size_t head = utf8::floor_boundary(m, v);
    std::size_t tail = n - v;
    while (tail < n && utf8::is_continuation(static_cast<unsigned char>(m[tail]))) ++tail;
    out.append(m.substr(0, head));
    for (std::size_t i = head; i < tail; ++i) out.append(mask);
    out.append(m.substr(tail));
  } else {
    for (std::size_t i = 0; i < n; ++i) out.append(mask);
  }
  return out;
}

}  // namespace

const std::vector<SecretPattern>& SECRET_PATTERNS() {
  static const std::vector<SecretPattern> patterns = [] {
    std::vector<SecretPattern> v;
    v.reserve(std::size(kCatalogue));
    for (const Entry& e : kCatalogue) {
      v.push_back(SecretPattern{e.name, e.severity, platform::Regex::fixed(e.pattern)});
    }
    return v;
  }();
  return patterns;
}

std::vector<SecretMatch> scan_secrets(std::string_view text) {
  std::vector<SecretMatch> out;
  if (text.empty()) return out;
  const std::vector<std::uint64_t> starts = line_starts(text);
  for (const SecretPattern& p : SECRET_PATTERNS()) {
    platform::MatchIterator it(p.regex, text);
    while (it.next()) {
      const platform::Span m = it.match();
      const auto line = static_cast<std::uint64_t>(
          std::upper_bound(starts.begin(), starts.end(), static_cast<std::uint64_t>(m.start)) - starts.begin());
      out.push_back(SecretMatch{std::string(p.name), std::string(m.of(text)), std::string(p.severity), m.start,
                                m.end, line});
    }
  }
  return out;
}

bool has_secrets(std::string_view text) {
  for (const SecretPattern& p : SECRET_PATTERNS()) {
    if (p.regex.is_match(text)) return true;
  }
  return false;
}

std::vector<std::string_view> get_secret_types(std::string_view text) {
  std::vector<std::string_view> out;
  for (const SecretPattern& p : SECRET_PATTERNS()) {
    if (p.regex.is_match(text)) out.push_back(p.name);
  }
  return out;
}

std::vector<std::string_view> list_secret_patterns() {
  std::vector<std::string_view> out;
  for (const Entry& e : kCatalogue) out.push_back(e.name);
  return out;
}

SecretSummary scan_secrets_summary(std::string_view text) {
  SecretSummary s;
  for (const SecretMatch& m : scan_secrets(text)) {
    ++s.total_matches;
    ++s.by_type[m.secret_type];
    ++s.by_severity[m.severity];
  }
  return s;
}

std::string mask_secrets(std::string_view text, char32_t mask_char, std::uint64_t visible_chars) {
  std::string mask;
  utf8::append(mask, mask_char);
  std::string result(text);
  // Replacing a string a second time finds nothing new, so each distinct
  // matched text is replaced once, at its first place in the order.
  absl::flat_hash_set<std::string_view> done;
  for (const SecretPattern& p : SECRET_PATTERNS()) {
    platform::MatchIterator it(p.regex, text);
    while (it.next()) {
      const std::string_view m = it.match().of(text);
      if (m.empty() || !done.insert(m).second) continue;
      replace_all_literal(result, m, masked_form(m, mask, visible_chars));
    }
  }
  return result;
}

}  // namespace pelrin::secrets
