#include "storage/database_busy.h"

#include <thread>

#include "text/waiting.h"

namespace qw {

void DatabaseBusy::Acquire(std::int32_t pollMs) {
  while (!TryAcquire()) {
    // A wait of no time returns at once; yielding keeps such a loop from starving the holder.
    if (pollMs <= 0) {
      std::this_thread::yield();
    } else {
      WaitPumping(pollMs);
    }
  }
}

}  // namespace qw
