#pragma once
// The flag that serializes use of the main connection between the SQL runner and the article-list query.

#include <atomic>
#include <cstdint>
#include <stop_token>
#include <thread>

namespace qw {

class DatabaseBusy {
 public:
  // Test-and-set in one atomic step; true when the caller now holds the flag.
  bool TryAcquire();
  // Waits in steps of pollMs (processing events on a thread with a message pump) until the flag is taken.
  // False, without the flag, once stop is requested, and at once when the calling thread holds the flag
  // already: a handler run inside the wait of a statement it lies under would otherwise wait for itself.
  bool Acquire(std::int32_t pollMs, std::stop_token stop = {});
  void Release();
  bool IsBusy() const { return busy_.load(std::memory_order_acquire); }
  // Whether the calling thread holds the flag.
  bool HeldHere() const { return holder_.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

 private:
  std::atomic<bool> busy_{false};
  // Set by the holder after taking the flag and cleared before giving it back; only the holder's own thread
  // can find its id here.
  std::atomic<std::thread::id> holder_{};
};

// Holds the flag for a scope (unless stop was requested while waiting for it).
class BusyGuard {
 public:
  BusyGuard(DatabaseBusy& busy, std::int32_t pollMs, std::stop_token stop = {})
      : busy_(busy), held_(busy_.Acquire(pollMs, std::move(stop))) {}
  ~BusyGuard() {
    if (held_) busy_.Release();
  }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

  bool held() const { return held_; }

 private:
  DatabaseBusy& busy_;
  const bool held_;
};

}  // namespace qw
