// Redirects followed by hand and TLS with certificate checking, against local servers.
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
using test::TlsIdentity;

std::string RequestLine(const ReceivedRequest& request) {
  return request.raw.substr(0, request.raw.find("\r\n"));
}

std::string Redirect(int status, const std::string& location, std::string_view body = "moved") {
  return MakeResponse(status, body, "Location: " + location);
}

TEST(FetchRedirectTest, FollowsRelativeLocationsUnlessToldNot) {
  HttpTestServer server([](const ReceivedRequest& request) {
    if (request.raw.starts_with("GET /dir/a ")) return Redirect(302, "b?x=1");
    return MakeResponse(200, "final", "Set-Cookie: s=2");
  });
  std::string jar = "s=1";
  FetchReply reply;
  EXPECT_EQ(FetchPage(Request(server.Url("/dir/a"), &jar), &reply), "final");
  EXPECT_TRUE(reply.responseHeaders->starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(jar, "s=2");
  std::vector<ReceivedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(RequestLine(requests[1]), "GET /dir/b?x=1 HTTP/1.1");
  EXPECT_NE(requests[1].raw.find("\r\nCookie: s=1\r\n"), std::string::npos);  // same host keeps it

  FetchRequest once = Request(server.Url("/dir/a"));
  once.noRedirect = true;
  EXPECT_EQ(FetchPage(once, &reply), "moved");
  EXPECT_TRUE(reply.responseHeaders->starts_with("HTTP/1.1 302 Found\r\n"));
  EXPECT_EQ(server.Requests().size(), 3u);
}

TEST(FetchRedirectTest, MethodAfterRedirectAsBrowsersDo) {
  HttpTestServer server([](const ReceivedRequest& request) {
    if (request.raw.starts_with("POST /303 ")) return Redirect(303, "/done");
    if (request.raw.starts_with("POST /302 ")) return Redirect(302, "/done");
    if (request.raw.starts_with("POST /307 ")) return Redirect(307, "/done");
    return MakeResponse(200, "done");
  });
  struct Case {
    const char* path;
    std::string followUp;  // request line and what ends the request
  };
  const Case cases[] = {
      {"/303", "GET /done HTTP/1.1"}, {"/302", "GET /done HTTP/1.1"}, {"/307", "POST /done HTTP/1.1"}};
  std::size_t seen = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FetchRequest request = Request(server.Url(c.path));
    request.method = 1;
    request.postText = "k=v";
    EXPECT_EQ(FetchPage(request), "done");
    const std::vector<ReceivedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), seen += 2);
    EXPECT_EQ(RequestLine(requests.back()), c.followUp);
    const bool keepsBody = c.followUp.starts_with("POST");
    EXPECT_EQ(requests.back().raw.ends_with("Content-Length: 3\r\n\r\nk=v"), keepsBody);
    EXPECT_EQ(requests.back().raw.find("Content-Length") == std::string::npos, !keepsBody);
  }
}

TEST(FetchRedirectTest, CookieNeverGoesToAnotherHost) {
  HttpTestServer other([](const ReceivedRequest&) { return MakeResponse(200, "other"); });
  HttpTestServer first([&](const ReceivedRequest&) {
    return Redirect(301, "http://localhost:" + std::to_string(other.Port()) + "/x");
  });
  std::string jar = "secret=1";
  EXPECT_EQ(FetchPageText(first.Url("/"), jar, "u", "1"), "other");
  ASSERT_EQ(first.Requests().size(), 1u);
  ASSERT_EQ(other.Requests().size(), 1u);
  EXPECT_NE(first.Requests()[0].raw.find("Cookie: secret=1"), std::string::npos);
  EXPECT_EQ(other.Requests()[0].raw.find("Cookie"), std::string::npos) << other.Requests()[0].raw;
}

TEST(FetchRedirectTest, LoopEndsAtTheLimitWithTheLastRedirect) {
  HttpTestServer server([](const ReceivedRequest&) { return Redirect(302, "/loop", "again"); });
  FetchLimits limits;
  limits.maxRedirects = 3;
  FetchReply reply;
  EXPECT_EQ(FetchPage(Request(server.Url("/loop")), &reply, limits), "again");
  EXPECT_EQ(server.Requests().size(), 4u);
}

class FetchTlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    signed_ = new TlsIdentity(TlsIdentity::SignedByTestCa());
    selfSigned_ = new TlsIdentity(TlsIdentity::SelfSigned());
  }
  static void TearDownTestSuite() {
    delete signed_;
    delete selfSigned_;
  }
  static FetchLimits Trusting() {
    FetchLimits limits;
    limits.caFile = signed_->caFile;
    return limits;
  }
  static TlsIdentity* signed_;
  static TlsIdentity* selfSigned_;
};
TlsIdentity* FetchTlsTest::signed_ = nullptr;
TlsIdentity* FetchTlsTest::selfSigned_ = nullptr;

TEST_F(FetchTlsTest, TrustedCertificateGivesThePage) {
  HttpTestServer server([](const ReceivedRequest&) { return MakeResponse(200, "secure"); }, *signed_);
  ASSERT_TRUE(server.Url("/").starts_with("https://"));
  EXPECT_EQ(FetchPage(Request(server.Url("/s?q=1")), nullptr, Trusting()), "secure");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(RequestLine(server.Requests()[0]), "GET /s?q=1 HTTP/1.1");
}

TEST_F(FetchTlsTest, RejectedCertificateGivesNoBody) {
  HttpTestServer server([](const ReceivedRequest&) { return MakeResponse(200, "secure"); }, *selfSigned_);
  std::string jar = "a=1";
  FetchReply reply;
  EXPECT_EQ(FetchPage(Request(server.Url("/"), &jar), &reply, Trusting()), "");
  EXPECT_EQ(reply.responseHeaders, std::string(5000, ' '));
  EXPECT_EQ(jar, "a=1");
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(GbkToUtf8(reply.outcome.error), "网站证书无效");
  // Without a CA file the system store is used, which does not know the test CA either.
  HttpTestServer caSigned([](const ReceivedRequest&) { return MakeResponse(200, "secure"); }, *signed_);
  EXPECT_EQ(FetchPage(Request(caSigned.Url("/"))), "");
}

TEST_F(FetchTlsTest, RedirectToHttpsIsFollowedButNotBack) {
  HttpTestServer plain([](const ReceivedRequest&) { return MakeResponse(200, "plain"); });
  HttpTestServer secure(
      [&](const ReceivedRequest& request) {
        if (request.raw.starts_with("GET /down ")) return Redirect(302, plain.Url("/"), "leaving");
        return MakeResponse(200, "secure page");
      },
      *signed_);
  HttpTestServer up([&](const ReceivedRequest&) { return Redirect(301, secure.Url("/page")); });

  EXPECT_EQ(FetchPage(Request(up.Url("/")), nullptr, Trusting()), "secure page");
  FetchReply reply;
  EXPECT_EQ(FetchPage(Request(secure.Url("/down")), &reply, Trusting()), "");
  EXPECT_TRUE(reply.responseHeaders->starts_with("HTTP/1.1 302 Found\r\n"));
  EXPECT_EQ(GbkToUtf8(reply.outcome.error), "拒绝从 https 网址跳转到 http 网址");
  EXPECT_TRUE(plain.Requests().empty());
}

}  // namespace
}  // namespace qw
