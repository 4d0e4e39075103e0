#pragma once
// A consistent copy of the database taken while the program goes on using it, with SQLite's online backup.
//
// The copy is made through the connection that monitoring writes with, a few pages per step; each step holds
// that connection as one statement does, and a statement waiting for it goes before the next step, so a
// round's statement waits one step at most. What the connection writes while the copy runs reaches the copy
// too; a write through another connection (the options window's) starts the copy over from its first page.
// The copy is written under a temporary name beside the target, checked with PRAGMA integrity_check, and
// only then takes the target's name: a failure (a full disk, a folder that cannot be written) or a stop
// leaves the target as it was and no half file behind.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>

namespace qw {

class Connection;

// Pages per step: 64 pages of 4 KiB take well under a millisecond to copy.
inline constexpr int kBackupPagesPerStep = 64;

struct BackupProgress {
  int copiedPages = 0;
  int totalPages = 0;
};

struct BackupResult {
  bool ok = false;
  // Why not, in GBK; empty on success.
  std::string error;
  // The copy's size in bytes.
  std::uintmax_t bytes = 0;
  // How often a write through another connection started the copy over.
  int restarts = 0;
};

struct BackupOptions {
  int pagesPerStep = kBackupPagesPerStep;
  // Called after each step, on the copying thread.
  std::function<void(const BackupProgress&)> progress;
  // Called after each step with how long it held the connection (benchmarks and tests measure it).
  std::function<void(std::chrono::steady_clock::duration)> stepHeld;
};

// Copies the database open on source to target. Meant for a worker thread; a stop ends it after the step
// under way, and the check of the copy at its next progress call.
BackupResult BackupDatabase(Connection& source, const std::filesystem::path& target,
                            std::stop_token stop = {}, const BackupOptions& options = {});

}  // namespace qw
