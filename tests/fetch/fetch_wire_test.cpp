// What FetchPage puts on the wire and what it hands back, read from the raw bytes a local server received.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fetch/http_fetcher.h"
#include "support/fetch_request.h"
#include "support/http_test_server.h"
#include "text/encoding.h"

namespace qw {
namespace {

using test::HttpTestServer;
using test::MakeResponse;
using test::ReceivedRequest;
using test::Request;

std::string Host(const HttpTestServer& server) { return "Host: 127.0.0.1:" + std::to_string(server.Port()); }

std::string OnlyRequest(const HttpTestServer& server) {
  const std::vector<ReceivedRequest> requests = server.Requests();
  EXPECT_EQ(requests.size(), 1u);
  return requests.empty() ? std::string() : requests.front().raw;
}

TEST(FetchWireTest, SchemePageRequestCarriesExactlyTheComposedLines) {
  HttpTestServer server([](const ReceivedRequest&) { return MakeResponse(200, "page"); });
  const std::string url = server.Url("/forum/list.php?id=3&t=" + QW_GBK("标题") + " x#top");
  std::string cookie = "sid=1; theme=dark";
  EXPECT_EQ(FetchPageText(url, cookie, "Bot/2.0", "1"), "page");
  EXPECT_EQ(OnlyRequest(server), "GET /forum/list.php?id=3&t=" + QW_GBK("标题") + " x#top HTTP/1.1\r\n" +
                                     Host(server) +
                                     "\r\n"
                                     "User-Agent: Bot/2.0\r\n"
                                     "Accept: */*\r\n"
                                     "Referer: " +
                                     url +
                                     "\r\n"
                                     "Accept-Language: zh-cn\r\n"
                                     "Content-Type: application/x-www-form-urlencoded\r\n"
                                     "Cookie: sid=1; theme=dark\r\n"
                                     "\r\n");
}

TEST(FetchWireTest, AgentLinesAndMethods) {
  HttpTestServer server([](const ReceivedRequest&) { return MakeResponse(200, "ok"); });
  const std::string url = server.Url("/p");
  const std::string tail =
      "Accept: */*\r\nReferer: " + url +
      "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n";
  const std::string bigBody(5000, 'b');
  struct Case {
    int method;
    std::string extra;
    std::string postText;
    std::string postBytes;
    std::string expected;
  };
  const Case cases[] = {
      // Method 7 is sent as GET; no extra line gives the default agent.
      {7, "", "", "",
       "GET /p HTTP/1.1\r\n" + Host(server) + "\r\nUser-Agent: " + std::string(kDefaultAgent) + "\r\n" +
           tail + "\r\n"},
      // An empty agent gives an empty agent line, never a second one.
      {0, "User-Agent: ", "", "",
       "GET /p HTTP/1.1\r\n" + Host(server) + "\r\nUser-Agent:\r\n" + tail + "\r\n"},
      // A lower-case agent line is replaced by the one agent line.
      {-1, "user-agent: low\r\nX-K: v", "", "",
       "GET /p HTTP/1.1\r\n" + Host(server) + "\r\nUser-Agent: low\r\nX-K: v\r\n" + tail + "\r\n"},
      // postBytes wins over postText; a large body goes out without an Expect line.
      {1, "User-Agent: u", "text", bigBody,
       "POST /p HTTP/1.1\r\n" + Host(server) + "\r\nUser-Agent: u\r\n" + tail +
           "Content-Length: 5000\r\n\r\n" + bigBody},
      {1, "User-Agent: u", "a=1&b=" + QW_GBK("中"), "",
       "POST /p HTTP/1.1\r\n" + Host(server) + "\r\nUser-Agent: u\r\n" + tail +
           "Content-Length: 8\r\n\r\na=1&b=" + QW_GBK("中")},
      {1, "User-Agent: u", "", "",
       "POST /p HTTP/1.1\r\n" + Host(server) + "\r\nUser-Agent: u\r\n" + tail + "Content-Length: 0\r\n\r\n"},
      // HEAD sends its body too, and does not wait for a response body.
      {2, "User-Agent: u", "q", "",
       "HEAD /p HTTP/1.1\r\n" + Host(server) + "\r\nUser-Agent: u\r\n" + tail + "Content-Length: 1\r\n\r\nq"},
      {2, "User-Agent: u", "", "",
       "HEAD /p HTTP/1.1\r\n" + Host(server) + "\r\nUser-Agent: u\r\n" + tail + "\r\n"},
  };
  std::size_t seen = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.substr(0, 60));
    FetchRequest request = Request(url);
    request.method = c.method;
    request.postText = c.postText;
    request.extraHeaders = c.extra;
    request.postBytes = c.postBytes;
    FetchLimits limits;
    limits.stallTimeout = std::chrono::seconds(5);
    const std::string body = FetchPage(request, nullptr, limits);
    EXPECT_EQ(body, c.method == 2 ? "" : "ok");
    const std::vector<ReceivedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), ++seen);
    EXPECT_EQ(requests.back().raw, c.expected);
  }
}

