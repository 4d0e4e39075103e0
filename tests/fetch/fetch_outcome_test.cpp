// How a fetch ended, as a scheme's state reports it: the final status, the reason nothing usable came, and
// how long a site that asks for a pause wants to be left alone.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <optional>
#include <string>

#include "fetch/http_fetcher.h"
#include "fetch/retry_after.h"
#include "support/fetch_request.h"
#include "support/http_test_server.h"
#include "text/encoding.h"

namespace qw {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using test::HttpTestServer;
using test::MakeResponse;
using test::ReceivedRequest;
using test::Request;

FetchOutcome OutcomeOf(const std::string& url, const FetchLimits& limits = {}) {
  FetchReply reply;
  FetchPage(Request(url), &reply, limits);
  return reply.outcome;
}

TEST(FetchOutcomeTest, StatusesAndRetryAfterOfTheFinalResponse) {
  HttpTestServer server([](const ReceivedRequest& request) {
    if (request.raw.starts_with("GET /busy ")) return MakeResponse(429, "slow down", "Retry-After:  120 ");
    if (request.raw.starts_with("GET /gone ")) return MakeResponse(404, "no such board");
    if (request.raw.starts_with("GET /moved ")) return MakeResponse(301, "", "Location: /busy");
    if (request.raw.starts_with("GET /loop ")) return MakeResponse(302, "", "Location: /loop");
    return MakeResponse(200, "list");
  });
  struct Case {
    const char* path;
    long status;
    std::string error;
    std::string retryAfter;
  };
  const Case cases[] = {
      {"/", 200, "", ""},
      {"/gone", 404, "", ""},
      {"/busy", 429, "", "120"},
      {"/moved", 429, "", "120"},  // the redirect's target answered
      {"/loop", 302, Utf8ToGbk("重定向次数过多"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const FetchOutcome outcome = OutcomeOf(server.Url(c.path));
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.error, c.error);
    EXPECT_EQ(outcome.retryAfter, c.retryAfter);
  }

  // FetchPageText hands the same up beside the page.
  std::string cookie;
  FetchOutcome outcome;
  EXPECT_EQ(FetchPageText(server.Url("/busy"), cookie, "u", "1", {}, {}, &outcome), "slow down");
  EXPECT_EQ(outcome.status, 429);
  EXPECT_EQ(outcome.retryAfter, "120");
}

TEST(FetchOutcomeTest, WhyNothingUsableCame) {
  // A port that was just free refuses the connection.
  std::string refused;
  {
    HttpTestServer closed([](const ReceivedRequest&) { return MakeResponse(200, ""); });
    refused = closed.Url("/");
  }
  HttpTestServer silent(HttpTestServer::NeverAnswer());
  FetchLimits limits;
  limits.stallTimeout = milliseconds(200);
  struct Case {
    std::string url;
    const char* error;
  };
  const Case cases[] = {
      {refused, "无法连接服务器"},
      {silent.Url("/"), "响应超时"},
      {"http://bad host/", "网址无效"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    const FetchOutcome outcome = OutcomeOf(c.url, limits);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(GbkToUtf8(outcome.error), c.error);
  }
}

TEST(RetryAfterTest, SecondsOrAnHttpDate) {
  // 2026-12-10 09:05:07 UTC.
  const std::time_t now = 1796893507;
  struct Case {
    const char* value;
    std::optional<long> seconds;
  };
  const Case cases[] = {
      {"120", 120},
      {" 7 ", 7},
      {"0", 0},
      {"99999999999999999999", 86400},  // capped long before it overflows
      {"Thu, 10 Dec 2026 09:10:07 GMT", 300},
      {"Thursday, 10-Dec-26 09:06:07 GMT", 60},
      {"Thu Dec 10 09:05:37 2026", 30},
      {"Thu, 10 Dec 2026 09:00:00 GMT", 0},  // already past
      {"", std::nullopt},
      {"soon", std::nullopt},
      {"-5", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const std::optional<seconds> delay = RetryAfterDelay(c.value, now);
    ASSERT_EQ(delay.has_value(), c.seconds.has_value());
    if (delay) {
      EXPECT_EQ(delay->count(), *c.seconds);
    }
  }
  EXPECT_TRUE(AsksForPause(429));
  EXPECT_TRUE(AsksForPause(503));
  EXPECT_FALSE(AsksForPause(500));
  EXPECT_FALSE(AsksForPause(200));
}

}  // namespace
}  // namespace qw
