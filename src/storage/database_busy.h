#pragma once
// The flag that serializes use of the main connection between the SQL runner and the article-list query.

#include <atomic>
#include <cstdint>
#include <stop_token>

namespace qw {

class DatabaseBusy {
 public:
  // Test-and-set in one atomic step; true when the caller now holds the flag.
  bool TryAcquire() { return !busy_.exchange(true, std::memory_order_acquire); }
  // Waits in steps of pollMs (processing events on a thread with a message pump) until the flag is taken.
  // False, without the flag, once stop is requested.
  bool Acquire(std::int32_t pollMs, std::stop_token stop = {});
  void Release() { busy_.store(false, std::memory_order_release); }
  bool IsBusy() const { return busy_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> busy_{false};
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
