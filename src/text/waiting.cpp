#include "text/waiting.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qw {
namespace {

thread_local MessagePump* currentPump = nullptr;
thread_local std::stop_token threadStop;

// Sleeps until the deadline, or until stop is requested; true when the deadline was reached.
bool SleepUntil(SteadyTime deadline, std::stop_token stop) {
  if (!stop.stop_possible()) {
    std::this_thread::sleep_until(deadline);
    return true;
  }
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  // Nothing ever notifies `wake`: only the deadline or the stop request ends this wait. The predicate is
  // always false, so the call's own result says nothing; the clock does.
  wake.wait_until(lock, stop, deadline, [] { return false; });
  return std::chrono::steady_clock::now() >= deadline;
}

// How long one round of event processing may run when a stop request must be noticed: a pump cannot be woken
// from another thread, so a stoppable wait hands it short slices instead of the whole interval.
constexpr std::chrono::milliseconds kStopCheckSlice{20};

}  // namespace

void InstallMessagePump(MessagePump* pump) { currentPump = pump; }

void SetThreadStopToken(std::stop_token stop) { threadStop = std::move(stop); }

std::stop_token ThreadStopToken() { return threadStop; }

MessagePump* CurrentMessagePump() { return currentPump; }

std::int64_t IntervalMilliseconds(std::int32_t interval, std::int32_t unit) {
  std::int64_t multiplier = unit;
  switch (unit) {
    case 0:
      multiplier = 1;
      break;
    case 1:
      multiplier = 1000;
      break;
    case 2:
      multiplier = 60000;
      break;
    case 3:
      multiplier = 3600000;
      break;
    default:
      break;
  }
  // The product of two 32-bit values always fits in 64 bits.
  return static_cast<std::int64_t>(interval) * multiplier;
}

bool WaitPumping(std::int32_t interval, std::int32_t unit, std::stop_token stop) {
  std::int64_t ms = IntervalMilliseconds(interval, unit);
  if (ms <= 0) return true;
  // Hours times the largest interval would overflow the clock's nanoseconds; a century is long enough.
  const std::int64_t kLongestMs = 100LL * 366 * 24 * 3600 * 1000;
  ms = std::min(ms, kLongestMs);
  // The deadline is fixed once, on the monotonic clock; events handled meanwhile never lengthen it.
  const SteadyTime deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  MessagePump* pump = currentPump;
  if (pump == nullptr) return SleepUntil(deadline, stop);
  const bool stoppable = stop.stop_possible();
  for (SteadyTime now = std::chrono::steady_clock::now(); now < deadline;
       now = std::chrono::steady_clock::now()) {
    if (stop.stop_requested()) return false;
    // A pump may return early (an event arrived); the loop goes on to the same fixed deadline.
    pump->ProcessUntil(stoppable ? std::min(deadline, now + kStopCheckSlice) : deadline);
  }
  return true;
}

void PumpPendingMessages() {
  if (MessagePump* pump = currentPump) pump->ProcessPending();
}

void KeepAliveUntil(SteadyTime deadline) {
  MessagePump* pump = currentPump;
  if (pump == nullptr) {
    SleepUntil(deadline, threadStop);
    return;
  }
  // The pump may return early when an event arrives; the wait goes on to the same deadline.
  while (std::chrono::steady_clock::now() < deadline) pump->ProcessNonInputUntil(deadline);
}

}  // namespace qw
