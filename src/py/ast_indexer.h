// Python source indexing functions of the module.
#pragma once

#include "py/frame/entry.h"

namespace pelrin::py {

extern const FunctionDef kIsStdlibModule;
extern const FunctionDef kBatchIsStdlibModules;
extern const FunctionDef kFilterStdlibImports;
extern const FunctionDef kExtractIdentifiers;
extern const FunctionDef kExtractIdentifiersWithPositions;

}  // namespace pelrin::py
