// Base helpers: White_Space on bytes and code points, UTF-8 walks, float layouts.
#include <gtest/gtest.h>

#include <string>

#include "core/base/float_format.h"
#include "core/base/unicode.h"
#include "core/base/utf8.h"

namespace pelrin {
namespace {

TEST(WhiteSpace, ByteFormAgreesWithCodePointsForEveryBmpCharacter) {
  for (char32_t cp = 0; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::string s;
    utf8::append(s, cp);
    const std::size_t w = unicode::white_space_length(s, 0);
    ASSERT_EQ(w != 0, unicode::is_white_space(cp)) << std::hex << static_cast<unsigned>(cp);
    if (w != 0) {
      ASSERT_EQ(w, s.size());
    }
  }
}

TEST(WhiteSpace, TruncatedSequencesAreNotWhiteSpace) {
  EXPECT_EQ(unicode::white_space_length(std::string_view("\xE3\x80", 2), 0), 0u);
  EXPECT_EQ(unicode::white_space_length(std::string_view("\xC2", 1), 0), 0u);
}

TEST(Utf8, DecodeAppendRoundTrip) {
  for (char32_t cp : {U'a', U'\u00e9', U'\u3000', U'\U0001F600', U'\U0010FFFF'}) {
    std::string s;
    utf8::append(s, cp);
    std::size_t pos = 0;
    EXPECT_EQ(utf8::decode(s, pos), cp);
    EXPECT_EQ(pos, s.size());
    EXPECT_EQ(utf8::count_chars(s), 1u);
  }
  const std::string s = "a\u00e9\U0001F600";
  EXPECT_EQ(utf8::floor_boundary(s, 2), 1u);
  EXPECT_EQ(utf8::floor_boundary(s, 5), 3u);
  EXPECT_EQ(utf8::floor_boundary(s, 7), 7u);
}

TEST(FloatFormat, PythonRepr) {
  const std::pair<double, const char*> cases[] = {
      {0.1, "0.1"},
      {20.0, "20.0"},
      {1e-6, "1e-06"},
      {1e16, "1e+16"},
      {1e15, "1000000000000000.0"},
      {0.0001, "0.0001"},
      {0.00001, "1e-05"},
      {-2.5, "-2.5"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {123.456, "123.456"},
      {1.5e300, "1.5e+300"},
      {0.85, "0.85"},
      {5e-324, "5e-324"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(python_float_repr(value), text) << text;
}

TEST(FloatFormat, ShortestDecimal) {
  const ShortestDecimal d = shortest_decimal(-1234.5);
  EXPECT_EQ(d.digits, "12345");
  EXPECT_EQ(d.exponent, 3);
  EXPECT_TRUE(d.negative);
  EXPECT_EQ(shortest_decimal(1e-7).digits, "1");
  EXPECT_EQ(shortest_decimal(1e-7).exponent, -7);
}

}  // namespace
}  // namespace pelrin
