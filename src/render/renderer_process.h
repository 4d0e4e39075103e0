#pragma once
// One renderer helper process, as the program holds it: started in a process group of its own with a channel
// each way, so that it and every engine process it starts can be ended at once, and reaped when it has gone.
// Thread-safe: the reading thread reaps it while others may kill it.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace qw {

class RendererProcess {
 public:
  // Starts the helper at path. Nothing, with why (GBK) set, when it cannot be started.
  static std::unique_ptr<RendererProcess> Start(const std::string& path, std::string& why);
  // Kills what is left of the group and reaps the helper.
  ~RendererProcess();
  RendererProcess(const RendererProcess&) = delete;
  RendererProcess& operator=(const RendererProcess&) = delete;

  // Writes the whole line to the helper's input without blocking for long; false when the helper does not
  // take it (gone, or its input full).
  bool Send(std::string_view line);
  // The helper's output, to read its answers from.
  int Output() const { return output_; }
  // Closes the helper's input: it ends on its own.
  void CloseInput();
  // Ends the helper and every process of its group at once.
  void Kill();
  // Waits up to wait for the helper to end, kills its group whatever is left of it, and reaps it. How it
  // ended, in GBK ("退出码 1", "信号 9"). The helper's output must have reached its end, or wait is all it
  // gets.
  std::string Reap(std::chrono::milliseconds wait);

  // The anonymous resident memory of the helper and every process of its group together, in bytes.
  std::size_t GroupMemory() const;
  pid_t Pid() const { return pid_; }

 private:
  RendererProcess(pid_t pid, int input, int output) : pid_(pid), input_(input), output_(output) {}

  const pid_t pid_;
  int input_;
  const int output_;
  mutable std::mutex mutex_;
  bool reaped_ = false;
};

// The live processes of a process group, and their anonymous resident memory in bytes, read from /proc.
struct GroupUsage {
  int processes = 0;
  std::size_t memory = 0;
};
GroupUsage ProcessGroupUsage(pid_t group);

}  // namespace qw
