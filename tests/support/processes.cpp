#include "support/processes.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "render/renderer_process.h"

namespace qw::test {

std::vector<pid_t> ChildrenNamed(const std::string& name) {
  std::vector<pid_t> found;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return found;
  while (const dirent* entry = ::readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const std::string dir = std::string("/proc/") + entry->d_name;
    std::ifstream stat(dir + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const std::size_t close = line.rfind(')');
    char state = 0;
    long parent = 0;
    if (close == std::string::npos ||
        std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) != 2) {
      continue;
    }
    if (parent != ::getpid() || state == 'Z') continue;
    // A script runs under its interpreter's executable, with its own name as the command name, which the
    // kernel cuts to 15 bytes.
    const std::string command = line.substr(line.find('(') + 1, close - line.find('(') - 1);
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink(dir + "/exe", error);
    if ((!error && exe.filename() == name) || command == name.substr(0, 15)) {
      found.push_back(static_cast<pid_t>(std::stol(entry->d_name)));
    }
  }
  ::closedir(proc);
  return found;
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> found;
  std::ifstream children("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children");
  for (pid_t child = 0; children >> child;) found.push_back(child);
  return found;
}

int ProcessesInGroup(pid_t group) { return ProcessGroupUsage(group).processes; }

std::size_t ProportionalSetSize(pid_t pid) {
  std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string line;
  while (std::getline(rollup, line)) {
    std::size_t kib = 0;
    if (std::sscanf(line.c_str(), "Pss: %zu kB", &kib) == 1) return kib << 10;
  }
  return 0;
}

}  // namespace qw::test

namespace qw::test {

std::size_t GroupProportionalSetSize(pid_t group) {
  std::size_t total = 0;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return total;
  while (const dirent* entry = ::readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const pid_t pid = static_cast<pid_t>(std::stol(entry->d_name));
    if (::getpgid(pid) == group) total += ProportionalSetSize(pid);
  }
  ::closedir(proc);
  return total;
}

}  // namespace qw::test
