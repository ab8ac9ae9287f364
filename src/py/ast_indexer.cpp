// Python source indexing: descriptors and docstrings.
#include "py/ast_indexer.h"

#include "core/ast_indexer/source_index.h"

namespace pelrin::py {
namespace {

constexpr Param kModuleNameParam[] = {{"module_name"}};
constexpr Param kModuleNamesParam[] = {{"module_names"}};
constexpr Param kImportsParam[] = {{"imports"}};
constexpr Param kSourceParam[] = {{"source"}};
constexpr Signature kIsStdlibSig{"is_stdlib_module", nullptr, kModuleNameParam,
                                 "Check if a module name is a standard library module.\n\n"
                                 "A dotted name counts when its top-level package does."};
constexpr Signature kBatchSig{"batch_is_stdlib_modules", nullptr, kModuleNamesParam,
                              "Check multiple module names for stdlib membership."};
constexpr Signature kFilterSig{"filter_stdlib_imports", nullptr, kImportsParam,
                               "Partition imports into stdlib and non-stdlib.\n\n"
                               "Returns (stdlib, non_stdlib), each in input order."};
constexpr Signature kIdentifiersSig{"extract_identifiers", nullptr, kSourceParam,
                                    "Extract all unique identifier references from source code.\n\n"
                                    "The order of the result is not defined."};
constexpr Signature kPositionsSig{
    "extract_identifiers_with_positions", nullptr, kSourceParam,
    "Extract identifiers with their positions.\n\n"
    "Returns (name, start, end) tuples in text order; offsets are UTF-8 bytes."};

}  // namespace

const FunctionDef kIsStdlibModule = function<&ast_indexer::is_stdlib_module, kIsStdlibSig>();
const FunctionDef kBatchIsStdlibModules =
    function<&ast_indexer::batch_is_stdlib_modules, kBatchSig>();
const FunctionDef kFilterStdlibImports =
    function<&ast_indexer::filter_stdlib_imports, kFilterSig>();
const FunctionDef kExtractIdentifiers =
    function<&ast_indexer::extract_identifiers, kIdentifiersSig>();
const FunctionDef kExtractIdentifiersWithPositions =
    function<&ast_indexer::extract_identifiers_with_positions, kPositionsSig>();

}  // namespace pelrin::py
