// Pattern matching classes and functions of the module.
#pragma once

#include "core/pattern_match/pattern_matcher.h"
#include "py/frame/entry.h"

namespace pelrin::py {

template <>
struct ClassOf<pattern_match::PatternMatch> {
  static ClassDef& def();
};
template <>
struct ClassOf<pattern_match::PatternMatcher> {
  static ClassDef& def();
};

PyTypeObject* pattern_matcher_type();
PyTypeObject* pattern_match_type();

extern const FunctionDef kContainsAnyPattern;
extern const FunctionDef kFindAllPatterns;
extern const FunctionDef kCountPatternMatches;
extern const FunctionDef kGetMatchedPatternIndices;
extern const FunctionDef kBatchContainsAny;
extern const FunctionDef kWeightedPatternScore;

}  // namespace pelrin::py
