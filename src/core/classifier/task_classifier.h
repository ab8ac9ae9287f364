// Weighted keyword classification of a request into task types.
//
// Six fixed keyword lists (five categories and negations) are compiled once
// into ASCII case-insensitive automatons with standard semantics; keywords
// match anywhere, also inside longer words. Offsets are UTF-8 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace pelrin::classifier {

enum class TaskType : std::uint8_t {
  Action = 0,
  Analysis = 1,
  Generation = 2,
  Search = 3,
  Edit = 4,
  Default = 5
};

struct ClassificationResult {
  TaskType task_type = TaskType::Default;
  double confidence = 0.0;
  std::uint64_t matched_count = 0;
  std::uint64_t negated_count = 0;
};

// By task type: 15, 30, 20, 10, 15, 20.
std::uint64_t recommended_tool_budget(const ClassificationResult& r);
bool is_action_task(const ClassificationResult& r);      // Action, Generation, Edit
bool is_analysis_task(const ClassificationResult& r);    // Analysis, Search
bool is_generation_task(const ClassificationResult& r);  // Generation
bool needs_execution(const ClassificationResult& r);     // Action
// "action", "analysis", "generation", "search", "edit", "default".
const char* task_type_text(TaskType t);
// "action" for Action, Generation, Edit; "analysis" for Analysis, Search; "default".
const char* coarse_task_type(TaskType t);
// "ClassificationResult(type=Edit, confidence=1.00, matches=1, negated=0)".
std::string classification_result_repr(const ClassificationResult& r);

class TaskClassifier {
 public:
  // negation_radius in bytes; neither value is checked.
  TaskClassifier(double position_weight, std::uint64_t negation_radius)
      : position_weight_(position_weight), negation_radius_(negation_radius) {}

  // Each keyword match adds weight x ((1 - start/len) x position_weight + 1),
  // or weight x -0.5 when a negation starts at most negation_radius bytes
  // before it; category scores are clamped at 0; the best (ties to the later
  // category) wins when it holds at least 0.3 of the total, else Default.
  ClassificationResult classify(std::string_view text) const;

 private:
  double position_weight_;
  std::uint64_t negation_radius_;
};

ClassificationResult classify_task(std::string_view text);
bool has_action_keywords(std::string_view text);
bool has_analysis_keywords(std::string_view text);
bool has_generation_keywords(std::string_view text);
bool has_negation(std::string_view text);
// (start, end, matched text, category) of every category keyword match,
// sorted by start; equal starts keep the category order.
std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string, const char*>> find_all_keywords(
    std::string_view text);

}  // namespace pelrin::classifier
