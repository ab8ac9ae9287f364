// Task classifier: keyword tables, scoring and the keyword listing.
#include "core/classifier/task_classifier.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "core/base/panic.h"
#include "core/platform/literal_matcher.h"

namespace pelrin::classifier {
namespace {

struct Keyword {
  std::string_view text;
  float weight;  // 32-bit on purpose: 0.9 is the nearest float, widened where used
};

constexpr Keyword kAction[] = {
    {"execute", 1.0f}, {"apply", 1.0f}, {"run", 0.9f},  {"deploy", 1.0f},  {"build", 0.8f},
    {"install", 0.9f}, {"start", 0.7f}, {"stop", 0.7f}, {"restart", 0.8f}, {"test", 0.8f},
    {"commit", 0.9f},  {"push", 0.8f},  {"pull", 0.7f}, {"merge", 0.8f}};
constexpr Keyword kAnalysis[] = {{"analyze", 1.0f},     {"explore", 1.0f},  {"review", 0.9f},
                                 {"understand", 0.9f},  {"explain", 0.9f},  {"describe", 0.8f},
                                 {"investigate", 0.9f}, {"examine", 0.9f},  {"study", 0.8f},
                                 {"assess", 0.8f},      {"evaluate", 0.8f}, {"summarize", 0.8f},
                                 {"overview", 0.7f},    {"what is", 0.8f},  {"what does", 0.8f},
                                 {"how does", 0.8f},    {"why does", 0.7f}};
constexpr Keyword kGeneration[] = {{"create", 1.0f},    {"generate", 1.0f},   {"write", 0.9f},
                                   {"implement", 1.0f}, {"add", 0.8f},        {"new", 0.7f},
                                   {"scaffold", 0.9f},  {"initialize", 0.8f}, {"setup", 0.8f},
                                   {"bootstrap", 0.9f}};
constexpr Keyword kSearch[] = {{"find", 1.0f},       {"search", 1.0f},   {"locate", 0.9f},
                               {"grep", 1.0f},       {"look for", 0.9f}, {"where is", 0.9f},
                               {"which file", 0.8f}, {"list", 0.7f}};
constexpr Keyword kEdit[] = {
    {"modify", 1.0f},  {"refactor", 1.0f}, {"fix", 1.0f},      {"update", 0.9f},   {"change", 0.8f},
    {"edit", 0.9f},    {"rename", 0.9f},   {"move", 0.7f},     {"delete", 0.8f},   {"remove", 0.8f},
    {"replace", 0.9f}, {"improve", 0.8f},  {"optimize", 0.9f}, {"clean up", 0.8f}, {"debug", 0.9f}};
constexpr std::string_view kNegations[] = {
    "don't",  "do not", "dont",  "shouldn't", "should not", "wouldn't", "would not", "can't",
    "cannot", "not",    "never", "without",   "avoid",      "skip",     "ignore"};

struct Category {
  std::span<const Keyword> keywords;
  const char* name;
};
constexpr Category kCategories[] = {{kAction, "action"},
                                    {kAnalysis, "analysis"},
                                    {kGeneration, "generation"},
                                    {kSearch, "search"},
                                    {kEdit, "edit"}};

const platform::LiteralMatcher* compile(std::span<const std::string_view> words) {
  platform::LiteralMatcherOptions o;
  o.ascii_case_insensitive = true;
  auto built = platform::LiteralMatcher::build(words, o);
  PELRIN_CHECK(built.ok());                                       // fixed lists: cannot fail
  return new platform::LiteralMatcher(std::move(built).value());  // lives until the process ends
}

const platform::LiteralMatcher* compile(std::span<const Keyword> keywords) {
  std::vector<std::string_view> words;
  for (const Keyword& k : keywords) words.push_back(k.text);
  return compile(std::span<const std::string_view>(words));
}

const platform::LiteralMatcher& ACTION_MATCHER() {
  static const auto* m = compile(kAction);
  return *m;
}
const platform::LiteralMatcher& ANALYSIS_MATCHER() {
  static const auto* m = compile(kAnalysis);
  return *m;
}
const platform::LiteralMatcher& GENERATION_MATCHER() {
  static const auto* m = compile(kGeneration);
  return *m;
}
const platform::LiteralMatcher& SEARCH_MATCHER() {
  static const auto* m = compile(kSearch);
  return *m;
}
const platform::LiteralMatcher& EDIT_MATCHER() {
  static const auto* m = compile(kEdit);
  return *m;
}
const platform::LiteralMatcher& NEGATION_MATCHER() {
  static const auto* m = compile(std::span<const std::string_view>(kNegations));
  return *m;
}

const platform::LiteralMatcher& category_matcher(std::size_t i) {
  switch (i) {
    case 0:
      return ACTION_MATCHER();
    case 1:
      return ANALYSIS_MATCHER();
    case 2:
      return GENERATION_MATCHER();
    case 3:
      return SEARCH_MATCHER();
    default:
      return EDIT_MATCHER();
  }
}

constexpr TaskType kCategoryTypes[] = {TaskType::Action, TaskType::Analysis, TaskType::Generation,
                                       TaskType::Search, TaskType::Edit};

}  // namespace

std::uint64_t recommended_tool_budget(const ClassificationResult& r) {
  constexpr std::uint64_t kBudgets[] = {15, 30, 20, 10, 15, 20};
  return kBudgets[static_cast<std::size_t>(r.task_type)];
}
bool is_action_task(const ClassificationResult& r) {
  return r.task_type == TaskType::Action || r.task_type == TaskType::Generation ||
         r.task_type == TaskType::Edit;
}
bool is_analysis_task(const ClassificationResult& r) {
  return r.task_type == TaskType::Analysis || r.task_type == TaskType::Search;
}
bool is_generation_task(const ClassificationResult& r) {
  return r.task_type == TaskType::Generation;
}
bool needs_execution(const ClassificationResult& r) { return r.task_type == TaskType::Action; }

const char* task_type_text(TaskType t) {
  constexpr const char* kText[] = {"action", "analysis", "generation", "search", "edit", "default"};
  return kText[static_cast<std::size_t>(t)];
}

const char* coarse_task_type(TaskType t) {
  switch (t) {
    case TaskType::Action:
    case TaskType::Generation:
    case TaskType::Edit:
      return "action";
    case TaskType::Analysis:
    case TaskType::Search:
      return "analysis";
    default:
      return "default";
  }
}

std::string classification_result_repr(const ClassificationResult& r) {
  constexpr const char* kNames[] = {"Action", "Analysis", "Generation",
                                    "Search", "Edit",     "Default"};
  char confidence[64];
  std::snprintf(confidence, sizeof confidence, "%.2f", r.confidence);
  return std::string("ClassificationResult(type=") + kNames[static_cast<std::size_t>(r.task_type)] +
         ", confidence=" + confidence + ", matches=" + std::to_string(r.matched_count) +
         ", negated=" + std::to_string(r.negated_count) + ")";
}

ClassificationResult TaskClassifier::classify(std::string_view text) const {
  std::vector<std::size_t> negations;
  NEGATION_MATCHER().for_each(text, [&](const platform::LiteralMatch& m) {
    negations.push_back(m.start);
    return true;
  });
  const double len = static_cast<double>(text.size());
  ClassificationResult r;
  double scores[5];
  for (std::size_t c = 0; c < 5; ++c) {
    double total = 0.0;
    const auto keywords = kCategories[c].keywords;
    category_matcher(c).for_each(text, [&](const platform::LiteralMatch& m) {
      const double w = static_cast<double>(keywords[m.pattern].weight);
      // The nearest negation before the match decides.
      auto it = std::lower_bound(negations.begin(), negations.end(), m.start);
      const bool negated = it != negations.begin() && m.start - *(it - 1) <= negation_radius_;
      if (negated) {
        ++r.negated_count;
        total += w * -0.5;
      } else {
        ++r.matched_count;
        const double mult =
            text.empty() ? 1.0
                         : (1.0 - static_cast<double>(m.start) / len) * position_weight_ + 1.0;
        total += w * mult;
      }
      return true;
    });
    scores[c] = total > 0.0 ? total : 0.0;  // negative and NaN totals give 0
  }
  std::size_t winner = 0;
  for (std::size_t c = 1; c < 5; ++c) {
    if (scores[c] >= scores[winner]) winner = c;  // ties go to the later category
  }
  double sum = 0.0;
  for (const double s : scores) sum += s;
  r.confidence = sum > 0.0 ? scores[winner] / sum : 0.0;
  r.task_type = r.confidence >= 0.3 ? kCategoryTypes[winner] : TaskType::Default;
  return r;
}

ClassificationResult classify_task(std::string_view text) {
  return TaskClassifier(0.1, 20).classify(text);
}
bool has_action_keywords(std::string_view text) { return ACTION_MATCHER().is_match(text); }
bool has_analysis_keywords(std::string_view text) { return ANALYSIS_MATCHER().is_match(text); }
bool has_generation_keywords(std::string_view text) { return GENERATION_MATCHER().is_match(text); }
bool has_negation(std::string_view text) { return NEGATION_MATCHER().is_match(text); }

std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string, const char*>> find_all_keywords(
    std::string_view text) {
  std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string, const char*>> out;
  for (std::size_t c = 0; c < 5; ++c) {
    category_matcher(c).for_each(text, [&](const platform::LiteralMatch& m) {
      out.emplace_back(m.start, m.end, std::string(text.substr(m.start, m.end - m.start)),
                       kCategories[c].name);
      return true;
    });
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
  return out;
}

}  // namespace pelrin::classifier
