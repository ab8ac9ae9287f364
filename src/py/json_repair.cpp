// JSON repair: descriptors and docstrings.
#include "py/json_repair.h"

#include "core/json_repair/repair.h"

namespace pelrin::py {
namespace {

constexpr Param kInputParam[] = {{"input"}};
constexpr Signature kRepairJsonSig{
    "repair_json", nullptr, kInputParam,
    "Repair malformed JSON by converting Python-style syntax to valid JSON.\n\n"
    "Single-quoted strings become double-quoted and True, False and None become\n"
    "true, false and null, in one pass that leaves the inside of double-quoted\n"
    "strings alone. Nothing else is changed; valid JSON comes back unchanged."};

constexpr Param kTextParam[] = {{"text"}};
constexpr Signature kExtractJsonObjectsSig{
    "extract_json_objects", nullptr, kTextParam,
    "Extract JSON objects from mixed text content.\n\n"
    "Returns (start_pos, end_pos, json_string) for every object or array found, with\n"
    "byte offsets into the UTF-8 text; a candidate that is not valid JSON is repaired\n"
    "when its repair is."};

}  // namespace

const FunctionDef kRepairJson = function<&json_repair::repair_json, kRepairJsonSig>();
const FunctionDef kExtractJsonObjects =
    function<&json_repair::extract_json_objects, kExtractJsonObjectsSig>();

}  // namespace pelrin::py
