// Pattern matching: PatternMatcher, PatternMatch and the quick functions.
#include "py/pattern_match.h"

#include <string>
#include <vector>

namespace pelrin::py {
namespace {

using pattern_match::PatternMatch;
using pattern_match::PatternMatcher;

const PropertyDef kPatternMatchProperties[] = {
    read_only<&PatternMatch::pattern_idx>("pattern_idx", "The pattern index that matched"),
    read_only<&PatternMatch::matched_text>("matched_text",
                                           "The matched text (owned for Python FFI)"),
    read_only<&PatternMatch::start>("start", "Start position in text"),
    read_only<&PatternMatch::end>("end", "End position in text"),
};
const PyType_Slot kPatternMatchSlots[] = {
    {Py_tp_repr, reinterpret_cast<void*>(&unary_slot<&pattern_match::pattern_match_repr>)}};
const ClassSpec kPatternMatchSpec{
    "PatternMatch",
    "Owned version of PatternMatch for Python compatibility\n"
    "(stores owned strings to avoid lifetime issues across Python FFI boundary)",
    nullptr,
    nullptr,
    sizeof(Object<PatternMatch>),
    &dealloc_object<PatternMatch>,
    {},
    kPatternMatchProperties,
    kPatternMatchSlots};

Result<PatternMatcher> matcher_new(std::vector<std::string> patterns, bool case_insensitive) {
  return PatternMatcher::create(std::move(patterns), case_insensitive);
}

constexpr char kOwner[] = "PatternMatcher";
constexpr Param kNewParams[] = {{"patterns"}, {"case_insensitive", true}};
constexpr Signature kNewSig{"__new__", kOwner, kNewParams,
                            "Fast multi-pattern matcher using Aho-Corasick algorithm"};
constexpr Param kTextParam[] = {{"text"}};
constexpr Signature kFindAllSig{"find_all", kOwner, kTextParam,
                                "Find all matches in text (Python FFI version with owned strings)"};
constexpr Signature kContainsAnySig{"contains_any", kOwner, kTextParam,
                                    "Check if text contains any pattern"};
constexpr Signature kCountMatchesSig{"count_matches", kOwner, kTextParam,
                                     "Count total number of matches"};
constexpr Signature kCountByPatternSig{"count_by_pattern", kOwner, kTextParam,
                                       "Count matches per pattern"};
constexpr Signature kMatchedPatternsSig{"matched_patterns", kOwner, kTextParam,
                                        "Get unique pattern indices that matched"};
constexpr Signature kMatchedStringsSig{"matched_pattern_strings", kOwner, kTextParam,
                                       "Get pattern strings that matched"};
constexpr Param kIdxParam[] = {{"idx"}};
constexpr Signature kGetPatternSig{"get_pattern", kOwner, kIdxParam, "Get pattern at index"};
constexpr Signature kPatternCountSig{"pattern_count", kOwner, {}, "Get number of patterns"};
constexpr Param kReplaceParams[] = {{"text"}, {"replacement"}};
constexpr Signature kReplaceAllSig{"replace_all", kOwner, kReplaceParams,
                                   "Replace all matches with a replacement string"};
constexpr Param kReplaceWithParams[] = {{"text"}, {"replacements"}};
constexpr Signature kReplaceAllWithSig{"replace_all_with", kOwner, kReplaceWithParams,
                                       "Replace matches with pattern-specific replacements"};

const MethodDef kMatcherMethods[] = {
    method<&PatternMatcher::find_all, kFindAllSig>(),
    method<&PatternMatcher::contains_any, kContainsAnySig>(),
    method<&PatternMatcher::count_matches, kCountMatchesSig>(),
    method<&PatternMatcher::count_by_pattern, kCountByPatternSig>(),
    method<&PatternMatcher::matched_patterns, kMatchedPatternsSig>(),
    method<&PatternMatcher::matched_pattern_strings, kMatchedStringsSig>(),
    method<&PatternMatcher::get_pattern, kGetPatternSig>(),
    method<&PatternMatcher::pattern_count, kPatternCountSig>(),
    method<&PatternMatcher::replace_all, kReplaceAllSig>(),
    method<&PatternMatcher::replace_all_with, kReplaceAllWithSig>(),
};
const PropertyDef kMatcherProperties[] = {
    read_only<&PatternMatcher::case_insensitive>("case_insensitive",
                                                 "Whether matching is case-insensitive"),
};
const ClassSpec kPatternMatcherSpec{"PatternMatcher",
                                    "Fast multi-pattern matcher using Aho-Corasick algorithm",
                                    &kNewSig,
                                    &constructor_entry<&matcher_new, kNewSig>,
                                    sizeof(Object<PatternMatcher>),
                                    &dealloc_object<PatternMatcher>,
                                    kMatcherMethods,
                                    kMatcherProperties,
                                    {}};

constexpr Param kQuickParams[] = {{"text"}, {"patterns"}, {"case_insensitive", true}};
constexpr Signature kContainsAnyPatternSig{
    "contains_any_pattern", nullptr, kQuickParams,
    "Quick function to check if text contains any of the patterns"};
constexpr Signature kFindAllPatternsSig{
    "find_all_patterns", nullptr, kQuickParams,
    "Quick function to find all pattern matches in text (zero-copy internal)"};
constexpr Signature kCountPatternMatchesSig{"count_pattern_matches", nullptr, kQuickParams,
                                            "Quick function to count pattern matches"};
constexpr Signature kGetMatchedPatternIndicesSig{
    "get_matched_pattern_indices", nullptr, kQuickParams,
    "Quick function to get indices of matched patterns"};
constexpr Param kBatchParams[] = {{"texts"}, {"patterns"}, {"case_insensitive", true}};
constexpr Signature kBatchContainsAnySig{"batch_contains_any", nullptr, kBatchParams,
                                         "Batch check multiple texts against the same patterns"};
constexpr Param kWeightedParams[] = {
    {"text"}, {"patterns"}, {"weights"}, {"case_insensitive", true}};
constexpr Signature kWeightedPatternScoreSig{
    "weighted_pattern_score", nullptr, kWeightedParams,
    "Calculate a weighted score for pattern matches\n\n"
    "Each pattern can have an associated weight. The score is the sum of\n"
    "the weights of all matched patterns, each pattern counted once."};

}  // namespace

ClassDef& ClassOf<PatternMatch>::def() {
  static ClassDef d(kPatternMatchSpec);
  return d;
}
ClassDef& ClassOf<PatternMatcher>::def() {
  static ClassDef d(kPatternMatcherSpec);
  return d;
}

PyTypeObject* pattern_matcher_type() { return class_type<PatternMatcher>(); }
PyTypeObject* pattern_match_type() { return class_type<PatternMatch>(); }

const FunctionDef kContainsAnyPattern =
    function<&pattern_match::contains_any_pattern, kContainsAnyPatternSig>();
const FunctionDef kFindAllPatterns =
    function<&pattern_match::find_all_patterns, kFindAllPatternsSig>();
const FunctionDef kCountPatternMatches =
    function<&pattern_match::count_pattern_matches, kCountPatternMatchesSig>();
const FunctionDef kGetMatchedPatternIndices =
    function<&pattern_match::get_matched_pattern_indices, kGetMatchedPatternIndicesSig>();
const FunctionDef kBatchContainsAny =
    function<&pattern_match::batch_contains_any, kBatchContainsAnySig>();
const FunctionDef kWeightedPatternScore =
    function<&pattern_match::weighted_pattern_score, kWeightedPatternScoreSig>();

}  // namespace pelrin::py
