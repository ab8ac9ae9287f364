// Response sanitizing: descriptors and docstrings.
#include "py/sanitizer.h"

#include "core/sanitizer/sanitizer.h"

namespace pelrin::py {
namespace {

constexpr Param kTextParam[] = {{"text"}};
constexpr Param kContentParam[] = {{"content"}};
constexpr Param kNameParam[] = {{"name"}};
constexpr Signature kSanitizeSig{
    "sanitize_response", nullptr, kTextParam,
    "Sanitize model response by removing malformed patterns.\n\n"
    "Removes leaked tool and function tags, raw tool-call objects, thinking\n"
    "markers and leaked prompt sentences, then trims the result."};
constexpr Signature kGarbageSig{"is_garbage_content", nullptr, kContentParam,
                                "Detect if content is garbage/malformed output."};
constexpr Signature kLeakageSig{
    "detect_leakage_patterns", nullptr, kTextParam,
    "Detect training data leakage patterns in text.\n\n"
    "Returns (start, end, pattern_name) tuples with byte offsets, sorted by start."};
constexpr Signature kStripSig{"strip_markup", nullptr, kTextParam,
                              "Remove XML/HTML-like tags to salvage plain text."};
constexpr Signature kValidateSig{"validate_tool_name", nullptr, kNameParam,
                                 "Validate a tool name is not a hallucination.\n\n"
                                 "Returns (is_valid, rejection_reason)."};

}  // namespace

const FunctionDef kSanitizeResponse = function<&sanitizer::sanitize_response, kSanitizeSig>();
const FunctionDef kIsGarbageContent = function<&sanitizer::is_garbage_content, kGarbageSig>();
const FunctionDef kDetectLeakagePatterns =
    function<&sanitizer::detect_leakage_patterns, kLeakageSig>();
const FunctionDef kStripMarkup = function<&sanitizer::strip_markup, kStripSig>();
const FunctionDef kValidateToolName = function<&sanitizer::validate_tool_name, kValidateSig>();

}  // namespace pelrin::py
