#pragma once
// The flag that serializes use of the main connection between the SQL runner and the article-list query.

#include <atomic>
#include <cstdint>

namespace qw {

class DatabaseBusy {
 public:
  // Test-and-set in one atomic step; true when the caller now holds the flag.
  bool TryAcquire() { return !busy_.exchange(true, std::memory_order_acquire); }
  // Waits in steps of pollMs (processing events on a thread with a message pump) until the flag is taken.
  void Acquire(std::int32_t pollMs);
  void Release() { busy_.store(false, std::memory_order_release); }
  bool IsBusy() const { return busy_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> busy_{false};
};

// Holds the flag for a scope.
class BusyGuard {
 public:
  BusyGuard(DatabaseBusy& busy, std::int32_t pollMs) : busy_(busy) { busy_.Acquire(pollMs); }
  ~BusyGuard() { busy_.Release(); }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  DatabaseBusy& busy_;
};

}  // namespace qw
