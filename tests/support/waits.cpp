#include "support/waits.h"

#include "support/sanitizers.h"

namespace qw::test {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPoll{2};

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  // The thread sanitizer slows every thread several times over; what is to come is given as much longer.
  const auto end = Clock::now() + (kThreadSanitizer ? limit * 10 : limit);
  while (!done()) {
    if (Clock::now() >= end) return done();
    std::this_thread::sleep_for(kPoll);
  }
  return true;
}

bool NeverWithin(const std::function<bool()>& symptom, std::chrono::milliseconds window) {
  const auto end = Clock::now() + window;
  do {
    if (symptom()) return false;
    std::this_thread::sleep_for(kPoll);
  } while (Clock::now() < end);
  return !symptom();
}

}  // namespace qw::test