TEST(FetchWireTest, QueryRightAfterTheHostIsNotSent) {
  HttpTestServer server([](const ReceivedRequest&) { return MakeResponse(200, "ok"); });
  std::string cookie;
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "?a=1";
  EXPECT_EQ(FetchPageText(url, cookie, "u", "1"), "ok");
  EXPECT_TRUE(OnlyRequest(server).starts_with("GET / HTTP/1.1\r\n"));
}

TEST(FetchWireTest, HeaderBlockCookiesAndErrorPages) {
  HttpTestServer server([](const ReceivedRequest& request) {
    return MakeResponse(request.raw.starts_with("GET /missing") ? 404 : 200, "body",
                        "set-cookie: a=2; path=/\r\nSET-COOKIE: c=3\r\nX-Other: 1");
  });
  for (const char* path : {"/page", "/missing"}) {
    SCOPED_TRACE(path);
    std::string jar = "a=1;b = 2";
    const FetchRequest request = Request(server.Url(path), &jar);
    FetchReply reply;
    EXPECT_EQ(FetchPage(request, &reply), "body");
    ASSERT_TRUE(reply.responseHeaders.has_value());
    const std::string status = path == std::string("/page") ? "200 OK" : "404 Not Found";
    EXPECT_EQ(*reply.responseHeaders, "HTTP/1.1 " + status +
                                          "\r\nContent-Length: 4\r\nConnection: close\r\n"
                                          "Set-Cookie: a=2; path=/\r\nSet-Cookie: c=3\r\nX-Other: 1\r\n\r\n");
    EXPECT_EQ(reply.returnedCookies, "a=2; c=3; b=2");
    EXPECT_EQ(jar, "a=2; c=3; b=2");
  }
}

TEST(FetchWireTest, EverySetCookieLineCountsOnItsOwn) {
  // A raw UTF-8 value (中) ends in an odd run of bytes of 0x80 and above, which read as GBK would pair its
  // last byte with the CR after it.
  const std::string lines = "Set-Cookie: u=\xE4\xB8\xAD\r\nSet-Cookie: b=2; path=/";
  HttpTestServer server([&](const ReceivedRequest&) { return MakeResponse(200, "x", lines); });
  std::string jar = "b=1; k=v";
  FetchReply reply;
  EXPECT_EQ(FetchPage(Request(server.Url("/"), &jar), &reply), "x");
  EXPECT_EQ(reply.responseHeaders,
            "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nConnection: close\r\n" + lines + "\r\n\r\n");
  EXPECT_EQ(reply.returnedCookies, "u=\xE4\xB8\xAD; b=2; k=v");
  EXPECT_EQ(jar, "u=\xE4\xB8\xAD; b=2; k=v");
}

TEST(FetchWireTest, MissingOrOversizedHeaderBlockGivesSpacesAndNoCookies) {
  HttpTestServer big([](const ReceivedRequest&) {
    return MakeResponse(200, "big", "Set-Cookie: z=9\r\nX-Pad: " + std::string(5000, 'p'));
  });
  int deadPort;
  {
    HttpTestServer closed([](const ReceivedRequest&) { return std::string(); });
    deadPort = closed.Port();
  }
  const std::string urls[] = {big.Url("/"), "http://127.0.0.1:" + std::to_string(deadPort) + "/",
                              "http://bad host/x", "http://127.0.0.1:65536/"};
  for (const std::string& url : urls) {
    SCOPED_TRACE(url);
    std::string jar = "k=v;j=w";
    FetchReply reply;
    const std::string body = FetchPage(Request(url, &jar), &reply);
    EXPECT_EQ(body, url == urls[0] ? "big" : "");
    EXPECT_EQ(reply.responseHeaders, std::string(5000, ' '));
    EXPECT_EQ(reply.returnedCookies, "k=v; j=w");
    EXPECT_EQ(jar, "k=v; j=w");
  }
}

