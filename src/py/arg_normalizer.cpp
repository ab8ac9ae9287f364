// Argument normalizer: descriptors and docstrings.
#include "py/arg_normalizer.h"

#include "core/arg_normalizer/normalizer.h"

namespace pelrin::py {
namespace {

constexpr Param kValueParam[] = {{"value"}};
constexpr Param kValuesParam[] = {{"values"}};

constexpr Signature kCoerceSig{
    "coerce_string_type", nullptr, kValueParam,
    "Coerce a string value to its likely type.\n\n"
    "Returns (type_name, value_str, confidence) with type_name one of \"null\", \"bool\",\n"
    "\"int\", \"float\", \"list\", \"dict\" or \"string\"."};
constexpr Signature kBatchCoerceSig{
    "batch_coerce_string_types", nullptr, kValuesParam,
    "Batch coerce multiple string values.\n\n"
    "One (type_name, value_str, confidence) tuple per value, in order."};
constexpr Signature kNormalizeSig{
    "normalize_json_string", nullptr, kValueParam,
    "Normalize a potentially malformed JSON string.\n\n"
    "Returns (normalized_json, success): the value itself when it is valid JSON, else\n"
    "its repair (Python syntax converted, then trailing commas removed) when that is\n"
    "valid, else the value unchanged with False."};
constexpr Signature kBatchNormalizeSig{"batch_normalize_json_strings", nullptr, kValuesParam,
                                       "Batch normalize multiple JSON strings.\n\n"
                                       "One (normalized_json, success) tuple per value, in order."};
constexpr Signature kRepairQuotesSig{
    "repair_quotes", nullptr, kValueParam,
    "Repair mismatched or incorrect quotes in JSON.\n\n"
    "Single quotes delimiting strings become double quotes; True, False and None are\n"
    "left alone."};
constexpr Signature kIsValidJsonSig{"is_valid_json", nullptr, kValueParam,
                                    "Check if a string is valid JSON."};
constexpr Signature kGetJsonTypeSig{"get_json_type", nullptr, kValueParam,
                                    "Extract the type of a JSON value as a string."};

}  // namespace

const FunctionDef kCoerceStringType = function<&arg_normalizer::coerce_string_type, kCoerceSig>();
const FunctionDef kBatchCoerceStringTypes =
    function<&arg_normalizer::batch_coerce_string_types, kBatchCoerceSig>();
const FunctionDef kNormalizeJsonString =
    function<&arg_normalizer::normalize_json_string, kNormalizeSig>();
const FunctionDef kBatchNormalizeJsonStrings =
    function<&arg_normalizer::batch_normalize_json_strings, kBatchNormalizeSig>();
const FunctionDef kRepairQuotes = function<&arg_normalizer::repair_quotes, kRepairQuotesSig>();
const FunctionDef kIsValidJson = function<&arg_normalizer::is_valid_json, kIsValidJsonSig>();
const FunctionDef kGetJsonType = function<&arg_normalizer::get_json_type, kGetJsonTypeSig>();

}  // namespace pelrin::py
