// Normalisation, type guessing and quote repair of tool-argument strings.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace pelrin::arg_normalizer {

// (value, true) when value is valid JSON; else the repair of value, then
// the repair with trailing commas removed, whichever first is valid, with
// true; else (value, false) with the input unchanged.
std::pair<std::string, bool> normalize_json_string(std::string_view value);
std::vector<std::pair<std::string, bool>> batch_normalize_json_strings(
    const std::vector<std::string_view>& values);

// `text` with every comma outside double-quoted strings dropped when the
// next character that is not Unicode White_Space is "}" or "]". Backslashes
// escape the next character inside and outside strings.
std::string remove_trailing_commas(std::string_view text);

// (type_name, value_str, 1.0) for the value trimmed of White_Space, s:
// "null" for nil/null/none, "bool" for false/true (any letter case), "int"
// for [+-]digits within signed 64 bits (canonical decimal), "float" for a
// decimal or inf/infinity/nan (shortest positional digits, "inf", "-inf",
// "NaN", "-0"), "list"/"dict" for bracketed valid JSON, else "string" with s.
std::tuple<std::string, std::string, double> coerce_string_type(std::string_view value);
std::vector<std::tuple<std::string, std::string, double>> batch_coerce_string_types(
    const std::vector<std::string_view>& values);

// The float layout of coerce_string_type: shortest round-trip digits,
// positional, no exponent and no ".0" ("100000", "0.0000001", "2.5").
std::string shortest_positional(double value);

// "null", "bool", "int", "float", "string", "list" or "dict" for the
// top-level value of a valid document, else nothing. "int" means written
// without fraction and exponent and within signed or unsigned 64 bits.
std::optional<const char*> get_json_type(std::string_view value);

// Whether value is one strict JSON document.
bool is_valid_json(std::string_view value);

// Single quotes turned into double quotes: all of them when the text has no
// double quote, otherwise by a pass that tracks which quote opened the
// current string (a double quote inside a single-quoted string becomes \").
// Text without single quotes is returned unchanged.
std::string repair_quotes(std::string_view value);

}  // namespace pelrin::arg_normalizer