TEST(FetchWireTest, HeaderBlockOf4999BytesFitsAndOf5000DoesNot) {
  const std::string base = MakeResponse(200, "", "Set-Cookie: z=9\r\nX-Pad: ");
  // The block with an empty pad; the pad then makes it 4999 or 5000 bytes.
  const std::size_t fixed = base.size();
  for (const std::size_t size : {std::size_t{4999}, std::size_t{5000}}) {
    SCOPED_TRACE(size);
    const std::string pad(size - fixed, 'p');
    HttpTestServer server(
        [&](const ReceivedRequest&) { return MakeResponse(200, "", "Set-Cookie: z=9\r\nX-Pad: " + pad); });
    FetchReply reply;
    EXPECT_EQ(FetchPage(Request(server.Url("/")), &reply), "");
    if (size == 5000) {
      EXPECT_EQ(reply.responseHeaders, std::string(5000, ' '));
    } else {
      EXPECT_EQ(reply.responseHeaders->size(), 4999u);
    }
    EXPECT_EQ(reply.returnedCookies, size == 4999 ? "z=9" : "");
  }
}

TEST(FetchWireTest, ChunkedTrailersStayOutOfTheHeaderBlock) {
  // Trailer lines come after the body: neither their cookies nor their length count.
  const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nSet-Cookie: a=1\r\n\r\n";
  std::string trailers = "Set-Cookie: t=2\r\n";
  while (trailers.size() < 5000) trailers += "X-Pad: " + std::string(100, 'p') + "\r\n";
  HttpTestServer server(
      [&](const ReceivedRequest&) { return head + "4\r\nbody\r\n0\r\n" + trailers + "\r\n"; });
  std::string jar;
  FetchReply reply;
  EXPECT_EQ(FetchPage(Request(server.Url("/"), &jar), &reply), "body");
  EXPECT_EQ(reply.responseHeaders, head);
  EXPECT_EQ(reply.returnedCookies, "a=1");
  EXPECT_EQ(jar, "a=1");
}

TEST(FetchWireTest, TransferEncodingDecodedContentEncodingNot) {
  const std::string gzipped("\x1f\x8b\x08\x00garbage", 11);
  HttpTestServer server([&](const ReceivedRequest& request) {
    if (request.raw.starts_with("GET /chunked"))
      return test::MakeChunkedResponse(200, {"Hel", "lo ", "world"});
    return MakeResponse(200, gzipped, "Content-Encoding: gzip");
  });
  EXPECT_EQ(FetchPage(Request(server.Url("/chunked"))), "Hello world");
  EXPECT_EQ(FetchPage(Request(server.Url("/gzip"))), gzipped);
}

TEST(FetchWireTest, HostileSetCookieCannotInjectAHeaderIntoTheNextRequest) {
  HttpTestServer server([](const ReceivedRequest&) {
    return MakeResponse(200, "x",
                        "Set-Cookie: a=1\nX-Injected-Lf: 1\r\nSet-Cookie: b=2\rX-Injected-Cr: 1; path=/");
  });
  std::string jar;
  FetchPageText(server.Url("/1"), jar, "u", "1");
  FetchPageText(server.Url("/2"), jar, "u", "1");
  const std::vector<ReceivedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  const std::string& second = requests[1].raw;
  EXPECT_EQ(second.find("\r\nX-Injected"), std::string::npos) << second;
  EXPECT_EQ(second.find("\nX-Injected"), std::string::npos) << second;
  EXPECT_NE(second.find("\r\nCookie: "), std::string::npos) << second;
}

