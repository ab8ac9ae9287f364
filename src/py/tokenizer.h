// Token counting functions of the module.
#pragma once

#include "py/frame/entry.h"

namespace pelrin::py {

extern const FunctionDef kCountTokensFast;
extern const FunctionDef kCountTokensFastBatch;

}  // namespace pelrin::py
