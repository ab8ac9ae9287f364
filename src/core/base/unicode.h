// Unicode character properties: the fixed White_Space set (by code point and
// on UTF-8 bytes, for hot loops) and properties read from ICU.
#pragma once

#include <cstddef>
#include <string_view>

namespace pelrin::unicode {

// White_Space: U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680,
// U+2000..U+200A, U+2028, U+2029, U+202F, U+205F, U+3000.
constexpr bool is_white_space(char32_t cp) noexcept {
  if (cp < 0x80) return cp == 0x20 || (cp >= 0x09 && cp <= 0x0D);
  switch (cp) {
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

// Byte length of the White_Space character starting at text[pos] of valid
// UTF-8, or 0 when the character there is not white space. Decodes nothing
// for ordinary ASCII and for lead bytes that cannot start white space.
constexpr std::size_t white_space_length(std::string_view text, std::size_t pos) noexcept {
  const auto b0 = static_cast<unsigned char>(text[pos]);
  if (b0 < 0x80) return (b0 == 0x20 || (b0 >= 0x09 && b0 <= 0x0D)) ? 1 : 0;
  const std::size_t left = text.size() - pos;
  if (b0 == 0xC2) {
    if (left < 2) return 0;
    const auto b1 = static_cast<unsigned char>(text[pos + 1]);
    return (b1 == 0x85 || b1 == 0xA0) ? 2 : 0;
  }
  if (b0 != 0xE1 && b0 != 0xE2 && b0 != 0xE3) return 0;
  if (left < 3) return 0;
  const auto b1 = static_cast<unsigned char>(text[pos + 1]);
  const auto b2 = static_cast<unsigned char>(text[pos + 2]);
  if (b0 == 0xE1) return (b1 == 0x9A && b2 == 0x80) ? 3 : 0;  // U+1680
  if (b0 == 0xE3) return (b1 == 0x80 && b2 == 0x80) ? 3 : 0;  // U+3000
  if (b1 == 0x80) {
    return (b2 <= 0x8A || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF) && b2 >= 0x80 ? 3 : 0;
  }
  return (b1 == 0x81 && b2 == 0x9F) ? 3 : 0;  // U+205F
}

// True for characters a text form should show as an escape: controls,
// format characters, surrogates, private use, unassigned code points, line
// and paragraph separators, space separators other than U+0020, and
// combining marks (Grapheme_Extend).
bool needs_escape(char32_t cp) noexcept;

}  // namespace pelrin::unicode
