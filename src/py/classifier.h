// Task classification classes and functions of the module.
#pragma once

#include "core/classifier/task_classifier.h"
#include "py/frame/entry.h"

namespace pelrin::py {

template <>
struct ClassOf<classifier::TaskClassifier> {
  static ClassDef& def();
};
template <>
struct ClassOf<classifier::ClassificationResult> {
  static ClassDef& def();
};
template <>
struct EnumOf<classifier::TaskType> {
  static EnumDef& def();
};

PyTypeObject* task_classifier_type();
PyTypeObject* classification_result_type();
PyTypeObject* task_type_type();

extern const FunctionDef kClassifyTask;
extern const FunctionDef kHasActionKeywords;
extern const FunctionDef kHasAnalysisKeywords;
extern const FunctionDef kHasGenerationKeywords;
extern const FunctionDef kHasNegation;
extern const FunctionDef kFindAllKeywords;

}  // namespace pelrin::py
