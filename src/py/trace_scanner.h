// Usage trace scanner of the module: SessionStats and the scan functions.
#pragma once

#include "core/trace_scanner/scanner.h"
#include "py/frame/entry.h"

namespace pelrin::py {

template <>
struct ClassOf<trace_scanner::SessionStats> {
  static ClassDef& def();
};

PyTypeObject* session_stats_type();

extern const FunctionDef kScanUsageFile;
extern const FunctionDef kScanUsageFiles;

}  // namespace pelrin::py
