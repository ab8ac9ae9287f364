// The secret catalogue and the scans over it.
#include "core/secrets/scanner.h"

#include <algorithm>
#include <cstring>
#include <map>

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
    {"database_url", "critical",
     R"((?i)(?:postgres|mysql|mongodb|redis)://[^\s'"]+:[^\s'"]+@[^\s'"]+)"},
    {"generic_api_key", "medium",
     R"((?i)(?:api[_-]?key|apikey|api[_-]?secret)['":\s=]+['"]?([a-zA-Z0-9_-]{20,})['"]?)"},
    {"generic_password", "medium",
     R"((?i)(?:password|passwd|pwd|secret)['":\s=]+['"]?([^\s'"]{8,})['"]?)"},
    {"jwt_token", "medium", "eyJ[a-zA-Z0-9_-]+\\.eyJ[a-zA-Z0-9_-]+\\.[a-zA-Z0-9_-]+"},
    {"stripe_key", "high", "(?:sk|pk)_(?:live|test)_[a-zA-Z0-9]{24,}"},
    {"twilio_sid", "medium", "AC[0-9a-f]{32}"},
    {"sendgrid_key", "high", "SG\\.[a-zA-Z0-9_-]{22}\\.[a-zA-Z0-9_-]{43}"},
    {"heroku_api_key", "high",
     R"((?i)heroku.{0,20}['"][0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}['"])"},
};

std::vector<std::uint64_t> line_starts(std::string_view text) {
  std::vector<std::uint64_t> starts{0};
  for (const char* p = text.data();
       (p = static_cast<const char*>(std::memchr(
            p, '\n', static_cast<std::size_t>(text.data() + text.size() - p)))) != nullptr;
       ++p) {
    starts.push_back(static_cast<std::uint64_t>(p - text.data()) + 1);
  }
  return starts;
}

// The bytes of a match that masking changes: [head, tail) relative to the
// match. The visible ends never split a character; a match of at most
// 2 x visible bytes is hidden whole.
std::pair<std::size_t, std::size_t> hidden_part(std::string_view m, std::uint64_t visible) {
  const std::size_t n = m.size();
  if (!(visible < n && n - visible > visible)) return {0, n};  // n <= 2 * visible, without overflow
  const auto v = static_cast<std::size_t>(visible);
  const std::size_t head = utf8::floor_boundary(m, v);
  std::size_t tail = n - v;
  while (tail < n && utf8::is_continuation(static_cast<unsigned char>(m[tail]))) ++tail;
  return {head, tail};
}

// Every occurrence (overlapping ones included) of a set of distinct
// non-empty strings, by a byte-wise Aho-Corasick automaton.
class OccurrenceFinder {
 public:
  explicit OccurrenceFinder(const std::vector<std::string_view>& patterns) : patterns_(patterns) {
    nodes_.push_back(Node{});
    for (std::size_t k = 0; k < patterns.size(); ++k) {
      std::int32_t at = 0;
      for (const char c : patterns[k]) {
        const std::uint64_t key = edge_key(at, c);
        auto it = edges_.find(key);
        if (it == edges_.end()) {
          nodes_.push_back(Node{});
          it = edges_.emplace(key, static_cast<std::int32_t>(nodes_.size() - 1)).first;
        }
        at = it->second;
      }
      nodes_[static_cast<std::size_t>(at)].pattern = static_cast<std::int32_t>(k);
    }
    // Breadth-first failure and output links.
    std::vector<std::int32_t> order{0};
    std::vector<std::vector<std::pair<char, std::int32_t>>> children(nodes_.size());
    for (const auto& [key, child] : edges_) {
      children[static_cast<std::size_t>(key >> 8)].emplace_back(static_cast<char>(key & 0xFF),
                                                                child);
    }
    for (std::size_t q = 0; q < order.size(); ++q) {
      const std::int32_t u = order[q];
      for (const auto& [c, v] : children[static_cast<std::size_t>(u)]) {
        std::int32_t f = 0;
        if (u != 0) {
          f = nodes_[static_cast<std::size_t>(u)].fail;
          for (;;) {
            auto it = edges_.find(edge_key(f, c));
            if (it != edges_.end()) {
              f = it->second;
              break;
            }
            if (f == 0) break;
            f = nodes_[static_cast<std::size_t>(f)].fail;
          }
        }
        Node& nv = nodes_[static_cast<std::size_t>(v)];
        nv.fail = f;
        const Node& nf = nodes_[static_cast<std::size_t>(f)];
        nv.output = nf.pattern >= 0 ? f : nf.output;
        order.push_back(v);
      }
    }
  }

