// UTF-8 helpers over byte spans; input is assumed valid unless stated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelrin::utf8 {

// True for the bytes 0x80..0xBF, which never start a character.
constexpr bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0u) == 0x80u; }

// Number of bytes of the character whose first byte is `lead` (1 for a
// stray continuation byte, so walks always advance).
constexpr std::size_t sequence_length(unsigned char lead) noexcept {
  if (lead < 0xC0u) return 1;
  if (lead < 0xE0u) return 2;
  if (lead < 0xF0u) return 3;
  return 4;
}

// Decodes the character starting at text[pos] of valid UTF-8 and advances pos.
constexpr char32_t decode(std::string_view text, std::size_t& pos) noexcept {
  const auto b0 = static_cast<unsigned char>(text[pos]);
  const std::size_t n = sequence_length(b0);
  if (n == 1 || pos + n > text.size()) {
    ++pos;
    return b0;
  }
  char32_t cp = b0 & (0x7Fu >> n);
  for (std::size_t i = 1; i < n; ++i) {
    cp = (cp << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3Fu);
  }
  pos += n;
  return cp;
}

// Number of characters (code points) in valid UTF-8.
constexpr std::size_t count_chars(std::string_view text) noexcept {
  std::size_t n = 0;
  for (const char c : text) n += !is_continuation(static_cast<unsigned char>(c));
  return n;
}

// The largest boundary <= byte_index that starts a character.
constexpr std::size_t floor_boundary(std::string_view text, std::size_t byte_index) noexcept {
  if (byte_index >= text.size()) return text.size();
  while (byte_index > 0 && is_continuation(static_cast<unsigned char>(text[byte_index]))) {
    --byte_index;
  }
  return byte_index;
}

// Appends the UTF-8 form of cp (a Unicode scalar value) to out.
inline void append(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace pelrin::utf8
