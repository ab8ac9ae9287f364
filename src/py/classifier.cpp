// Task classification: TaskType, TaskClassifier, ClassificationResult and
// the keyword functions.
#include "py/classifier.h"

namespace pelrin::py {
namespace {

using classifier::ClassificationResult;
using classifier::TaskClassifier;
using classifier::TaskType;

const EnumMember kTaskTypes[] = {
    {"Action", "action", 0}, {"Analysis", "analysis", 1}, {"Generation", "generation", 2},
    {"Search", "search", 3}, {"Edit", "edit", 4},         {"Default", "default", 5}};

// Mixed value types in a fixed key order.
Owned to_legacy_dict(const ClassificationResult& r) {
  return {keyed_dict({"is_action_task", "is_analysis_task", "needs_execution", "coarse_task_type",
                      "confidence", "source", "task_type"},
                     classifier::is_action_task(r), classifier::is_analysis_task(r),
                     classifier::needs_execution(r), classifier::coarse_task_type(r.task_type),
                     r.confidence, "native", classifier::task_type_text(r.task_type))};
}

constexpr Signature kLegacySig{"to_legacy_dict",
                               "ClassificationResult",
                               {},
                               "Convert to legacy dictionary format for backward compatibility."};
const MethodDef kResultMethods[] = {method<&to_legacy_dict, kLegacySig>()};
const PropertyDef kResultProperties[] = {
    read_only<&ClassificationResult::task_type>("task_type", "The chosen task type"),
    read_only<&ClassificationResult::confidence>("confidence",
                                                 "Winning score over the sum of all scores"),
    read_only<&ClassificationResult::matched_count>("matched_count",
                                                    "Keyword matches that were not negated"),
    read_only<&ClassificationResult::negated_count>("negated_count",
                                                    "Keyword matches that were negated"),
    read_only<&classifier::recommended_tool_budget>("recommended_tool_budget",
                                                    "Recommended tool budget"),
    read_only<&classifier::is_action_task>("is_action_task", "Action, Generation or Edit"),
    read_only<&classifier::is_analysis_task>("is_analysis_task", "Analysis or Search"),
    read_only<&classifier::is_generation_task>("is_generation_task", "Generation"),
    read_only<&classifier::needs_execution>("needs_execution", "Action"),
};
const PyType_Slot kResultSlots[] = {
    {Py_tp_repr, reinterpret_cast<void*>(&unary_slot<&classifier::classification_result_repr>)}};
const ClassSpec kResultSpec{"ClassificationResult",
                            "Classification result with confidence and metadata",
                            nullptr,
                            nullptr,
                            sizeof(Object<ClassificationResult>),
                            &dealloc_object<ClassificationResult>,
                            kResultMethods,
                            kResultProperties,
                            kResultSlots};

TaskClassifier classifier_new(double position_weight, std::uint64_t negation_radius) {
  return TaskClassifier(position_weight, negation_radius);
}

constexpr Param kNewParams[] = {{"position_weight", 0.1}, {"negation_radius", 20}};
constexpr Signature kNewSig{"__new__", "TaskClassifier", kNewParams,
                            "Fast task classifier using Aho-Corasick multi-pattern matching."};
constexpr Param kTextParam[] = {{"text"}};
constexpr Signature kClassifySig{
    "classify", "TaskClassifier", kTextParam,
    "Classify a task from user input text.\n\n"
    "Returns classification result with task type, confidence, and metadata."};
const MethodDef kClassifierMethods[] = {method<&TaskClassifier::classify, kClassifySig>()};
const ClassSpec kClassifierSpec{"TaskClassifier",
                                kNewSig.doc,
                                &kNewSig,
                                &constructor_entry<&classifier_new, kNewSig>,
                                sizeof(Object<TaskClassifier>),
                                &dealloc_object<TaskClassifier>,
                                kClassifierMethods,
                                {},
                                {}};

constexpr Signature kClassifyTaskSig{
    "classify_task", nullptr, kTextParam,
    "Classify a task using default settings (convenience function)."};
constexpr Signature kHasActionSig{"has_action_keywords", nullptr, kTextParam,
                                  "Check if text contains action keywords."};
constexpr Signature kHasAnalysisSig{"has_analysis_keywords", nullptr, kTextParam,
                                    "Check if text contains analysis keywords."};
constexpr Signature kHasGenerationSig{"has_generation_keywords", nullptr, kTextParam,
                                      "Check if text contains generation keywords."};
constexpr Signature kHasNegationSig{"has_negation", nullptr, kTextParam,
                                    "Check if text contains negation patterns."};
constexpr Signature kFindAllKeywordsSig{
    "find_all_keywords", nullptr, kTextParam,
    "Find all keyword matches in text (Python FFI version with owned strings)."};

}  // namespace

ClassDef& ClassOf<TaskClassifier>::def() {
  static ClassDef d(kClassifierSpec);
  return d;
}
ClassDef& ClassOf<ClassificationResult>::def() {
  static ClassDef d(kResultSpec);
  return d;
}
EnumDef& EnumOf<TaskType>::def() {
  static EnumDef d("TaskType", "Task type enumeration", kTaskTypes);
  return d;
}

PyTypeObject* task_classifier_type() { return class_type<TaskClassifier>(); }
PyTypeObject* classification_result_type() { return class_type<ClassificationResult>(); }
PyTypeObject* task_type_type() { return EnumOf<TaskType>::def().type(); }

const FunctionDef kClassifyTask = function<&classifier::classify_task, kClassifyTaskSig>();
const FunctionDef kHasActionKeywords = function<&classifier::has_action_keywords, kHasActionSig>();
const FunctionDef kHasAnalysisKeywords =
    function<&classifier::has_analysis_keywords, kHasAnalysisSig>();
const FunctionDef kHasGenerationKeywords =
    function<&classifier::has_generation_keywords, kHasGenerationSig>();
const FunctionDef kHasNegation = function<&classifier::has_negation, kHasNegationSig>();
const FunctionDef kFindAllKeywords =
    function<&classifier::find_all_keywords, kFindAllKeywordsSig>();

}  // namespace pelrin::py
