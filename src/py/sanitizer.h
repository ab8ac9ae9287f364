// Response sanitizing functions of the module.
#pragma once

#include "py/frame/entry.h"

namespace pelrin::py {

extern const FunctionDef kSanitizeResponse;
extern const FunctionDef kIsGarbageContent;
extern const FunctionDef kDetectLeakagePatterns;
extern const FunctionDef kStripMarkup;
extern const FunctionDef kValidateToolName;

}  // namespace pelrin::py
