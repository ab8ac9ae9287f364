// Extraction from model output: paths, code blocks, shell commands, tool calls.
#pragma once

#include "py/frame/entry.h"

namespace pelrin::py {

extern const FunctionDef kExtractFilePath;
extern const FunctionDef kExtractCodeBlocks;
extern const FunctionDef kExtractShellCommands;
extern const FunctionDef kExtractToolCall;
extern const FunctionDef kBatchExtractFilePaths;

}  // namespace pelrin::py
