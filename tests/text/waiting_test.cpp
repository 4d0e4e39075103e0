#include "text/waiting.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <optional>
#include <limits>
#include <stop_token>
#include <thread>
#include <vector>

#include "support/waits.h"

namespace qw {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Records what the wait asks of it. ProcessUntil returns early `earlyReturns` times (as when an event
// arrives), then sleeps to the deadline it was given, optionally overrunning it like a slow event handler.
class FakePump : public MessagePump {
 public:
  void ProcessPending() override { ++pendingCalls; }
  void ProcessUntil(SteadyTime deadline) override {
    deadlines.push_back(deadline);
    if (earlyReturns > 0) {
      --earlyReturns;
      return;
    }
    std::this_thread::sleep_until(deadline + overrun);
  }

  int pendingCalls = 0;
  int earlyReturns = 0;
  milliseconds overrun{0};
  std::vector<SteadyTime> deadlines;
};

// Installs a pump on the calling thread for the scope of one test.
class PumpInstalled {
 public:
  explicit PumpInstalled(MessagePump* pump) { InstallMessagePump(pump); }
  ~PumpInstalled() { InstallMessagePump(nullptr); }
};

TEST(IntervalMillisecondsTest, Units) {
  struct Case {
    std::int32_t interval, unit;
    std::int64_t expected;
  };
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const std::vector<Case> cases = {
      {100, 0, 100},
      {2, 1, 2000},
      {2, 2, 120000},
      {2, 3, 7200000},
      {3, 7, 21},  // any other unit is itself the multiplier
      {5, -2, -10},
      {-5, 0, -5},
      {0, 3, 0},
      {kMax, 3, std::int64_t{kMax} * 3600000},
      {kMin, kMin, std::int64_t{kMin} * kMin},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IntervalMilliseconds(c.interval, c.unit), c.expected) << c.interval << " unit " << c.unit;
  }
}

TEST(WaitPumpingTest, ZeroOrNegativeReturnsAtOnceWithoutPumping) {
  FakePump pump;
  PumpInstalled installed(&pump);
  const auto before = Clock::now();
  EXPECT_TRUE(WaitPumping(0));
  EXPECT_TRUE(WaitPumping(-100));
  EXPECT_TRUE(WaitPumping(5, -1000));  // a negative multiplier makes the interval negative
  EXPECT_LT(Clock::now() - before, milliseconds(1000));
  EXPECT_TRUE(pump.deadlines.empty());
}

TEST(WaitPumpingTest, PumpGetsOneFixedDeadline) {
  FakePump pump;
  pump.earlyReturns = 3;  // events arrive: processing them never moves the deadline
  PumpInstalled installed(&pump);
  const auto before = Clock::now();
  EXPECT_TRUE(WaitPumping(30));
  const auto after = Clock::now();
  ASSERT_EQ(pump.deadlines.size(), 4u);
  for (const SteadyTime& deadline : pump.deadlines) EXPECT_EQ(deadline, pump.deadlines.front());
  EXPECT_GE(pump.deadlines.front(), before + milliseconds(30));
  EXPECT_LE(pump.deadlines.front(), after);
  EXPECT_EQ(pump.pendingCalls, 0);
}

TEST(WaitPumpingTest, HandlerRunningPastTheDeadlineDelaysTheReturn) {
  FakePump pump;
  pump.overrun = milliseconds(20);
  PumpInstalled installed(&pump);
  const auto before = Clock::now();
  EXPECT_TRUE(WaitPumping(10));
  EXPECT_GE(Clock::now() - before, milliseconds(30));
  EXPECT_EQ(pump.deadlines.size(), 1u);
}

TEST(WaitPumpingTest, UnitScalesTheInterval) {
  // Unit 10 is not one of the named units, so it multiplies by itself: 3 x 10 ms.
  FakePump pump;
  PumpInstalled installed(&pump);
  const auto before = Clock::now();
  EXPECT_TRUE(WaitPumping(3, 10));
  const auto after = Clock::now();
  ASSERT_EQ(pump.deadlines.size(), 1u);
  EXPECT_GE(pump.deadlines.front(), before + milliseconds(30));
  EXPECT_LE(pump.deadlines.front(), after);
  EXPECT_LT(pump.deadlines.front(), before + milliseconds(1000));
}

TEST(WaitPumpingTest, PumpPendingMessagesUsesTheThreadsPump) {
  PumpPendingMessages();  // no pump: nothing happens
  FakePump pump;
  PumpInstalled installed(&pump);
  PumpPendingMessages();
  PumpPendingMessages();
  EXPECT_EQ(pump.pendingCalls, 2);
  EXPECT_TRUE(pump.deadlines.empty());
  EXPECT_EQ(CurrentMessagePump(), &pump);
  // The pump belongs to this thread only.
  EXPECT_EQ(std::async(std::launch::async, [] { return CurrentMessagePump(); }).get(), nullptr);
}

TEST(WaitPumpingTest, WithoutPumpSleepsTheInterval) {
  const auto before = Clock::now();
  EXPECT_TRUE(WaitPumping(20));
  EXPECT_GE(Clock::now() - before, milliseconds(20));
  std::stop_source unused;
  const auto again = Clock::now();
  EXPECT_TRUE(WaitPumping(20, 0, unused.get_token()));
  EXPECT_GE(Clock::now() - again, milliseconds(20));
}

// A worker (no pump) waiting for an hour, or for the longest interval there is, ends soon after a stop
// request from another thread and reports that the interval did not pass.
TEST(WaitPumpingTest, StopFromAnotherThreadEndsAWorkersLongWait) {
  for (const auto& [interval, unit] :
       {std::pair{1, 3}, std::pair{std::numeric_limits<std::int32_t>::max(), 3}}) {
    std::stop_source stop;
    std::thread stopper([stop]() mutable {
      std::this_thread::sleep_for(milliseconds(20));
      stop.request_stop();
    });
    const std::optional<bool> passed = test::FinishesWithin(
        std::chrono::seconds(10), [interval, unit, token = stop.get_token()] {
          return WaitPumping(interval, unit, token);
        });
    stopper.join();
    ASSERT_TRUE(passed.has_value());
    EXPECT_FALSE(*passed);
  }
}

TEST(WaitPumpingTest, StopEndsAWaitOnAThreadWithAPump) {
  std::stop_source stop;
  std::thread stopper([stop]() mutable {
    std::this_thread::sleep_for(milliseconds(20));
    stop.request_stop();
  });
  const std::optional<bool> passed =
      test::FinishesWithin(std::chrono::seconds(10), [token = stop.get_token()] {
        FakePump pump;
        PumpInstalled installed(&pump);
        return WaitPumping(1, 3, token);
      });
  stopper.join();
  ASSERT_TRUE(passed.has_value());
  EXPECT_FALSE(*passed);
}

// Waits deep below a worker (a statement waiting for a file lock) take the worker's stop from its thread.
TEST(KeepAliveUntilTest, AWorkersWaitEndsAtItsStop) {
  std::stop_source stop;
  std::thread stopper([stop]() mutable {
    std::this_thread::sleep_for(milliseconds(20));
    stop.request_stop();
  });
  const std::optional<bool> ended =
      test::FinishesWithin(std::chrono::seconds(10), [token = stop.get_token()] {
        SetThreadStopToken(token);
        KeepAliveUntil(Clock::now() + std::chrono::hours(1));
        return true;
      });
  stopper.join();
  EXPECT_TRUE(ended.has_value());
}

TEST(WaitPumpingTest, StopAlreadyRequestedReturnsAtOnce) {
  std::stop_source stop;
  stop.request_stop();
  const auto before = Clock::now();
  EXPECT_FALSE(WaitPumping(1, 3, stop.get_token()));
  FakePump pump;
  PumpInstalled installed(&pump);
  EXPECT_FALSE(WaitPumping(1, 3, stop.get_token()));
  EXPECT_TRUE(pump.deadlines.empty());
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(10));
}

}  // namespace
}  // namespace qw
