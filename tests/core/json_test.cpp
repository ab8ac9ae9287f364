// The strict JSON reader, the validating reader and the compact writer.
#include "core/platform/json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelrin::json {
namespace {

struct ErrorCase {
  std::string text;
  std::string message;
};

// head, then n copies of c, then tail (built by appending, which keeps
// GCC 12's -Wrestrict false positive on operator+ away).
std::string spell(const char* head, std::size_t n, char c, const char* tail = "") {
  std::string out = head;
  out.append(n, c);
  out += tail;
  return out;
}

std::string error_of(std::string_view text) {
  const ParseResult r = parse(text);
  return r.ok ? "<accepted>" : r.error.message();
}

std::string roundtrip(std::string_view text) {
  const ParseResult r = parse(text);
  if (r.ok) return write(r.value);
  std::string out = "<error: ";
  out += r.error.message();
  return out;
}

// Every refusal names its reason and where the reader stopped; the
// validating reader must agree byte for byte.
TEST(JsonReader, ErrorTextsAndPositions) {
  const std::vector<ErrorCase> cases = {
      {"", "EOF while parsing a value at line 1 column 0"},
      {"   ", "EOF while parsing a value at line 1 column 3"},
      {"n", "EOF while parsing a value at line 1 column 1"},
      {"nul", "EOF while parsing a value at line 1 column 3"},
      {"nulla", "trailing characters at line 1 column 5"},
      {"truz", "expected ident at line 1 column 4"},
      {"faz", "expected ident at line 1 column 3"},
      {"True", "expected value at line 1 column 1"},
      {"+", "expected value at line 1 column 1"},
      {".0", "expected value at line 1 column 1"},
      {"'a'", "expected value at line 1 column 1"},
      {"-", "EOF while parsing a value at line 1 column 1"},
      {"-x", "invalid number at line 1 column 2"},
      {"00", "invalid number at line 1 column 2"},
      {"-01", "invalid number at line 1 column 3"},
      {"0x80", "trailing characters at line 1 column 2"},
      {"1.", "EOF while parsing a value at line 1 column 2"},
      {"1.a", "invalid number at line 1 column 3"},
      {"1.e1", "invalid number at line 1 column 3"},
      {"[1.]", "invalid number at line 1 column 4"},
      {"1e", "EOF while parsing a value at line 1 column 2"},
      {"1e+", "EOF while parsing a value at line 1 column 3"},
      {"1ex", "invalid number at line 1 column 3"},
      {"1a", "trailing characters at line 1 column 2"},
      {"1e309", "number out of range at line 1 column 5"},
      {"[-1e400]", "number out of range at line 1 column 7"},
      {"100e777777777777777777777777777", "number out of range at line 1 column 14"},
      {"-100e777777777777777777777777777", "number out of range at line 1 column 15"},
      {spell("1", 309, '0'), "number out of range at line 1 column 310"},
      {spell("1", 300, '0', ".0e9"), "number out of range at line 1 column 305"},
      {"\"", "EOF while parsing a string at line 1 column 1"},
      {"\"lol", "EOF while parsing a string at line 1 column 4"},
      {"\"lol\"a", "trailing characters at line 1 column 6"},
      {"\"\\", "EOF while parsing a string at line 1 column 2"},
      {"\"\\x\"", "invalid escape at line 1 column 3"},
      {"\"\\u00", "EOF while parsing a string at line 1 column 5"},
      {"\"\\u003", "EOF while parsing a string at line 1 column 6"},
      {"\"\\uz000\"", "invalid escape at line 1 column 4"},
      {"\"\\u00z0\"", "invalid escape at line 1 column 6"},
      {"\"\\uD83C\\uFFFF\"", "lone leading surrogate in hex escape at line 1 column 13"},
      {"\"\\uDC00\"", "lone leading surrogate in hex escape at line 1 column 7"},
      {"\"\\uD800\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\uD800\\n\"", "unexpected end of hex escape at line 1 column 9"},
      {"\"\\uD800", "EOF while parsing a string at line 1 column 7"},
      {"\"\\uD800\\", "EOF while parsing a string at line 1 column 8"},
      {"\"\n\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
      {"\"\x1F\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
      {"\"a\tb\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
      {std::string("\"\0\"", 3),
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
      {"\"\x9f\x92\x96\"", "invalid unicode code point at line 1 column 5"},
      {"\"\\n\x9f\x92\x96\"", "invalid unicode code point at line 1 column 7"},
      {"\"\xed\xa0\x80\"", "invalid unicode code point at line 1 column 5"},
      {"\"\xc0\xaf\" x", "invalid unicode code point at line 1 column 4"},
      {"\"\xff\\q\"", "invalid escape at line 1 column 4"},
      {"[", "EOF while parsing a list at line 1 column 1"},
      {"[ ", "EOF while parsing a list at line 1 column 2"},
      {"[1", "EOF while parsing a list at line 1 column 2"},
      {"[1,", "EOF while parsing a value at line 1 column 3"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"[1, \n ]", "trailing comma at line 2 column 2"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"[1}", "expected `,` or `]` at line 1 column 3"},
      {"[]a", "trailing characters at line 1 column 3"},
      {"[,1]", "expected value at line 1 column 2"},
      {"{", "EOF while parsing an object at line 1 column 1"},
      {"{ ", "EOF while parsing an object at line 1 column 2"},
      {"{1", "key must be a string at line 1 column 2"},
      {"{'a': 1}", "key must be a string at line 1 column 2"},
      {"{a: 1}", "key must be a string at line 1 column 2"},
      {"{ \"a\"", "EOF while parsing an object at line 1 column 5"},
      {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
      {"{\"a\" 1", "expected `:` at line 1 column 6"},
      {"{\"a\":", "EOF while parsing a value at line 1 column 5"},
      {"{\"a\":}", "expected value at line 1 column 6"},
      {"{\"a\":1", "EOF while parsing an object at line 1 column 6"},
      {"{\"a\":1 1", "expected `,` or `}` at line 1 column 8"},
      {"{\"a\":1]", "expected `,` or `}` at line 1 column 7"},
      {"{\"a\":1,", "EOF while parsing a value at line 1 column 7"},
      {"{\"a\":1,}", "trailing comma at line 1 column 8"},
      {"{\"a\":1,2}", "key must be a string at line 1 column 8"},
      {"{}a", "trailing characters at line 1 column 3"},
      {"{} x", "trailing characters at line 1 column 4"},
      {"{\n  \"foo\":\n \"bar\"", "EOF while parsing an object at line 3 column 6"},
      {"{\"a\":\n  tru\n}", "expected ident at line 3 column 0"},
      {"\xc3\xa9", "expected value at line 1 column 1"},
      {"[\"\xc3\xa9\" 1]", "expected `,` or `]` at line 1 column 7"},
  };
  for (const ErrorCase& c : cases) {
    EXPECT_EQ(error_of(c.text), c.message) << "input: " << c.text;
    const ValidateResult v = validate(c.text);
    EXPECT_FALSE(v.ok) << "input: " << c.text;
    if (!v.ok) {
      EXPECT_EQ(v.error.message(), c.message) << "validate, input: " << c.text;
    }
  }
}

TEST(JsonReader, NestingLimit) {
  for (const char* pair : {"[]", "{}"}) {
    std::string ok;
    for (int i = 0; i < kMaxDepth; ++i) ok += pair[0] == '[' ? "[" : "{\"k\":";
    ok += "null";
    for (int i = 0; i < kMaxDepth; ++i) ok += pair[1];
    EXPECT_TRUE(parse(ok).ok) << pair;
    EXPECT_TRUE(is_valid(ok)) << pair;
  }
  const std::string deep127 = std::string(127, '[') + std::string(127, ']');
  EXPECT_EQ(roundtrip(deep127), deep127);
  const std::string deep128 = std::string(128, '[') + std::string(128, ']');
  EXPECT_EQ(error_of(deep128), "recursion limit exceeded at line 1 column 128");
  EXPECT_EQ(validate(deep128).error.message(), "recursion limit exceeded at line 1 column 128");
  EXPECT_EQ(error_of(std::string(100000, '[')), "recursion limit exceeded at line 1 column 128");
  // Depth counts open containers only: siblings do not add up.
  std::string wide = "[";
  for (int i = 0; i < 1000; ++i) wide += spell("", 100, '[') + spell("", 100, ']', ",");
  wide += "0]";
  EXPECT_TRUE(is_valid(wide));
}

TEST(JsonReader, ValuesAndKinds) {
  struct KindCase {
    const char* text;
    Kind kind;
  };
  const KindCase cases[] = {
      {"null", Kind::kNull},
      {" true ", Kind::kBool},
      {"0", Kind::kUint},
      {"-0", Kind::kUint},
      {"18446744073709551615", Kind::kUint},
      {"18446744073709551616", Kind::kFloat},
      {"-9223372036854775808", Kind::kInt},
      {"-9223372036854775809", Kind::kFloat},
      {"1.0", Kind::kFloat},
      {"1e2", Kind::kFloat},
      {"\"x\"", Kind::kString},
      {"[]", Kind::kArray},
      {"{}", Kind::kObject},
      {"1e-99999999999999", Kind::kFloat},
  };
  for (const KindCase& c : cases) {
    const ParseResult r = parse(c.text);
    ASSERT_TRUE(r.ok) << c.text;
    EXPECT_EQ(r.value.kind(), c.kind) << c.text;
    EXPECT_EQ(validate(c.text).kind, c.kind) << c.text;
  }
  EXPECT_EQ(parse("18446744073709551615").value.as_uint(), 18446744073709551615ull);
  EXPECT_EQ(parse("-9223372036854775808").value.as_int(), INT64_MIN);
  EXPECT_EQ(parse("0.1").value.as_float(), 0.1);
  EXPECT_EQ(parse("2.638344616030823e-256").value.as_float(), 2.638344616030823e-256);
  EXPECT_EQ(parse("1e-400").value.as_float(), 0.0);
  EXPECT_TRUE(std::signbit(parse("-1e-400").value.as_float()));
  EXPECT_TRUE(std::signbit(parse("-0.0").value.as_float()));
  EXPECT_EQ(parse("0e99999999999999").value.as_float(), 0.0);
  EXPECT_EQ(parse("1.7976931348623157e308").value.as_float(), 1.7976931348623157e308);
  EXPECT_EQ(parse("4.9e-324").value.as_float(), 4.9e-324);
}

TEST(JsonReader, StringsAndObjects) {
  const ParseResult r = parse(R"({"b": 1, "a": [true, null], "b": "x\u00e9\ud83c\udf95\/"})");
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.value.as_object().size(), 2u);
  EXPECT_EQ(r.value.as_object()[0].key, "a");
  EXPECT_EQ(r.value.find("b")->as_string(), "x\xc3\xa9\xf0\x9f\x8e\x95/");
  EXPECT_EQ(r.value.find("c"), nullptr);
  // Keys compare as UTF-8 bytes, so upper case sorts first and non-ASCII last.
  EXPECT_EQ(roundtrip(R"({"é":1,"b":2,"B":3,"":4})"), "{\"\":4,\"B\":3,\"b\":2,\"\xc3\xa9\":1}");
  EXPECT_EQ(roundtrip(R"({"b": 1, "a": [true, null]})"), R"({"a":[true,null],"b":1})");
}

TEST(JsonWriter, FloatLayout) {
  struct FloatCase {
    double value;
    const char* text;
  };
  const FloatCase cases[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {1e16, "1e+16"},
      {1.5e-7, "1.5e-7"},
      {1e-6, "1e-6"},
      {0.00001, "0.00001"},
      {100.0, "100.0"},
      {-0.5, "-0.5"},
      {2.5, "2.5"},
      {123.456, "123.456"},
      {1e15, "1000000000000000.0"},
      {1.2345e15, "1234500000000000.0"},
      {1.5e16, "1.5e+16"},
      {1e300, "1e+300"},
      {-1.7976931348623157e308, "-1.7976931348623157e+308"},
      {5e-324, "5e-324"},
      {0.1, "0.1"},
      {0.000123, "0.000123"},
  };
  for (const FloatCase& c : cases) {
    std::string out;
    write_float(c.value, out);
    EXPECT_EQ(out, c.text);
  }
  EXPECT_EQ(roundtrip(R"({"z": 1e-6, "y": 0.00001, "x": 1e16, "w": 2.50, "v": 1e2, "u": -0.5})"),
            R"({"u":-0.5,"v":100.0,"w":2.5,"x":1e+16,"y":0.00001,"z":1e-6})");
}

TEST(JsonWriter, StringEscapes) {
  EXPECT_EQ(roundtrip(R"("\t\"\\\b\f\n\r\u0001\u001f\u007f\u00e9")"),
            "\"\\t\\\"\\\\\\b\\f\\n\\r\\u0001\\u001f\x7f\xc3\xa9\"");
  EXPECT_EQ(roundtrip(R"("\u000b\/")"), R"("\u000b/")");
  EXPECT_EQ(roundtrip("  7 "), "7");
  EXPECT_EQ(roundtrip("[1, 2]"), "[1,2]");
  EXPECT_EQ(roundtrip("-0"), "0");
  EXPECT_EQ(roundtrip("99999999999999999999"), "1e+20");
}

// The member walk over validated text sees what the tree would hold: keys
// decoded, raw values intact, duplicates in document order.
TEST(JsonMembers, WalkValidatedObject) {
  const std::string text =
      R"( {"a\u0062": [1, {"x": "}"}], "s": "q\"", "a": 2 ,"a": -1.5e3, "e": {}} )";
  ASSERT_TRUE(is_valid(text));
  std::vector<std::pair<std::string, std::string>> seen;
  for_each_member(
      text,
      [](void* ctx, std::string_view key, std::string_view raw) {
        static_cast<std::vector<std::pair<std::string, std::string>>*>(ctx)->emplace_back(key, raw);
      },
      &seen);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"ab", R"([1, {"x": "}"}])"}, {"s", R"("q\"")"}, {"a", "2"}, {"a", "-1.5e3"}, {"e", "{}"}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(decode_string(R"("q\"")"), "q\"");
  EXPECT_EQ(decode_string(R"("plain")"), "plain");
  EXPECT_EQ(decode_string(R"("\ud83d\ude00")"), "\xf0\x9f\x98\x80");
}

}  // namespace
}  // namespace pelrin::json
