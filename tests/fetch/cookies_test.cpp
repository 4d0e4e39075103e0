#include "fetch/cookies.h"

#include <gtest/gtest.h>

#include <string>

#include "text/encoding.h"

namespace qw {
namespace {

TEST(ExtractSetCookiesTest, CollectsNameValueOfEverySetCookieLine) {
  struct Case {
    std::string block;
    std::string cookies;
  };
  const Case cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", ""},
      {"", ""},
      {"HTTP/1.1 200 OK\r\nset-cookie: a=1; path=/\r\n\r\n", "a=1"},
      {"HTTP/1.1 200 OK\r\nSet-Cookie:  sid=xyz  \r\n\r\n", "sid=xyz"},
      {"HTTP/1.1 200 OK\r\nSET-COOKIE: a=1; Path=/\r\nSet-Cookie: b=2\r\nSet-Cookie: c=3; HttpOnly\r\n\r\n",
       "a=1; b=2; c=3"},
      // A line without a value still gives an (empty) item.
      {"HTTP/1.1 200 OK\r\nSet-Cookie:\r\nSet-Cookie: b=2\r\n\r\n", "; b=2"},
      // Full-width spaces are trimmed too.
      {"Set-Cookie: " + QW_GBK("　") + "n=" + QW_GBK("值") + "; path=/\r\n", "n=" + QW_GBK("值")},
      // A bare LF stays inside its line (only CR LF separates lines).
      {"Set-Cookie: a=1\nX: y\r\n", "a=1\nX: y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    EXPECT_EQ(ExtractSetCookies(c.block), c.cookies);
  }
}

TEST(CookieNameTest, TextBeforeTheFirstEqualsTrimmed) {
  EXPECT_EQ(CookieName(" a =1=2"), "a");
  EXPECT_EQ(CookieName(" flag "), "flag");
  EXPECT_EQ(CookieName("=v"), "");
}

TEST(MergeCookiesTest, ReceivedWinsDeletedVanishesDuplicatesDrop) {
  struct Case {
    std::string jar;
    std::string fresh;
    std::string merged;
  };
  const Case cases[] = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1"},
      {"a=1", "a=deleted", ""},
      {"a=1; b=2", "a=deleted", "b=2"},
      {"a=x y", "", "a=xy"},
      {"a=" + QW_GBK("甲　乙"), "", "a=" + QW_GBK("甲乙")},
      {"a=1; a=1", "", "a=1"},
      // Of two jar items with one name the first wins.
      {"a=1; a=2", "", "a=1"},
      {"", "", ""},
      {"", "x=1; y=2", "x=1; y=2"},
      // Duplicates among the received items are dropped only when they are byte-for-byte equal.
      {"", "x=1; x=1; x=2", "x=1; x=2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jar + " | " + c.fresh);
    std::string jar = c.jar;
    EXPECT_EQ(MergeCookies(jar, c.fresh), c.merged);
    EXPECT_EQ(jar, c.merged);
  }
}

TEST(CookiesTest, RawUtf8ValuesKeepTheirSeparators) {
  // 中 in UTF-8: an odd run of bytes of 0x80 and above, whose last byte read as GBK would take the ";" or "="
  // after it for the second byte of a character.
  const std::string zhong = "\xE4\xB8\xAD";
  EXPECT_EQ(ExtractSetCookies("Set-Cookie: u=" + zhong + "; path=/\r\n"), "u=" + zhong);
  EXPECT_EQ(CookieName(zhong + "=1"), zhong);
  struct Case {
    std::string jar;
    std::string fresh;
    std::string merged;
  };
  const Case cases[] = {
      {"", "u=" + zhong + "; b=2", "u=" + zhong + "; b=2"},
      {"b=1", "u=" + zhong + "; b=deleted", "u=" + zhong},
      {"u=" + zhong + "; b=1", "b=2", "b=2; u=" + zhong},
      {"u=" + zhong + "; u=" + zhong, "", "u=" + zhong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jar + " | " + c.fresh);
    std::string jar = c.jar;
    EXPECT_EQ(MergeCookies(jar, c.fresh), c.merged);
  }
}

}  // namespace
}  // namespace qw
