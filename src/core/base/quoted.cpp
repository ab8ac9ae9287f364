// The quoted text form of reprs.
#include "core/base/quoted.h"

#include "core/base/unicode.h"
#include "core/base/utf8.h"

namespace pelrin {
namespace {

void append_hex(std::string& out, char32_t cp) {
  static constexpr char kHex[] = "0123456789abcdef";
  char buf[8];
  int n = 0;
  do {
    buf[n++] = kHex[cp & 0xF];
    cp >>= 4;
  } while (cp != 0);
  while (n > 0) out.push_back(buf[--n]);
}

}  // namespace

void append_quoted(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size() + 2);
  out.push_back('"');
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    const std::size_t start = i;
    const char32_t cp = utf8::decode(text, i);
    switch (cp) {
      case U'"':
        out += "\\\"";
        break;
      case U'\\':
        out += "\\\\";
        break;
      case U'\t':
        out += "\\t";
        break;
      case U'\r':
        out += "\\r";
        break;
      case U'\n':
        out += "\\n";
        break;
      case U'\0':
        out += "\\0";
        break;
      default:
        if (unicode::needs_escape(cp)) {
          out += "\\u{";
          append_hex(out, cp);
          out.push_back('}');
        } else {
          out.append(text.data() + start, i - start);
        }
    }
  }
  out.push_back('"');
}

std::string quoted(std::string_view text) {
  std::string out;
  append_quoted(out, text);
  return out;
}

}  // namespace pelrin
