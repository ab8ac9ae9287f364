// The quoted text form used by reprs: double quotes, backslash escapes.
#pragma once

#include <string>
#include <string_view>

namespace pelrin {

// Appends `text` (valid UTF-8) in double quotes: a backslash before each
// double quote and backslash; \t, \r, \n and \0 for tab, carriage return,
// line feed and NUL; \u{X} (lowercase hexadecimal, no leading zeros) for
// characters unicode::needs_escape marks; every other character as it is.
void append_quoted(std::string& out, std::string_view text);

// The same as a new string.
std::string quoted(std::string_view text);

}  // namespace pelrin
