#include "text/gbk_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "text/encoding.h"

namespace qw {
namespace {

using namespace std::string_literals;

constexpr Pos kHuge = std::numeric_limits<Pos>::max();
constexpr Pos kMinPos = std::numeric_limits<Pos>::min();

// GBK bytes of a few characters, spelled out so the tests do not lean on the converter they sit beside.
const std::string kZhong = "\xD6\xD0";  // 中
const std::string kWen = "\xCE\xC4";    // 文
const std::string kAh = "\xB0\xA1";     // 啊: its second byte equals the first byte of a full-width space
const std::string kWideSpace = "\xA1\xA1";  // full-width ideographic space
// A GBK character whose second byte is the ASCII letter A.
const std::string kTrailA = "\x81\x41";

TEST(FindTest, NeverStartsOnTheSecondByteOfACharacter) {
  EXPECT_EQ(Find("ab", "b"), 2);
  EXPECT_EQ(Find("ab", ""), 1);
  EXPECT_EQ(Find("", ""), -1);
  EXPECT_EQ(Find(QW_GBK("中"), "\xD0"), -1);
}

struct FindCase {
  const char* name;
  std::string text;
  std::string part;
  Pos start;
  bool caseFree;
  Pos expected;
};

TEST(FindTest, Table) {
  const std::vector<FindCase> cases = {
      {"middle", "abcabc", "ca", 1, false, 3},
      {"from start", "abcabc", "abc", 2, false, 4},
      {"start on the match", "abcabc", "abc", 4, false, 4},
      {"start before 1 counts as 1", "abc", "a", -7, false, 1},
      {"smallest start", "abc", "a", kMinPos, false, 1},
      {"start beyond the end", "abc", "c", 4, false, -1},
      {"huge start", "abc", "c", kHuge, false, -1},
      {"empty part at start", "abc", "", 2, false, 2},
      {"empty part past the end", "abc", "", 4, false, -1},
      {"part longer than text", "ab", "abc", 1, false, -1},
      {"marker at the very end", "xx</p>", "</p>", 1, false, 3},
      {"case-free finds capitals", "GET /\r\nUSER-AGENT: x", "User-Agent:", 1, true, 8},
      {"case-sensitive does not", "GET /\r\nUSER-AGENT: x", "User-Agent:", 1, false, -1},
      {"Chinese part", "a" + kZhong + kWen, kWen, 1, false, 4},
      {"straddling two characters", kZhong + kWen, "\xD0\xCE", 1, false, -1},
      {"ASCII second byte is no letter", kTrailA, "A", 1, false, -1},
      {"ASCII second byte, case-free", kTrailA, "a", 1, true, -1},
      {"case-free never folds a second byte", kTrailA, "\x81\x61", 1, true, -1},
      {"case-free keeps the pair itself", "x" + kTrailA, "X" + kTrailA, 1, true, 1},
      {"lone lead byte at the end", "ab\xD6", "\xD6", 1, false, 3},
      {"part ending in the lone lead", "ab\xD6", "b\xD6", 1, false, 2},
      {"NUL bytes are plain bytes", "a\0b"s, "b", 1, false, 3},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(Find(c.text, c.part, c.start, c.caseFree), c.expected) << c.name;
  }
}

TEST(FindTest, LongRunsOfTwoByteCharactersKeepTheirAlignment) {
  // "\xD0\xD6" occurs at every second byte of a run of 中, but never at a character start; after the ASCII x
  // it does start a character.
  std::string text;
  for (int i = 0; i < 5000; ++i) text += kZhong;
  EXPECT_EQ(Find(text, "\xD0\xD6"), -1);
  text += "x\xD0\xD6";
  EXPECT_EQ(Find(text, "\xD0\xD6"), static_cast<Pos>(text.size()) - 1);
  // An odd run of lead-range bytes before the candidate: the candidate is a second byte.
  EXPECT_EQ(Find("a\xB0\xA1\xA1\xA1", kWideSpace), 4);
  EXPECT_EQ(Find("a\xB0\xA1\xA1", kWideSpace), -1);
}

TEST(FindLastTest, Table) {
  const std::vector<FindCase> cases = {
      {"last of two", "abab", "ab", kHuge, false, 3},
      {"before start", "abab", "ab", 3, false, 1},
      {"start 1 finds nothing", "abab", "ab", 1, false, -1},
      {"start before 1", "abab", "ab", -3, false, -1},
      {"smallest start", "abab", "ab", kMinPos, false, -1},
      {"absent", "abab", "c", kHuge, false, -1},
      {"empty part: last character", "a" + kZhong, "", kHuge, false, 2},
      {"empty part in empty text", "", "", kHuge, false, -1},
      {"case-free", "AbaB", "ab", kHuge, true, 3},
      {"second bytes skipped", kZhong + kZhong, "\xD0\xD6", kHuge, false, -1},
      {"overlapping", "aaaa", "aa", kHuge, false, 3},
      {"the second a is a second byte", "a\xD6"s + "a\xD6", "a\xD6", kHuge, false, 1},
      {"lone lead byte at the end", "ab\xD6", "\xD6", kHuge, false, 3},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(FindLast(c.text, c.part, c.start, c.caseFree), c.expected) << c.name;
  }
}

TEST(ReplaceAllTest, Table) {
  struct Case {
    const char* name;
    std::string text, part, by;
    bool caseSensitive;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"CR LF pairs only", "a\r\nb\rc\nd\r\n", "\r\n", "", true, "ab\rc\nd"},
      {"inserted text not searched again", "aa", "a", "aa", true, "aaaa"},
      {"non-overlapping, left to right", "aaa", "aa", "b", true, "ba"},
      {"empty part leaves the text", "abc", "", "x", true, "abc"},
      {"absent part leaves the text", "abc", "z", "x", true, "abc"},
      {"case-free", "ABC abc", "b", "x", false, "AxC axc"},
      {"case-sensitive", "ABC abc", "b", "x", true, "ABC axc"},
      {"second bytes untouched", kTrailA + "A", "A", "x", true, kTrailA + "x"},
      {"second bytes untouched case-free", kTrailA + "a", "a", "x", false, kTrailA + "x"},
      {"Chinese by Chinese", kZhong + "-" + kZhong, kZhong, kWen, true, kWen + "-" + kWen},
      {"marker at the very end", "ab", "b", "", true, "a"},
      {"whole text", "ab", "ab", "", true, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceAll(c.text, c.part, c.by, c.caseSensitive), c.expected) << c.name;
  }
}

TEST(SplitTest, Table) {
  struct Case {
    const char* name;
    std::string text, separator;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"inner empty kept, final dropped", "a;;b;", ";", {"a", "", "b"}},
      {"no separator", "ab", ";", {"ab"}},
      {"empty text", "", ";", {}},
      {"only a separator", ";", ";", {""}},
      {"two final separators", "a;;", ";", {"a", ""}},
      {"leading separator", ";a", ";", {"", "a"}},
      {"long separator", "a\r\nb\r\n", "\r\n", {"a", "b"}},
      {"second byte is no separator", kTrailA + "A" + "b", "A", {kTrailA, "b"}},
      {"empty separator keeps the text whole", "ab", "", {"ab"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Split(c.text, c.separator), c.expected) << c.name;
  }
}

TEST(SpacesTest, TrimAndRemoveBothKinds) {
  struct Case {
    const char* name;
    std::string text, trimmed, removed;
  };
  const std::vector<Case> cases = {
      {"both kinds", kWideSpace + "x ", "x", "x"},
      {"inner spaces", " a b" + kWideSpace + "c ", "a b" + kWideSpace + "c", "abc"},
      {"tabs and line breaks are not spaces", "\tx\r\n", "\tx\r\n", "\tx\r\n"},
      {"only spaces", " " + kWideSpace + " ", "", ""},
      {"empty", "", "", ""},
      // 啊 ends in A1: with a lone A1 after it there is no full-width space, only with two.
      {"second byte A1 is no space", kAh + "\xA1", kAh + "\xA1", kAh + "\xA1"},
      {"second byte A1 then a space", kAh + kWideSpace + "x", kAh + kWideSpace + "x", kAh + "x"},
      {"lone lead byte at the end", " x\xA1", "x\xA1", "x\xA1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Trim(c.text), c.trimmed) << c.name;
    EXPECT_EQ(RemoveSpaces(c.text), c.removed) << c.name;
  }
}

TEST(CutsTest, LeftRightMidCountBytesAndNeverOverrun) {
  EXPECT_EQ(Left("abc", 2), "ab");
  EXPECT_EQ(Left("abc", 0), "");
  EXPECT_EQ(Left("abc", -1), "");
  EXPECT_EQ(Left("abc", kHuge), "abc");
  EXPECT_EQ(Left("abc", kMinPos), "");
  EXPECT_EQ(Right("abc", 2), "bc");
  EXPECT_EQ(Right("abc", -2), "");
  EXPECT_EQ(Right("abc", kHuge), "abc");
  EXPECT_EQ(Right("", 3), "");
  EXPECT_EQ(Mid("abcd", 2, 2), "bc");
  EXPECT_EQ(Mid("abcd", 4, 9), "d");
  EXPECT_EQ(Mid("abcd", 2, kHuge), "bcd");
  EXPECT_EQ(Mid("abcd", 5, 1), "");
  EXPECT_EQ(Mid("abcd", 0, 2), "");
  EXPECT_EQ(Mid("abcd", kMinPos, kHuge), "");
  EXPECT_EQ(Mid("abcd", kHuge, kHuge), "");
  EXPECT_EQ(Mid("abcd", 1, 0), "");
  // Bytes, not characters: a cut may split a two-byte character.
  EXPECT_EQ(Left(kZhong + kWen, 3), kZhong + "\xCE");
}

TEST(LowerTest, OnlyAsciiLettersOfWholeCharacters) {
  EXPECT_EQ(Lower("ABC xyz 09@[`"), "abc xyz 09@[`");
  EXPECT_EQ(Lower(kTrailA + "A"), kTrailA + "a");
  EXPECT_EQ(Lower("A\x81"), "a\x81");
  EXPECT_EQ(Lower("A\0B"s), "a\0b"s);
}

TEST(EqualTest, ByteForByte) {
  EXPECT_TRUE(Equal("", ""));
  EXPECT_TRUE(Equal(kZhong, "\xD6\xD0"));
  EXPECT_FALSE(Equal("a", "A"));
  EXPECT_FALSE(Equal("a", "a "));
}

TEST(CutRegionTest, Table) {
  const std::string page = "<html><p>first</p>\r\n<p>second</p></html>";
  const std::string quote = QW_GBK("#引号");
  struct Case {
    const char* name;
    std::string text, start, end, expected;
  };
  const std::vector<Case> cases = {
      {"first paragraph", page, "<p>", "</p>", "first"},
      {"empty end marker", page, "<p>", "", ""},
      {"empty start marker: from the first byte", page, "", "<p>", "<html>"},
      {"start marker missing", page, "<div>", "</p>", ""},
      {"end marker missing", page, "<p>", "</div>", ""},
      {"end marker only before the start", "</p>x<p>y</p>", "<p>", "</p>", "y"},
      {"nothing between the markers", "<p></p>", "<p>", "</p>", ""},
      {"start marker at the very end", "ab<p>", "<p>", "x", ""},
      {"end marker at the very end", "<p>ab", "<p>", "b", "a"},
      {"quote token", "<a class=\"t\">T</a><td class=\"t\">title</td>",
       "<td class=" + quote + "t" + quote + ">", "</td>", "title"},
      {"quote token in the end marker", "x=\"v\"", "x=" + quote, quote, "v"},
      {"a token without its last character stays literal", "<a#\xD2\xFD>t</a>", "<a#\xD2\xFD>", "</a>", "t"},
      {"Chinese markers", kZhong + "a" + kWen, kZhong, kWen, "a"},
      {"markers only at character starts", kZhong + kZhong + "a" + kWen, "\xD0\xD6", kWen, ""},
      {"empty text", "", "", "x", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutRegion(c.text, c.start, c.end), c.expected) << c.name;
  }
}

TEST(ToIntegerTest, Table) {
  const std::string fullWidthOne = "\xA3\xB1";
  const std::string fullWidthTwo = "\xA3\xB2";
  const std::string fullWidthMinus = "\xA3\xAD";
  const std::string fullWidthPlus = "\xA3\xAB";
  struct Case {
    const char* name;
    std::string text;
    std::int32_t expected;
  };
  const std::vector<Case> cases = {
      {"full-width digits", fullWidthOne + fullWidthTwo, 12},
      {"leading space, digits, letters", " 42abc", 42},
      {"letters only", "abc", 0},
      {"empty", "", 0},
      {"negative", "-17", -17},
      {"plus sign", "+5", 5},
      {"full-width signs", fullWidthMinus + "3" + " " + fullWidthPlus + "4", -3},
      {"full-width plus", fullWidthPlus + fullWidthTwo, 2},
      {"full-width space skipped", kWideSpace + "7", 7},
      {"C white space skipped", "\t\n\v\f\r 8", 8},
      {"sign then space", "- 5", 0},
      {"two signs", "--5", 0},
      {"digits end at a space", "1 2", 1},
      {"digits end at a Chinese character", "3" + kZhong + "4", 3},
      {"leading zeros", "000000000000000000000042", 42},
      {"largest", "2147483647", INT32_MAX},
      {"one past the largest", "2147483648", INT32_MAX},
      {"far past the largest", "99999999999999999999999", INT32_MAX},
      {"smallest", "-2147483648", INT32_MIN},
      {"one below the smallest", "-2147483649", INT32_MIN},
      {"far below the smallest", "-99999999999999999999999", INT32_MIN},
      {"full-width overflow", fullWidthOne + std::string(30, '9'), INT32_MAX},
      {"NUL ends the digits",
       "1\0"
       "2"s,
       1},
      {"lone lead byte at the end", "12\xA3", 12},
      {"lone lead byte only", "\xA3", 0},
      {"second byte is a digit", "\x81\x35", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToInteger(c.text), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace qw
