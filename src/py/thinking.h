// Reasoning-loop detection classes and functions of the module.
#pragma once

#include "core/thinking/thinking_detector.h"
#include "py/frame/entry.h"

namespace pelrin::py {

template <>
struct ClassOf<thinking::ThinkingDetector> {
  static ClassDef& def();
};
template <>
struct ClassOf<thinking::PatternAnalysis> {
  static ClassDef& def();
};

PyTypeObject* thinking_detector_type();
PyTypeObject* pattern_analysis_type();

extern const FunctionDef kDetectCircularPhrases;
extern const FunctionDef kCountCircularPatterns;
extern const FunctionDef kFindCircularPatterns;

}  // namespace pelrin::py
