#pragma once
// The status log the user follows, and the time text that ends progress lines.

#include <ctime>
#include <mutex>
#include <string>
#include <string_view>

namespace qw {

// Any thread may call it; implementations carry the calls out in call order, each append whole.
class StatusLog {
 public:
  virtual ~StatusLog() = default;
  // Appends text at the end; the text carries its own leading "\r\n" when it starts a new line.
  virtual void AppendStatusLine(std::string text) = 0;
  // Replaces the whole text.
  virtual void SetStatusText(std::string text) = 0;
};

// A status log held in memory, for tests and for work without a window.
class MemoryStatusLog final : public StatusLog {
 public:
  void AppendStatusLine(std::string text) override;
  void SetStatusText(std::string text) override;
  std::string Text() const;

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

// "year-month-day hour:minute second" without leading zeros, for instance "2016-10-21 9:5 7".
std::string FormatTimestamp(const std::tm& local);
// The current local time as FormatTimestamp writes it.
std::string TimestampText();
// The local time of when, written the same way.
std::string TimestampText(std::time_t when);

}  // namespace qw
