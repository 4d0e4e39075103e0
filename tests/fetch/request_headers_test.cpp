#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fetch/http_fetcher.h"
#include "fetch/redirect.h"
#include "fetch/request_headers.h"

namespace qw {
namespace {

constexpr const char* kUrl = "http://example.com/list";
const std::string kTail =
    "\r\nReferer: http://example.com/list\r\nAccept-Language: zh-cn"
    "\r\nContent-Type: application/x-www-form-urlencoded";

TEST(ComposeRequestHeadersTest, CompletesTheBlockAndChoosesTheAgent) {
  struct Case {
    std::string extra;
    const char* cookie;  // null: not passed
    std::string agent;
    std::string block;
  };
  const Case cases[] = {
      {"User-Agent: Bot/1", "a=1; b=2", "Bot/1",
       "User-Agent: Bot/1\r\nAccept: */*" + kTail + "\r\nCookie: a=1; b=2"},
      // An empty agent keeps its line.
      {"User-Agent: ", "", "", "User-Agent: \r\nAccept: */*" + kTail},
      {"", nullptr, std::string(kDefaultAgent), "Accept: */*" + kTail},
      {"X-Test: 1", nullptr, std::string(kDefaultAgent), "X-Test: 1\r\nAccept: */*" + kTail},
      // Found without regard to case, extracted case-sensitively: the agent falls back to the text after the
      // first colon of the whole block, up to the line end.
      {"user-agent: lower/2", nullptr, "lower/2", "user-agent: lower/2\r\nAccept: */*" + kTail},
      {"X-A: b\r\nuser-agent: c", nullptr, "b", "X-A: b\r\nuser-agent: c\r\nAccept: */*" + kTail},
      {"User-Agent:   \r\nX: y", nullptr, "", "User-Agent:   \r\nX: y\r\nAccept: */*" + kTail},
      // A cookie text holding "Cookie:" is its own line.
      {"User-Agent: u", "Cookie: s=1", "u", "User-Agent: u\r\nAccept: */*" + kTail + "\r\nCookie: s=1"},
      {"Referer: http://r/\r\nAccept: text/html", "x=1", std::string(kDefaultAgent),
       "Referer: http://r/\r\nAccept: text/html\r\nAccept-Language: zh-cn"
       "\r\nContent-Type: application/x-www-form-urlencoded\r\nCookie: x=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extra);
    const std::string cookie = c.cookie != nullptr ? c.cookie : "";
    const ComposedHeaders composed =
        ComposeRequestHeaders(kUrl, c.extra, c.cookie != nullptr ? &cookie : nullptr);
    EXPECT_EQ(composed.agent, c.agent);
    EXPECT_EQ(composed.block, c.block);
  }
}

TEST(WireHeaderLinesTest, OneAgentLineFirstAndNoLineBreakInsideALine) {
  ComposedHeaders composed{
      "Bot", "user-agent: x\r\nX-A: 1\nInjected: yes\r\n\r\nno colon\r\nX-Empty: \r\nUser-Agent: y"};
  const std::vector<std::string> expected = {"User-Agent: Bot", "X-A: 1 Injected: yes", "X-Empty;"};
  EXPECT_EQ(WireHeaderLines(composed), expected);
  EXPECT_EQ(WireHeaderLines({"", "Accept: */*"}), (std::vector<std::string>{"User-Agent;", "Accept: */*"}));
}

TEST(ResolveRedirectTest, ResolvesLocationsAsBrowsersDo) {
  struct Case {
    const char* base;
    const char* location;
    const char* resolved;
  };
  const Case cases[] = {
      {"http://a.com/x/y?q=1", "https://b.com/z", "https://b.com/z"},
      {"http://a.com/x/y?q=1", "HTTP://B.com/z", "HTTP://B.com/z"},
      {"http://a.com/x/y?q=1", "//b.com/z", "http://b.com/z"},
      {"https://a.com:8443/x/y", "/p?r=2", "https://a.com:8443/p?r=2"},
      {"http://a.com:80/x/y", "z", "http://a.com/x/z"},
      {"http://a.com/x/y?q=1#f", "?q=2", "http://a.com/x/y?q=2"},
      {"http://a.com/x/y?q=1#f", "#g", "http://a.com/x/y?q=1#g"},
      {"http://a.com/x/y/z", "../w/./v", "http://a.com/x/w/v"},
      {"http://a.com/x", "/../../t", "http://a.com/t"},
      {"a.com/x y/", "new page", "http://a.com/x y/new page"},
      {"http://a.com/", "ftp://b.com/f", ""},
      {"http://a.com/", "  ", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.base) + " + " + c.location);
    EXPECT_EQ(ResolveRedirect(c.base, c.location), c.resolved);
  }
}

TEST(HeaderValueTest, FirstLineOfThatNameTrimmed) {
  const std::string block =
      "HTTP/1.1 302 Found\r\nX-Location: no\r\nlocation:  /a b \r\nLocation: /c\r\n\r\n";
  EXPECT_EQ(HeaderValue(block, "Location"), "/a b");
  EXPECT_EQ(HeaderValue(block, "Set-Cookie"), "");
}

}  // namespace
}  // namespace qw
