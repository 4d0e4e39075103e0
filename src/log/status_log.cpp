#include "log/status_log.h"

#include <ctime>

namespace qw {

void MemoryStatusLog::AppendStatusLine(std::string text) {
  std::lock_guard lock(mutex_);
  text_ += text;
}

void MemoryStatusLog::SetStatusText(std::string text) {
  std::lock_guard lock(mutex_);
  text_ = std::move(text);
}

std::string MemoryStatusLog::Text() const {
  std::lock_guard lock(mutex_);
  return text_;
}

std::string FormatTimestamp(const std::tm& local) {
  // Plain decimal numbers without padding; a space, not a colon, stands between minute and second.
  return std::to_string(local.tm_year + 1900) + '-' + std::to_string(local.tm_mon + 1) + '-' +
         std::to_string(local.tm_mday) + ' ' + std::to_string(local.tm_hour) + ':' +
         std::to_string(local.tm_min) + ' ' + std::to_string(local.tm_sec);
}

std::string TimestampText() { return TimestampText(std::time(nullptr)); }

std::string TimestampText(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  return FormatTimestamp(local);
}

}  // namespace qw
