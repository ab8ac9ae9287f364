// The regex wrapper: Unicode Perl classes, iteration rules, byte offsets.
#include "core/platform/regex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/base/utf8.h"

namespace pelrin::platform {
namespace {

Regex re(std::string_view p) { return Regex::fixed(p); }

bool whole(std::string_view pattern, std::string_view text) {
  return re("^(?:" + std::string(pattern) + ")$").is_match(text);
}

struct ClassCase {
  const char* pattern;
  const char* text;
  bool matches;
};

class PerlClassTest : public ::testing::TestWithParam<ClassCase> {};

TEST_P(PerlClassTest, MatchesOneCharacter) {
  const ClassCase& c = GetParam();
  EXPECT_EQ(whole(c.pattern, c.text), c.matches) << c.pattern << " on " << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Rewrites, PerlClassTest,
    ::testing::Values(
        // \s and \S: no-break space, ideographic space, line separator, \v.
        ClassCase{"\\s", "\u00A0", true}, ClassCase{"\\s", "\u3000", true},
        ClassCase{"\\s", "\u2028", true}, ClassCase{"\\s", "\v", true},
        ClassCase{"\\s", "\u200B", false}, ClassCase{"\\S", "\u00A0", false},
        ClassCase{"\\S", "x", true}, ClassCase{"[\\s]", "\u3000", true},
        ClassCase{"[^\\s]", "\u3000", false}, ClassCase{"[^\\s]", "a", true},
        ClassCase{"[\\S]", "\u3000", false}, ClassCase{"[\\S]", "\u00E9", true},
        ClassCase{"[^\\S]", "\u00A0", true}, ClassCase{"[^\\S]", "a", false},
        ClassCase{"[a\\S]", "\u3000", false}, ClassCase{"[\\x{3000}\\S]", "\u3000", true},
        // \d and \D: Arabic-Indic and Devanagari digits; superscript two is No.
        ClassCase{"\\d", "\u0663", true}, ClassCase{"\\d", "\u0967", true},
        ClassCase{"\\d", "\u00B2", false}, ClassCase{"\\D", "\u0663", false},
        ClassCase{"[\\d]", "\u0663", true}, ClassCase{"[^\\d]", "\u0663", false},
        ClassCase{"[\\D]", "\u0663", false}, ClassCase{"[^\\D]", "\u0663", true},
        // \w and \W: combining acute, CJK, joiners, connector punctuation,
        // Roman numeral (Nl); not a hyphen, the euro sign or no-break space.
        ClassCase{"\\w", "\u0301", true}, ClassCase{"\\w", "\u4E2D", true},
        ClassCase{"\\w", "\u200D", true}, ClassCase{"\\w", "\u200C", true},
        ClassCase{"\\w", "\u203F", true}, ClassCase{"\\w", "\u2160", true},
        ClassCase{"\\w", "-", false}, ClassCase{"\\w", "\u20AC", false},
        ClassCase{"\\W", "\u0301", false}, ClassCase{"\\W", "\u00A0", true},
        ClassCase{"[\\w]", "\u0301", true}, ClassCase{"[^\\w]", "\u0301", false},
        ClassCase{"[\\W]", "\u0301", false}, ClassCase{"[\\W]", "\u20AC", true},
        ClassCase{"[^\\W]", "\u0301", true}, ClassCase{"[^\\W]", "-", false},
        ClassCase{"[^\\W_]", "_", false}, ClassCase{"[^\\W_]", "\u00E9", true},
        // Quoting, POSIX classes and a leading "]" are left alone.
        ClassCase{"\\Q\\s\\E", "\\s", true}, ClassCase{"\\Q\\s\\E", " ", false},
        ClassCase{"[[:alpha:]\\d]", "\u0663", true}, ClassCase{"[]\\s]", "]", true},
        ClassCase{"[]\\s]", "\u3000", true}, ClassCase{"\\\\s", "\\s", true},
        ClassCase{"(?i)\\w+K", "\u00E9k", true}));

TEST(RegexTest, BracketedNonWordAgreesWithUnbracketed) {
  // The computed complement ranges must agree with the engine's own
  // negated class on every scalar value.
  const Regex outside = re("^\\W$");
  const Regex inside = re("^[\\W]$");
  const Regex negated = re("^[^\\w]$");
  std::string s;
  for (char32_t cp = 0; cp <= 0x10FFFF; cp += 1) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp > 0x3000 && cp % 17 != 0) continue;  // dense where the classes change often
    s.clear();
    utf8::append(s, cp);
    const bool want = outside.is_match(s);
    ASSERT_EQ(inside.is_match(s), want) << std::hex << static_cast<unsigned>(cp);
    ASSERT_EQ(negated.is_match(s), want) << std::hex << static_cast<unsigned>(cp);
  }
}

