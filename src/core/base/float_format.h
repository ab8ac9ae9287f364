// Shortest round-trip decimal digits of a double, and layouts built on them.
#pragma once

#include <string>

namespace pelrin {

// The shortest digit string that reads back to |value|: digits without a
// point or leading zeros, and the decimal exponent of the leading digit
// (value = 0.d1d2d3... * 10^(exponent + 1)). Finite, non-zero values only.
struct ShortestDecimal {
  std::string digits;
  int exponent = 0;
  bool negative = false;
};
ShortestDecimal shortest_decimal(double value);

// The text Python's repr() gives a float: positional for exponents -4..15
// ("0.1", "20.0", "0.0001"), otherwise scientific with a signed exponent of
// at least two digits ("1e-05", "1e+16"); "inf", "-inf", "nan".
std::string python_float_repr(double value);

}  // namespace pelrin
