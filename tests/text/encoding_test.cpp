#include "text/encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qw {
namespace {

using namespace std::string_literals;

struct Case {
  const char* name;
  std::string input;
  std::string expected;
};

TEST(Utf8ToGbkTest, Table) {
  const std::vector<Case> cases = {
      {"empty", "", ""},
      {"ASCII unchanged", "<a href=\"x\">1</a>\r\n", "<a href=\"x\">1</a>\r\n"},
      {"Chinese", "中文", "\xD6\xD0\xCE\xC4"},
      {"mixed", "a中b",
       "a\xD6\xD0"
       "b"},
      {"euro at 0x80", "€5",
       "\x80"
       "5"},
      {"full-width digits", "１２", "\xA3\xB1\xA3\xB2"},
      {"ideographic space", "\u3000", "\xA1\xA1"},
      {"NUL in the middle ends the text", "ab\0中"s, "ab"},
      {"NUL first", "\0ab"s, ""},
      {"4-byte emoji", "a😀b", "a?b"},
      {"character GBK lacks", "한x", "?x"},
      {"GBK bytes given as UTF-8", "\xD6\xD0\xCE\xC4", "????"},
      {"GBK pair with a continuation byte", "\xB0\xA1", "??"},
      {"stray continuation bytes",
       "\x80\x80"
       "a",
       "??a"},
      {"truncated sequence then ASCII",
       "\xE4\xB8"
       "a",
       "?a"},
      {"truncated sequence at the end", "a\xE4\xB8", "a?"},
      {"overlong slash", "\xC0\xAF", "??"},
      {"overlong three bytes", "\xE0\x80\xAF", "???"},
      {"surrogate", "\xED\xA0\x80", "???"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
      {"bytes never in UTF-8", "\xFE\xFF", "??"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToGbk(c.input), c.expected) << c.name;
  }
}

TEST(Utf8ToGbkTest, LongPageConvertsWhole) {
  std::string utf8;
  std::string gbk;
  for (int i = 0; i < 20000; ++i) {
    utf8 += "<li>新闻 😀\r\n";
    gbk += "<li>\xD0\xC2\xCE\xC5 ?\r\n";
  }
  EXPECT_EQ(Utf8ToGbk(utf8), gbk);
}

TEST(GbkToUtf8Test, Table) {
  const std::string fffd = "\xEF\xBF\xBD";
  const std::vector<Case> cases = {
      {"empty", "", ""},
      {"ASCII unchanged", "a b\r\n", "a b\r\n"},
      {"Chinese", "\xD6\xD0\xCE\xC4", "中文"},
      {"euro", "\x80", "€"},
      {"NUL ends the text", "a\0\xD6\xD0"s, "a"},
      {"lone lead byte at the end", "a\xD6", "a" + fffd},
      {"lead byte before a line break keeps the break", "\xD6\r\nx", fffd + "\r\nx"},
      {"unassigned pair is one replacement", "\xAA\xA1\xD6\xD0", fffd + "中"},
      {"0xFF is never a lead byte", "\xFF\xD6\xD0", fffd + "中"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GbkToUtf8(c.input), c.expected) << c.name;
  }
}

TEST(EncodingTest, RoundTripOfTextGbkHolds) {
  const std::string utf8 = "标题：欢迎光临 Welcome €12，　全角空格、１２３";
  EXPECT_EQ(GbkToUtf8(Utf8ToGbk(utf8)), utf8);
}

TEST(EncodingTest, GbkLiteralIsConvertedOnce) {
  const std::string* first = nullptr;
  for (int i = 0; i < 2; ++i) {
    const std::string& gbk = QW_GBK("引号");
    EXPECT_EQ(gbk, "\xD2\xFD\xBA\xC5");
    if (first == nullptr) first = &gbk;
    EXPECT_EQ(&gbk, first);
  }
}

TEST(EncodingTest, ExactFormsRefuseWhatTheLossyOnesWouldReplace) {
  // Every GBK character comes through, the euro sign and those whose second byte is "\\" or "|" included; a
  // "?" of the text is no loss.
  const std::string gbk = "a?\x80\x95\x5c\xe3\x7c" + Utf8ToGbk("论坛");
  ASSERT_TRUE(ExactUtf8(gbk));
  EXPECT_EQ(ExactGbk(*ExactUtf8(gbk)), gbk);

  for (const std::string& utf8 : {std::string("😀"), std::string("a\0b", 3), std::string("\xff")}) {
    EXPECT_EQ(ExactGbk(utf8), std::nullopt) << utf8;
  }
  for (const std::string& bytes : {std::string("\xff\xfe"), std::string("\x81"), std::string("a\0b", 3)}) {
    EXPECT_EQ(ExactUtf8(bytes), std::nullopt);
  }
}

}  // namespace
}  // namespace qw
