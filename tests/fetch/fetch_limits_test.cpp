// A silent, stalling, endless or cancelled exchange ends within the limits instead of holding the thread.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "fetch/http_fetcher.h"
#include "support/fetch_request.h"
#include "support/http_test_server.h"
#include "support/waits.h"

namespace qw {
namespace {

using std::chrono::milliseconds;
using test::HttpTestServer;
using test::ReceivedRequest;
using test::Request;
using test::ResponseStream;
using Clock = std::chrono::steady_clock;

// Far above the limits the tests set and far below the defaults they replace.
constexpr auto kPromptly = std::chrono::seconds(5);

FetchLimits Short() {
  FetchLimits limits;
  limits.connectTimeout = milliseconds(2000);
  limits.stallTimeout = milliseconds(200);
  limits.totalTimeout = milliseconds(3000);
  return limits;
}

const std::string kHead = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nSet-Cookie: t=1\r\n\r\n";

TEST(FetchLimitsTest, SilentOrStallingServerEndsWithAnEmptyBody) {
  HttpTestServer silent(HttpTestServer::NeverAnswer());
  HttpTestServer stalling([](const ReceivedRequest&, ResponseStream& out) {
    if (out.Send(kHead + "partial")) out.Hold();
  });
  for (const HttpTestServer* server : {&silent, &stalling}) {
    std::string jar = "a=1";
    FetchReply reply;
    const auto start = Clock::now();
    EXPECT_EQ(FetchPage(Request(server->Url("/"), &jar), &reply, Short()), "");
    EXPECT_LT(Clock::now() - start, kPromptly);
    EXPECT_EQ(server->Requests().size(), 1u);
    // What arrived before the stall still counts for the header block and the cookies.
    EXPECT_EQ(jar, server == &silent ? "a=1" : "t=1; a=1");
  }
}

TEST(FetchLimitsTest, TrickleEndsAtTheOverallCeiling) {
  HttpTestServer trickle([](const ReceivedRequest&, ResponseStream& out) {
    if (!out.Send(kHead)) return;
    while (out.Send("x") && out.HoldFor(milliseconds(20))) {
    }
  });
  FetchLimits limits = Short();
  limits.totalTimeout = milliseconds(300);
  const auto start = Clock::now();
  EXPECT_EQ(FetchPage(Request(trickle.Url("/")), nullptr, limits), "");
  EXPECT_LT(Clock::now() - start, kPromptly);
}

TEST(FetchLimitsTest, StopRequestEndsTheFetchAtOnce) {
  HttpTestServer silent(HttpTestServer::NeverAnswer());
  FetchLimits limits = Short();
  limits.stallTimeout = std::chrono::minutes(5);
  limits.totalTimeout = std::chrono::minutes(5);
  std::stop_source stop;
  std::string body = "unset";
  std::thread fetcher([&] { body = FetchPage(Request(silent.Url("/")), nullptr, limits, stop.get_token()); });
  EXPECT_TRUE(test::Eventually([&] { return !silent.Requests().empty(); }));
  const auto stopped = Clock::now();
  stop.request_stop();
  fetcher.join();
  EXPECT_LT(Clock::now() - stopped, kPromptly);
  EXPECT_EQ(body, "");
}

TEST(FetchLimitsTest, AFetchStoppedBeforeItStartsOpensNoConnection) {
  HttpTestServer server([](const ReceivedRequest&) { return test::MakeResponse(200, "page"); });
  std::stop_source stop;
  stop.request_stop();
  EXPECT_EQ(FetchPage(Request(server.Url("/")), nullptr, Short(), stop.get_token()), "");
  EXPECT_EQ(server.ConnectionsOpened(), 0);
}

TEST(FetchLimitsTest, EndlessBodyStopsAtTheCapWithTheCappedBytes) {
  HttpTestServer endless([](const ReceivedRequest&, ResponseStream& out) {
    if (!out.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")) return;
    const std::string block(65536, 'x');
    while (out.Send(block)) {
    }
  });
  FetchLimits limits = Short();
  limits.maxBodyBytes = 100'000;
  const std::string body = FetchPage(Request(endless.Url("/")), nullptr, limits);
  EXPECT_EQ(body.size(), 100'000u);
  EXPECT_EQ(body.find_first_not_of('x'), std::string::npos);
}

TEST(FetchLimitsTest, BrokenConnectionKeepsTheBodyReadSoFar) {
  HttpTestServer breaking(
      [](const ReceivedRequest&, ResponseStream& out) { (void)out.Send(kHead + "partial"); });
  EXPECT_EQ(FetchPage(Request(breaking.Url("/")), nullptr, Short()), "partial");
}

}  // namespace
}  // namespace qw
