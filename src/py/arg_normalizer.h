// Argument normalizer functions of the module.
#pragma once

#include "py/frame/entry.h"

namespace pelrin::py {

extern const FunctionDef kCoerceStringType;
extern const FunctionDef kBatchCoerceStringTypes;
extern const FunctionDef kNormalizeJsonString;
extern const FunctionDef kBatchNormalizeJsonStrings;
extern const FunctionDef kRepairQuotes;
extern const FunctionDef kIsValidJson;
extern const FunctionDef kGetJsonType;

}  // namespace pelrin::py
