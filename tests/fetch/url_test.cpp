#include "fetch/url.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "text/encoding.h"

namespace qw {
namespace {

struct UrlCase {
  std::string url;
  std::string host;
  std::int32_t port;
  std::string object;
  bool secure;
};

TEST(UrlTest, SplitsHostPortAndTargetAsTyped) {
  const UrlCase cases[] = {
      {"http://example.com/list.php?id=3#top", "example.com", 80, "/list.php?id=3#top", false},
      {"example.com:8080/a/b", "example.com", 8080, "/a/b", false},
      {"Example.COM", "example.com", 80, "/", false},
      {"HTTPS://WWW.Example.COM/Forum/List.ASPX", "www.example.com", 443, "/Forum/List.ASPX", true},
      {"HTTP://WWW.Example.COM/A", "www.example.com", 80, "/A", false},
      {"https://host:8443", "host", 8443, "/", true},
      // A scheme-less URL with "http://" in its query: the host is taken after the inner prefix, and the
      // target starts at the first "/" after that host's first appearance.
      {"example.com/go?to=http://other.org/x", "other.org", 80, "/x", false},
      // A query right after the host without a "/": it belongs to the host-and-port text.
      {"http://example.com?a=1", "example.com?a=1", 80, "/", false},
      {"http://127.0.0.1:8080?a=1", "127.0.0.1", 8080, "/", false},
      // The port comes after the LAST ":" of the host-and-port text; no digits give 0.
      {"http://a:1:2/x", "a", 2, "/x", false},
      {"http://example.com:abc/", "example.com", 0, "/", false},
      {"http://example.com:/", "example.com", 0, "/", false},
      // "https" in the first five bytes without "://" still picks 443.
      {"httpsite.com/x", "httpsite.com", 443, "/x", false},
      {"", "", 80, "/", false},
      {"http://example.com/a b/" + QW_GBK("中文") + "?q=" + QW_GBK("标题"), "example.com", 80,
       "/a b/" + QW_GBK("中文") + "?q=" + QW_GBK("标题"), false},
  };
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(UrlHost(c.url), c.host);
    EXPECT_EQ(UrlPort(c.url), c.port);
    EXPECT_EQ(UrlObject(c.url), c.object);
    EXPECT_EQ(UrlIsSecure(c.url), c.secure);
  }
}

}  // namespace
}  // namespace qw
