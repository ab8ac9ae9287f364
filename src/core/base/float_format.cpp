// Float layouts over std::to_chars, which gives the shortest digits.
#include "core/base/float_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace pelrin {

ShortestDecimal shortest_decimal(double value) {
  ShortestDecimal out;
  out.negative = std::signbit(value);
  char buf[64];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
  // Scientific form is "d[.ddd]e[+-]XX".
  const char* p = buf;
  const char* end = res.ptr;
  while (p < end && *p != 'e') {
    if (*p != '.') out.digits.push_back(*p);
    ++p;
  }
  if (p < end) {
    // to_chars does not terminate the text: parse within [p + 1, end).
    const char* e = p + 1;
    if (e < end && *e == '+') ++e;
    std::from_chars(e, end, out.exponent);
  }
  while (out.digits.size() > 1 && out.digits.back() == '0') out.digits.pop_back();
  return out;
}

std::string python_float_repr(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0.0) return std::signbit(value) ? "-0.0" : "0.0";
  const ShortestDecimal d = shortest_decimal(value);
  std::string out = d.negative ? "-" : "";
  const int n = static_cast<int>(d.digits.size());
  if (d.exponent >= -4 && d.exponent < 16) {
    if (d.exponent < 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-d.exponent - 1), '0');
      out += d.digits;
    } else if (d.exponent + 1 >= n) {
      out += d.digits;
      out.append(static_cast<std::size_t>(d.exponent + 1 - n), '0');
      out += ".0";
    } else {
      out.append(d.digits, 0, static_cast<std::size_t>(d.exponent + 1));
      out += '.';
      out.append(d.digits, static_cast<std::size_t>(d.exponent + 1));
    }
    return out;
  }
  out += d.digits[0];
  if (n > 1) {
    out += '.';
    out.append(d.digits, 1);
  }
  out += d.exponent < 0 ? "e-" : "e+";
  const int e = std::abs(d.exponent);
  if (e < 10) out += '0';
  out += std::to_string(e);
  return out;
}

}  // namespace pelrin
