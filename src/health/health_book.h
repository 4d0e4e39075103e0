#pragma once
// The health of every scheme, shared by the monitoring workers that record checks and the window that shows
// them, and kept across restarts in a table of its own, scheme_state. rule and info keep their exact columns,
// so a database stays usable by older versions. The table is created at the first write; a database without
// it reads as schemes never checked, and one that refuses writes (read-only) leaves the health in memory for
// the run.

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "health/scheme_health.h"

namespace qw {

class Connection;

// What a check changed beyond the scheme's record.
enum class HealthTurn {
  kNone,
  // The failures in a row have just reached kFailingStreak.
  kFailing,
  // The first success after kFailingStreak or more failures.
  kRecovered,
};

class HealthBook {
 public:
  // A check made at the time text time.
  HealthTurn Record(int id, const CheckResult& result, const std::string& time);
  // The scheme was skipped, as its site asked for a pause until the time text until.
  void Paused(int id, std::string until);

  // The scheme's health; a scheme never checked has the default one.
  SchemeHealth Of(int id) const;
  std::map<int, SchemeHealth> All() const;

  // Replaces what the book holds with what the database keeps; nothing for one without the table.
  void Load(Connection& connection);

  // Writes the schemes whose state changed since the last write. Checks that only moved the time of the last
  // check, or added one more failure to a scheme that fails the same way, wait for everything, or until a few
  // minutes have passed, as a steady round would otherwise write every scheme every time. One transaction.
  // False when the database refused (what was not written is tried again at the next save); error then
  // receives its message, but only for the first refusal after a success, so that a read-only database is
  // reported once.
  bool Save(Connection& connection, bool everything, std::string* error = nullptr);

 private:
  mutable std::mutex mutex_;
  std::map<int, SchemeHealth> schemes_;
  // Changed beyond the time of the last check, and changed in that time alone.
  std::set<int> changed_;
  std::set<int> moved_;
  std::chrono::steady_clock::time_point lastSave_ = std::chrono::steady_clock::now();
  bool refused_ = false;
};

}  // namespace qw
