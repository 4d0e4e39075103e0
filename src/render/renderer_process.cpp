#include "render/renderer_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "text/encoding.h"

extern char** environ;

namespace qw {
namespace {

// How long a write to a helper that does not read may wait before the helper counts as stuck.
constexpr int kSendPatienceMs = 2000;
// How long the processes of a killed group may take to end.
constexpr std::chrono::milliseconds kDrainPatience{1000};

std::string SystemError(int code) { return Utf8ToGbk(std::strerror(code)); }

// Process group and resident pages of /proc/<pid>/stat and /proc/<pid>/statm; false for a process that has
// gone meanwhile, or has ended and waits to be reaped by its parent (it holds no memory).
bool ReadProcess(const std::string& pid, pid_t& group, std::size_t& anonymousPages) {
  std::ifstream stat("/proc/" + pid + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  // The command name stands in parentheses and may hold anything; the fields follow its last ")".
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return false;
  char state = 0;
  long parent = 0;
  long pgrp = 0;
  if (std::sscanf(line.c_str() + close + 1, " %c %ld %ld", &state, &parent, &pgrp) != 3 || state == 'Z') {
    return false;
  }
  group = static_cast<pid_t>(pgrp);
  std::ifstream statm("/proc/" + pid + "/statm");
  std::size_t size = 0;
  std::size_t resident = 0;
  std::size_t shared = 0;
  if (!(statm >> size >> resident >> shared)) return false;
  anonymousPages = resident > shared ? resident - shared : 0;
  return true;
}

}  // namespace

GroupUsage ProcessGroupUsage(pid_t group) {
  GroupUsage usage;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return usage;
  static const std::size_t kPage = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  while (const dirent* entry = ::readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    pid_t owner = 0;
    std::size_t pages = 0;
    if (!ReadProcess(entry->d_name, owner, pages) || owner != group) continue;
    ++usage.processes;
    usage.memory += pages * kPage;
  }
  ::closedir(proc);
  return usage;
}

std::unique_ptr<RendererProcess> RendererProcess::Start(const std::string& path, std::string& why) {
  if (path.empty() || ::access(path.c_str(), X_OK) != 0) {
    why = QW_GBK("找不到渲染程序 ") + path;
    return nullptr;
  }
  // Only the helper's ends reach it; the program's ends are closed in every child. The way in is a socket,
  // so that writing to a helper that has gone fails instead of raising SIGPIPE in the program.
  int toHelper[2];
  int fromHelper[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, toHelper) != 0) {
    why = QW_GBK("无法建立管道：") + SystemError(errno);
    return nullptr;
  }
  if (::pipe2(fromHelper, O_CLOEXEC) != 0) {
    why = QW_GBK("无法建立管道：") + SystemError(errno);
    ::close(toHelper[0]);
    ::close(toHelper[1]);
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toHelper[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fromHelper[1], STDOUT_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A group of its own: the helper and the engine's processes end together with one signal. Signals the
  // program ignores or blocks are the helper's own business again.
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGHUP);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> arguments{const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = 0;
  const int failed = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, arguments.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(toHelper[0]);
  ::close(fromHelper[1]);
  if (failed != 0) {
    why = QW_GBK("渲染程序无法启动：") + SystemError(failed);
    ::close(toHelper[1]);
    ::close(fromHelper[0]);
    return nullptr;
  }
  // A helper that stops reading must not hold the thread that writes to it.
  ::fcntl(toHelper[1], F_SETFL, O_NONBLOCK);
  return std::unique_ptr<RendererProcess>(new RendererProcess(pid, toHelper[1], fromHelper[0]));
}

RendererProcess::~RendererProcess() {
  Reap(std::chrono::milliseconds(0));
  CloseInput();
  ::close(output_);
}

bool RendererProcess::Send(std::string_view line) {
  std::lock_guard lock(mutex_);
  if (input_ < 0) return false;
  while (!line.empty()) {
    const ssize_t n = ::send(input_, line.data(), line.size(), MSG_NOSIGNAL);
    if (n > 0) {
      line.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd writable{input_, POLLOUT, 0};
      if (::poll(&writable, 1, kSendPatienceMs) > 0) continue;
    }
    return false;
  }
  return true;
}

void RendererProcess::CloseInput() {
  std::lock_guard lock(mutex_);
  if (input_ < 0) return;
  ::close(input_);
  input_ = -1;
}

void RendererProcess::Kill() {
  std::lock_guard lock(mutex_);
  // Until it is reaped, the helper's id is still its group's, which no other group can take meanwhile.
  if (!reaped_) ::kill(-pid_, SIGKILL);
}

std::string RendererProcess::Reap(std::chrono::milliseconds wait) {
  {
    std::lock_guard lock(mutex_);
    if (reaped_) return {};
  }
  // The helper stays unreaped while its group is killed, so the group's id cannot pass to another.
  const auto deadline = std::chrono::steady_clock::now() + wait;
  siginfo_t info{};
  for (;;) {
    info.si_pid = 0;
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid_) {
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::lock_guard lock(mutex_);
  ::kill(-pid_, SIGKILL);
  // A killed process lives on for a moment while it ends; the helper is reaped, and the round over, only once
  // none of its group is left.
  const auto drained = std::chrono::steady_clock::now() + kDrainPatience;
  while (ProcessGroupUsage(pid_).processes > 0 && std::chrono::steady_clock::now() < drained) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
  if (WIFSIGNALED(status)) return QW_GBK("信号 ") + std::to_string(WTERMSIG(status));
  return QW_GBK("退出码 ") + std::to_string(WEXITSTATUS(status));
}

std::size_t RendererProcess::GroupMemory() const { return ProcessGroupUsage(pid_).memory; }

}  // namespace qw
