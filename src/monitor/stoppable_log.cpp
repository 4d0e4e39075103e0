#include "monitor/stoppable_log.h"

namespace qw {

void StoppableLog::AppendStatusLine(std::string text) {
  // Held only while the line is handed on (a queued call), so a stop never waits for more than that.
  std::lock_guard lock(mutex_);
  if (!stop_.stop_requested()) target_.AppendStatusLine(std::move(text));
}

void StoppableLog::SetStatusText(std::string text) {
  std::lock_guard lock(mutex_);
  if (!stop_.stop_requested()) target_.SetStatusText(std::move(text));
}

void StoppableLog::Stop() {
  std::lock_guard lock(mutex_);
  stop_.request_stop();
}

}  // namespace qw
