#pragma once
// The processes a test or benchmark has started, as /proc shows them.

#include <sys/types.h>

#include <string>
#include <vector>

namespace qw::test {

// The running children of this process whose executable's file name, or whose command name (a script's own
// file name), is name.
std::vector<pid_t> ChildrenNamed(const std::string& name);

// The running children of process parent.
std::vector<pid_t> ChildrenOf(pid_t parent);

// Every process whose process group is group.
int ProcessesInGroup(pid_t group);

// The proportional set size of a process, in bytes (0 when it cannot be read).
std::size_t ProportionalSetSize(pid_t pid);
// The same summed over every process of a process group.
std::size_t GroupProportionalSetSize(pid_t group);

}  // namespace qw::test
