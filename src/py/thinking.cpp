// Reasoning-loop detection: ThinkingDetector, PatternAnalysis and the
// circular-phrase functions.
#include "py/thinking.h"

namespace pelrin::py {
namespace {

using thinking::PatternAnalysis;
using thinking::ThinkingDetector;

// Ints and one float in a fixed key order.
Owned get_stats(const ThinkingDetector& d) {
  const thinking::DetectorStats s = d.get_stats();
  return {keyed_dict(
      {"total_analyzed", "loops_detected", "exact_matches", "similar_matches", "stalling_detected",
       "consecutive_stalls", "detection_rate", "history_size", "unique_patterns"},
      s.total_analyzed, s.loops_detected, s.exact_matches, s.similar_matches, s.stalling_detected,
      s.consecutive_stalls, s.detection_rate, s.history_size, s.unique_patterns)};
}

ThinkingDetector detector_new(std::uint64_t repetition_threshold, double similarity_threshold,
                              std::uint64_t window_size, std::uint64_t stalling_threshold) {
  return ThinkingDetector(repetition_threshold, similarity_threshold, window_size,
                          stalling_threshold);
}

constexpr char kOwner[] = "ThinkingDetector";
constexpr Param kNewParams[] = {{"repetition_threshold", 3},
                                {"similarity_threshold", 0.65},
                                {"window_size", 10},
                                {"stalling_threshold", 2}};
constexpr Signature kNewSig{
    "__new__", kOwner, kNewParams,
    "High-performance thinking pattern detector.\n\n"
    "Detects stalling, exact repetition and semantic repetition across the\n"
    "thinking blocks of one task and returns corrective guidance."};
constexpr Param kContentParam[] = {{"content"}};
constexpr Signature kRecordSig{
    "record_thinking", kOwner, kContentParam,
    "Record a thinking block and detect loops.\n\n"
    "Returns (is_loop, guidance_message); the message is empty without a loop."};
constexpr Signature kStatsSig{"get_stats", kOwner, {}, "Get detection statistics."};
constexpr Signature kClearSig{
    "clear_stats", kOwner, {}, "Clear statistics but keep pattern history."};
constexpr Signature kResetSig{"reset", kOwner, {}, "Reset detector state for new task."};

const MethodDef kDetectorMethods[] = {
    method<&ThinkingDetector::record_thinking, kRecordSig>(),
    method<&get_stats, kStatsSig>(),
    method<&ThinkingDetector::clear_stats, kClearSig>(),
    method<&ThinkingDetector::reset, kResetSig>(),
};
const ClassSpec kDetectorSpec{"ThinkingDetector",
                              kNewSig.doc,
                              &kNewSig,
                              &constructor_entry<&detector_new, kNewSig>,
                              sizeof(Object<ThinkingDetector>),
                              &dealloc_object<ThinkingDetector>,
                              kDetectorMethods,
                              {},
                              {}};

const PropertyDef kAnalysisProperties[] = {
    read_only<&PatternAnalysis::is_loop>("is_loop"),
    read_only<&PatternAnalysis::loop_type>("loop_type"),
    read_only<&PatternAnalysis::similarity_score>("similarity_score"),
    read_only<&PatternAnalysis::matching_patterns>("matching_patterns"),
    read_only<&PatternAnalysis::guidance>("guidance"),
    read_only<&PatternAnalysis::category>("category"),
};
const ClassSpec kAnalysisSpec{"PatternAnalysis",
                              "Detection result",
                              nullptr,
                              nullptr,
                              sizeof(Object<PatternAnalysis>),
                              &dealloc_object<PatternAnalysis>,
                              {},
                              kAnalysisProperties,
                              {}};

constexpr Param kTextParam[] = {{"text"}};
constexpr Signature kDetectSig{"detect_circular_phrases", nullptr, kTextParam,
                               "Detect circular phrases using Aho-Corasick."};
constexpr Signature kCountSig{"count_circular_patterns", nullptr, kTextParam,
                              "Count circular patterns in text."};
constexpr Signature kFindSig{"find_circular_patterns", nullptr, kTextParam,
                             "Find all circular pattern matches."};

}  // namespace

ClassDef& ClassOf<ThinkingDetector>::def() {
  static ClassDef d(kDetectorSpec);
  return d;
}
ClassDef& ClassOf<PatternAnalysis>::def() {
  static ClassDef d(kAnalysisSpec);
  return d;
}

PyTypeObject* thinking_detector_type() { return class_type<ThinkingDetector>(); }
PyTypeObject* pattern_analysis_type() { return class_type<PatternAnalysis>(); }

const FunctionDef kDetectCircularPhrases =
    function<&thinking::detect_circular_phrases, kDetectSig>();
const FunctionDef kCountCircularPatterns =
    function<&thinking::count_circular_patterns, kCountSig>();
const FunctionDef kFindCircularPatterns = function<&thinking::find_circular_patterns, kFindSig>();

}  // namespace pelrin::py
