// Unicode properties read from ICU.
#include "core/base/unicode.h"

#include <unicode/uchar.h>

namespace pelrin::unicode {

bool needs_escape(char32_t cp) noexcept {
  const auto c = static_cast<UChar32>(cp);
  switch (u_charType(c)) {
    case U_CONTROL_CHAR:
    case U_FORMAT_CHAR:
    case U_SURROGATE:
    case U_PRIVATE_USE_CHAR:
    case U_UNASSIGNED:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
      return true;
    case U_SPACE_SEPARATOR:
      return cp != U' ';
    default:
      return u_hasBinaryProperty(c, UCHAR_GRAPHEME_EXTEND) != 0;
  }
}

}  // namespace pelrin::unicode