  // Calls found(pattern index, start) for every occurrence, in order of end.
  template <class F>
  void scan(std::string_view text, F&& found) const {
    std::int32_t at = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      for (;;) {
        auto it = edges_.find(edge_key(at, text[i]));
        if (it != edges_.end()) {
          at = it->second;
          break;
        }
        if (at == 0) break;
        at = nodes_[static_cast<std::size_t>(at)].fail;
      }
      for (std::int32_t o = nodes_[static_cast<std::size_t>(at)].pattern >= 0
                                ? at
                                : nodes_[static_cast<std::size_t>(at)].output;
           o > 0; o = nodes_[static_cast<std::size_t>(o)].output) {
        const auto k = static_cast<std::size_t>(nodes_[static_cast<std::size_t>(o)].pattern);
        found(k, i + 1 - patterns_[k].size());
      }
    }
  }

 private:
  struct Node {
    std::int32_t fail = 0;
    std::int32_t pattern = -1;  // the pattern ending here, if any
    std::int32_t output = 0;    // nearest proper suffix node that ends a pattern (0: none)
  };
  static std::uint64_t edge_key(std::int32_t node, char c) {
    return (static_cast<std::uint64_t>(node) << 8) | static_cast<unsigned char>(c);
  }
  const std::vector<std::string_view>& patterns_;
  std::vector<Node> nodes_;
  absl::flat_hash_map<std::uint64_t, std::int32_t> edges_;
};

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
          std::upper_bound(starts.begin(), starts.end(), static_cast<std::uint64_t>(m.start)) -
          starts.begin());
      out.push_back(SecretMatch{std::string(p.name), std::string(m.of(text)),
                                std::string(p.severity), m.start, m.end, line});
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

// Masking, emulated on the input's coordinates.
//
// The defined behaviour is sequential: for each match in scan order, every
// occurrence of its text in the result so far is replaced, left to right
// without overlap. An occurrence of a match text is still present in the
// result exactly when it touches none of the bytes hidden so far (the
// visible ends of a masked secret are unchanged text), so each replacement
// step is a greedy left-to-right pass over the surviving occurrences of its
// text, which are found for all texts at once by one automaton pass. An
// occurrence skipped only because it overlapped one taken in the same step
// stays a candidate for a later match of the same text. The hidden parts
// taken are disjoint, so the result is the input with each hidden part
// replaced by the mask character once per byte. Occurrences that would only
// appear by joining mask characters with their surroundings are not masked.
std::string mask_secrets(std::string_view text, char32_t mask_char, std::uint64_t visible_chars) {
  std::vector<std::string_view> secrets;
  std::vector<std::size_t> steps;  // per match in scan order: the index of its text
  absl::flat_hash_map<std::string_view, std::size_t> index;
  for (const SecretPattern& p : SECRET_PATTERNS()) {
    platform::MatchIterator it(p.regex, text);
    while (it.next()) {
      const std::string_view m = it.match().of(text);
      if (m.empty()) continue;
      auto [entry, inserted] = index.emplace(m, secrets.size());
      if (inserted) secrets.push_back(m);
      steps.push_back(entry->second);
    }
  }
  if (secrets.empty()) return std::string(text);

  std::vector<std::vector<std::size_t>> candidates(secrets.size());
  OccurrenceFinder(secrets).scan(
      text, [&](std::size_t k, std::size_t start) { candidates[k].push_back(start); });

  std::map<std::size_t, std::size_t> hidden;  // start -> end, disjoint
  auto touches_hidden = [&](std::size_t a, std::size_t b) {
    auto it = hidden.lower_bound(b);  // first region starting at or after b
    if (it == hidden.begin()) return false;
    --it;
    return it->second > a;
  };
  for (const std::size_t k : steps) {
    std::vector<std::size_t>& list = candidates[k];
    if (list.empty()) continue;
    const std::string_view m = secrets[k];
    const auto [head, tail] = hidden_part(m, visible_chars);
    bool taken_any = false;
    std::size_t taken_end = 0;
    std::size_t kept = 0;
    for (const std::size_t start : list) {
      if (touches_hidden(start, start + m.size())) continue;  // gone for good
      if (taken_any && start < taken_end) {
        list[kept++] = start;  // overlaps this step's previous replacement
        continue;
      }
      taken_any = true;
      taken_end = start + m.size();
      hidden.emplace(start + head, start + tail);
    }
    list.resize(kept);
  }

  std::string mask;
  utf8::append(mask, mask_char);
  std::string out;
  out.reserve(text.size() + (mask.size() - 1) * text.size() / 2);
  std::size_t copied = 0;
  for (const auto& [a, b] : hidden) {
    out.append(text.substr(copied, a - copied));
    for (std::size_t i = a; i < b; ++i) out.append(mask);
    copied = b;
  }
  out.append(text.substr(copied));
  return out;
}

}  // namespace pelrin::secrets
