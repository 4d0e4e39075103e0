#include "storage/database_busy.h"

#include <thread>

#include "text/waiting.h"

namespace qw {

bool DatabaseBusy::Acquire(std::int32_t pollMs, std::stop_token stop) {
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
