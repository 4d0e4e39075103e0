#pragma once
// Waiting on conditions in tests, so that no test sleeps a fixed time and no failing test blocks its program.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace qw::test {

// Polls done() until it holds or the limit has passed; whether it holds.
bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5));

// Polls symptom() for the whole window; true when it never held. The window is how long something that
// must not happen is given to happen; a symptom that appears ends the check at once.
bool NeverWithin(const std::function<bool()>& symptom, std::chrono::milliseconds window);

// Runs work on a thread of its own and waits for its result up to the limit; nothing when it has not ended
// by then. The thread is left to itself, so a run that hangs fails the test instead of holding it: work must
// own what it uses (capture by value or shared pointer).
template <class Work>
auto FinishesWithin(std::chrono::milliseconds limit, Work work) -> std::optional<std::invoke_result_t<Work>> {
  using Result = std::invoke_result_t<Work>;
  struct Shared {
    std::mutex mutex;
    std::optional<Result> result;
  };
  auto shared = std::make_shared<Shared>();
  std::thread([shared, work = std::move(work)]() mutable {
    Result result = work();
    std::lock_guard lock(shared->mutex);
    shared->result = std::move(result);
  }).detach();
  Eventually(
      [&] {
        std::lock_guard lock(shared->mutex);
        return shared->result.has_value();
      },
      limit);
  std::lock_guard lock(shared->mutex);
  return shared->result;
}

}  // namespace qw::test
