#include "storage/database_busy.h"

#include <thread>

#include "text/waiting.h"

namespace qw {

bool DatabaseBusy::TryAcquire() {
  if (busy_.exchange(true, std::memory_order_acquire)) return false;
  holder_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  return true;
}

void DatabaseBusy::Release() {
  holder_.store(std::thread::id{}, std::memory_order_relaxed);
  busy_.store(false, std::memory_order_release);
}

bool DatabaseBusy::Acquire(std::int32_t pollMs, std::stop_token stop) {
  if (HeldHere()) return false;
  // A stopped worker runs no further statement, even when the flag is free.
  for (;;) {
    if (stop.stop_requested()) return false;
    if (TryAcquire()) return true;
    // A wait of no time returns at once; yielding keeps such a loop from starving the holder.
    if (pollMs <= 0) {
      std::this_thread::yield();
    } else {
      WaitPumping(pollMs, 0, stop);
    }
  }
}

}  // namespace qw
