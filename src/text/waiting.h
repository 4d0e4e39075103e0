#pragma once
// Waiting without freezing the window, and ending a worker's wait early.
//
// The user-interface thread installs a MessagePump; a wait on that thread keeps processing its events until a
// monotonic deadline. A thread without a pump (a monitoring worker) simply sleeps until the deadline, or
// until its stop token is triggered.

#include <chrono>
#include <cstdint>
#include <stop_token>

namespace qw {

using SteadyTime = std::chrono::steady_clock::time_point;

// The event processing of one thread; the windows supply one backed by Qt's event loop.
class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Processes the events already queued for this thread, then returns.
  virtual void ProcessPending() = 0;
  // Processes events as they arrive and returns at the deadline at the latest (it may return earlier).
  virtual void ProcessUntil(SteadyTime deadline) = 0;
  // As ProcessUntil, but user input (clicks, keys) stays queued for a later round: the window repaints and
  // takes queued calls and timers, yet no handler can start new work. A database statement that waits uses it,
  // so the wait keeps the window alive without running a second statement inside the first.
  virtual void ProcessNonInputUntil(SteadyTime deadline) { ProcessUntil(deadline); }
};

// Installs (or with nullptr removes) the pump of the calling thread. The pump must outlive its installation.
void InstallMessagePump(MessagePump* pump);
MessagePump* CurrentMessagePump();

// Interval units: 0 milliseconds, 1 seconds, 2 minutes, 3 hours; any other unit value is itself the
// multiplier.
std::int64_t IntervalMilliseconds(std::int32_t interval, std::int32_t unit);

// Waits the interval, processing the calling thread's events meanwhile when it has a pump. An interval of 0
// or less returns at once; one longer than a century is cut to a century. Returns true after the interval has
// passed, false when stop ended the wait early. The pump gets the fixed deadline; with a stop token that can
// be triggered it gets the wait in slices of a few tens of milliseconds instead, so the request is noticed.
bool WaitPumping(std::int32_t interval, std::int32_t unit = 0, std::stop_token stop = {});

// Processes the events already queued for the calling thread; does nothing on a thread without a pump.
void PumpPendingMessages();

// Waits until the deadline: on a thread with a pump it keeps the window alive without taking user input
// (ProcessNonInputUntil); elsewhere it sleeps, or ends early once the thread's stop token is triggered.
void KeepAliveUntil(SteadyTime deadline);

// The stop token of the calling worker thread, for waits deep below it that take no token of their own (a
// statement waiting for a file lock gives up once its worker is stopped). Empty on other threads.
void SetThreadStopToken(std::stop_token stop);
std::stop_token ThreadStopToken();

}  // namespace qw
