// The pelrin_native module: its definition, exec step and registration table.
#include "py/python.h"

#include "py/ast_indexer.h"
#include "py/extractor.h"
#include "py/frame/registry.h"
#include "py/sanitizer.h"
#include "py/secrets.h"
#include "py/tokenizer.h"

namespace pelrin::py {
namespace {

PyObject* make_version() { return PyUnicode_FromString("0.12.0"); }

// Every public name in registration order: __all__ and the module's
// attributes both come from this one list. Later areas insert their rows at
// their fixed places.
const Row kRows[] = {
    attribute_row("__version__", &make_version),
    class_row("SecretMatch", &secret_match_type),
    function_row(kScanSecrets),
    function_row(kHasSecrets),
    function_row(kGetSecretTypes),
    function_row(kMaskSecrets),
    // Named here: the row is built before the no-argument descriptor's
    // dynamic initialisation in another file, so its name cannot be read.
    Row{"list_secret_patterns", nullptr, nullptr, &kListSecretPatterns},
    function_row(kScanSecretsSummary),
    function_row(kExtractFilePath),
    function_row(kExtractCodeBlocks),
    function_row(kExtractShellCommands),
    function_row(kExtractToolCall),
    function_row(kBatchExtractFilePaths),
    function_row(kSanitizeResponse),
    function_row(kIsGarbageContent),
    function_row(kDetectLeakagePatterns),
    function_row(kStripMarkup),
    function_row(kValidateToolName),
    function_row(kIsStdlibModule),
    function_row(kBatchIsStdlibModules),
    function_row(kFilterStdlibImports),
    function_row(kExtractIdentifiers),
    function_row(kExtractIdentifiersWithPositions),
    class_row("BpeTokenizer", &bpe_tokenizer_type),
    function_row(kCountTokensFast),
    function_row(kCountTokensFastBatch),
};

int exec_module(PyObject* module) { return register_rows(module, kRows); }

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    // Class objects and caches are process-wide, so one interpreter only.
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "pelrin_native",
    "Pelrin Native Extensions Module\n\n"
    "Exposes high-performance native implementations of text, vector and graph\n"
    "operations to Python. All functions handle errors gracefully and raise\n"
    "appropriate Python exceptions when needed.",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace pelrin::py

extern "C" __attribute__((visibility("default"))) PyObject* PyInit_pelrin_native() {
  return PyModuleDef_Init(&pelrin::py::kModule);
}
