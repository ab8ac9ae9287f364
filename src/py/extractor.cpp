// Extraction from model output: descriptors and docstrings.
#include "py/extractor.h"

#include "core/extractor/extract.h"
#include "core/extractor/tool_call.h"

namespace pelrin::py {
namespace {

// The result dict mixes value types in a fixed key order.
Owned extract_tool_call_py(std::string_view text, std::string_view tool_name,
                           std::optional<std::string_view> current_file) {
  std::optional<extractor::ExtractedToolCall> call =
      extractor::extract_tool_call(text, tool_name, current_file);
  if (!call) return {Py_NewRef(Py_None)};
  return {keyed_dict({"tool", "args", "confidence", "source"}, call->tool,
                     Owned{dict_from_entries(call->args)}, call->confidence, call->source)};
}

constexpr Param kTextParam[] = {{"text"}};
constexpr Param kTextsParam[] = {{"texts"}};
constexpr Signature kFilePathSig{
    "extract_file_path", nullptr, kTextParam,
    "Extract a file path from text.\n\n"
    "Returns the first path-like word with an extension that the text names as\n"
    "a target, or None."};
constexpr Signature kCodeBlocksSig{
    "extract_code_blocks", nullptr, kTextParam,
    "Extract code blocks from text (fenced and indented).\n\n"
    "Fenced blocks win; indented blocks are used only when there is no fenced one."};
constexpr Signature kShellSig{
    "extract_shell_commands", nullptr, kTextParam,
    "Extract shell commands from text.\n\n"
    "Fenced shell blocks first, then quoted run/execute/command texts, then\n"
    "\"$ \" prompt lines."};
constexpr Param kToolCallParams[] = {{"text"}, {"tool_name"}, {"current_file", kNoneDefault}};
constexpr Signature kToolCallSig{
    "extract_tool_call", nullptr, kToolCallParams,
    "Extract a tool call from text for a specific tool.\n\n"
    "Returns a dict with \"tool\", \"args\", \"confidence\" and \"source\", or None."};
constexpr Signature kBatchSig{"batch_extract_file_paths", nullptr, kTextsParam,
                              "Extract file paths from multiple texts (batch operation).\n\n"
                              "The results equal extract_file_path of each text, in input order."};

}  // namespace

const FunctionDef kExtractFilePath = function<&extractor::extract_file_path, kFilePathSig>();
const FunctionDef kExtractCodeBlocks = function<&extractor::extract_code_blocks, kCodeBlocksSig>();
const FunctionDef kExtractShellCommands = function<&extractor::extract_shell_commands, kShellSig>();
const FunctionDef kExtractToolCall = function<&extract_tool_call_py, kToolCallSig>();
const FunctionDef kBatchExtractFilePaths =
    function<&extractor::batch_extract_file_paths, kBatchSig>();

}  // namespace pelrin::py
