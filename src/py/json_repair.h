// JSON repair functions of the module.
#pragma once

#include "py/frame/entry.h"

namespace pelrin::py {

extern const FunctionDef kRepairJson;
extern const FunctionDef kExtractJsonObjects;

}  // namespace pelrin::py
