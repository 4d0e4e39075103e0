#pragma once
// The status log as one worker writes it: once the worker is stopped, none of its lines gets through, not
// even one it was about to write when the stop came.

#include <mutex>
#include <stop_token>
#include <string>

#include "log/status_log.h"

namespace qw {

class StoppableLog final : public StatusLog {
 public:
  StoppableLog(StatusLog& target, std::stop_source& stop) : target_(target), stop_(stop) {}

  void AppendStatusLine(std::string text) override;
  void SetStatusText(std::string text) override;

  // Requests the stop; when this returns, the log takes no further line.
  void Stop();

 private:
  StatusLog& target_;
  std::stop_source& stop_;
  std::mutex mutex_;
};

}  // namespace qw