TEST(RegexTest, AsciiModeKeepsEngineClasses) {
  const Regex ascii = Regex::fixed("^\\w$", PerlClasses::kAscii);
  EXPECT_TRUE(ascii.is_match("a"));
  EXPECT_FALSE(ascii.is_match("\u00E9"));
}

std::vector<Span> spans(std::string_view pattern, std::string_view text) {
  return re(pattern).find_all(text);
}

TEST(RegexTest, IterationSkipsEmptyMatchAfterMatch) {
  // An empty match right where the previous match ended is skipped.
  EXPECT_EQ(spans("x*", "abxd"), (std::vector<Span>{{0, 0}, {1, 1}, {2, 3}, {4, 4}}));
  EXPECT_EQ(spans("a|", "aa"), (std::vector<Span>{{0, 1}, {1, 2}}));
  EXPECT_EQ(spans("", ""), (std::vector<Span>{{0, 0}}));
}

TEST(RegexTest, EmptyMatchesAdvanceByWholeCharacters) {
  // "é" is two bytes and "😀" four: no span may start inside them.
  EXPECT_EQ(spans("", "\u00E9\U0001F600"), (std::vector<Span>{{0, 0}, {2, 2}, {6, 6}}));
  EXPECT_EQ(spans("\\d*", "\u0663a"), (std::vector<Span>{{0, 2}, {3, 3}}));
}

TEST(RegexTest, OffsetsAreBytes) {
  EXPECT_EQ(spans("x", "\u00E9 x"), (std::vector<Span>{{3, 4}}));
  EXPECT_EQ(spans("\\s+", "a\u3000\u00A0b"), (std::vector<Span>{{1, 6}}));
  EXPECT_EQ(re("\\w+").find("\u2014\u00E9t\u00E9"), (Span{3, 8}));
}

TEST(RegexTest, MultiLineAnchorsAndContextBeforeStart) {
  EXPECT_EQ(spans("(?m)^\\w", "ab\ncd"), (std::vector<Span>{{0, 1}, {3, 4}}));
  // Without (?m), ^ matches only at offset 0 even while iterating.
  EXPECT_EQ(spans("^a", "aaa"), (std::vector<Span>{{0, 1}}));
  EXPECT_EQ(spans("a$", "aa\na"), (std::vector<Span>{{3, 4}}));
}

TEST(RegexTest, GroupsAndAbsentGroups) {
  const Regex r = re("(a)|(b)");
  EXPECT_EQ(r.find_group("xb", 2), (Span{1, 2}));
  EXPECT_EQ(r.find_group("xb", 1), std::nullopt);
  EXPECT_EQ(r.find_group("xyz", 1), std::nullopt);
  MatchIterator it(r, "ab", 3);
  ASSERT_TRUE(it.next());
  EXPECT_EQ(it.group(1), (Span{0, 1}));
  EXPECT_EQ(it.group(2), std::nullopt);
  ASSERT_TRUE(it.next());
  EXPECT_EQ(it.group(2), (Span{1, 2}));
  EXPECT_FALSE(it.next());
  EXPECT_FALSE(it.next());
}

TEST(RegexTest, ReplaceAllIsLiteral) {
  EXPECT_EQ(re("(b+)").replace_all("abbcb", "$1\\1"), "a$1\\1c$1\\1");
  EXPECT_EQ(re("x*").replace_all("abxd", "-"), "-a-b-d-");
  EXPECT_EQ(re("\\s").replace_all("a\u3000b", "_"), "a_b");
  EXPECT_EQ(re("z").replace_all("abc", "-"), "abc");
  EXPECT_EQ(re("^").replace_all("abc", "-"), "-abc");  // a lone empty match at 0
  EXPECT_EQ(re("").replace_all("", "-"), "-");
}

TEST(RegexTest, LeftmostFirstAlternation) {
  EXPECT_EQ(re("a|ab").find("ab"), (Span{0, 1}));
  EXPECT_EQ(re("(?i)K").find("xk"), (Span{1, 2}));
}

TEST(RegexTest, CompileErrorsAreValues) {
  const Result<Regex> bad = Regex::compile("(a");
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.error().kind, ErrorKind::kValue);
  EXPECT_FALSE(Regex::compile("(?<=a)b").ok());   // no look-behind in this dialect
  EXPECT_FALSE(Regex::compile("a\\Cb").ok());     // any-byte would split characters
  EXPECT_TRUE(Regex::compile("\\\\C").ok());      // an escaped backslash, then C
  EXPECT_TRUE(Regex::compile("\\Q\\C\\E").ok());  // quoted text is literal
}

TEST(RegexTest, SharedRegexIsCompiledOnce) {
  const Result<const Regex*> a = shared_regex("\\d+");
  const Result<const Regex*> b = shared_regex("\\d+");
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_EQ(*a, *b);
  EXPECT_TRUE((*a)->is_match("\u0663"));
  EXPECT_FALSE(shared_regex("[").ok());
}

}  // namespace
}  // namespace pelrin::platform