TEST(FetchWireTest, NoProxyFromTheEnvironmentButAPassedProxyIsUsed) {
  HttpTestServer proxy([](const ReceivedRequest&) { return MakeResponse(200, "via proxy"); });
  HttpTestServer site([](const ReceivedRequest&) { return MakeResponse(200, "direct"); });
  const std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.Port());
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
    ::setenv(name, ("http://" + proxyAddress).c_str(), 1);
  }
  const std::string direct = FetchPage(Request(site.Url("/d")));
  FetchRequest viaProxy = Request("http://site.invalid:8080/a?b=1");
  viaProxy.proxy = proxyAddress;
  const std::string proxied = FetchPage(viaProxy);
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) ::unsetenv(name);

  EXPECT_EQ(direct, "direct");
  EXPECT_EQ(proxied, "via proxy");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_TRUE(
      proxy.Requests()[0].raw.starts_with("GET http://site.invalid:8080/a?b=1 HTTP/1.1\r\n"
                                          "Host: site.invalid:8080\r\nUser-Agent: "))
      << proxy.Requests()[0].raw;
  EXPECT_EQ(proxy.Requests()[0].raw.find("Proxy-Connection"), std::string::npos);
}

TEST(FetchWireTest, PortWithoutDigitsIsTheSchemesDefault) {
  // A proxy shows where the fetch was headed: the absolute target, or what CONNECT names.
  HttpTestServer proxy([](const ReceivedRequest& request) {
    if (request.raw.starts_with("CONNECT")) return MakeResponse(403, "");
    return MakeResponse(200, "via proxy");
  });
  const std::pair<std::string, std::string> cases[] = {
      {"http://site.invalid:/a?b=1", "GET http://site.invalid/a?b=1 HTTP/1.1\r\nHost: site.invalid\r\n"},
      {"site.invalid:x/a", "GET http://site.invalid/a HTTP/1.1\r\nHost: site.invalid\r\n"},
      {"https://site.invalid:/a", "CONNECT site.invalid:443 HTTP/1.1\r\nHost: site.invalid:443\r\n"},
      // Beyond the port range: refused without a request.
      {"http://site.invalid:65536/a", ""},
  };
  std::size_t seen = 0;
  for (const auto& [url, start] : cases) {
    SCOPED_TRACE(url);
    FetchRequest request = Request(url);
    request.proxy = "127.0.0.1:" + std::to_string(proxy.Port());
    const std::string body = FetchPage(request);
    EXPECT_EQ(body, start.starts_with("GET") ? "via proxy" : "");
    const std::vector<ReceivedRequest> requests = proxy.Requests();
    if (start.empty()) {
      EXPECT_EQ(requests.size(), seen);
      continue;
    }
    ASSERT_EQ(requests.size(), ++seen);
    EXPECT_TRUE(requests.back().raw.starts_with(start)) << requests.back().raw;
  }
}

TEST(FetchWireTest, ProxysAnswerToConnectIsNotThePagesHeaderBlock) {
  // The proxy agrees to tunnel and then hangs up, so no page response ever arrives.
  HttpTestServer proxy([](const ReceivedRequest&) {
    return std::string("HTTP/1.1 200 Connection established\r\nSet-Cookie: p=1\r\n\r\n");
  });
  FetchRequest request = Request("https://site.invalid/a");
  request.proxy = "127.0.0.1:" + std::to_string(proxy.Port());
  FetchReply reply;
  EXPECT_EQ(FetchPage(request, &reply), "");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_TRUE(proxy.Requests()[0].raw.starts_with("CONNECT site.invalid:443 HTTP/1.1\r\n"));
  EXPECT_EQ(reply.responseHeaders, std::string(5000, ' '));
  EXPECT_EQ(reply.returnedCookies, "");
}

TEST(FetchPageTextTest, DecodesByTheSchemeFlagAndEndsAtTheFirstNul) {
  const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
  HttpTestServer server([&](const ReceivedRequest& request) {
    if (request.raw.starts_with("GET /gbk"))
      return MakeResponse(200, QW_GBK("中文") + std::string("\0tail", 5));
    return MakeResponse(200, utf8 + std::string("\0tail", 5));
  });
  std::string jar;
  EXPECT_EQ(FetchPageText(server.Url("/gbk"), jar, "u", "1"), QW_GBK("中文"));
  EXPECT_EQ(FetchPageText(server.Url("/utf8"), jar, "u", "0"), QW_GBK("中文"));
  EXPECT_EQ(FetchPageText(server.Url("/utf8"), jar, "u", ""), QW_GBK("中文"));
}

}  // namespace
}  // namespace qw
