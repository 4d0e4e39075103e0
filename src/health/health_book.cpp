#include "health/health_book.h"

#include <string_view>
#include <vector>

#include "storage/database.h"
#include "storage/sql_literal.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

// How long a check that only moved the time of the last check may wait before it is written.
constexpr std::chrono::minutes kTimeOnlySaveEvery{10};

constexpr std::string_view kCreateTable =
    "create table if not exists scheme_state(id INTEGER PRIMARY KEY, last_check TEXT, outcome TEXT, "
    "failures INTEGER, last_new TEXT);";

bool HasStateTable(Connection& connection) { return HasTable(connection, "scheme_state"); }

}  // namespace

HealthTurn HealthBook::Record(int id, const CheckResult& result, const std::string& time) {
  std::lock_guard lock(mutex_);
  SchemeHealth& health = schemes_[id];
  const SchemeHealth before = health;
  health.lastCheck = time;
  health.outcome = result.outcome;
  health.failures = result.failed ? health.failures + 1 : 0;
  if (result.stored > 0) health.lastNew = time;
  health.pausedUntil.clear();
  // What a restart must know at once: what the last check found, when something new came, and whether the
  // scheme fails and is marked. One more failure of a scheme that keeps failing the same way waits with the
  // time of the check.
  const bool turned =
      (health.failures == 0) != (before.failures == 0) || IsFailing(health) != IsFailing(before);
  if (health.outcome != before.outcome || health.lastNew != before.lastNew || turned) {
    changed_.insert(id);
  } else {
    moved_.insert(id);
  }
  if (health.failures == kFailingStreak) return HealthTurn::kFailing;
  if (health.failures == 0 && before.failures >= kFailingStreak) return HealthTurn::kRecovered;
  return HealthTurn::kNone;
}

void HealthBook::Paused(int id, std::string until) {
  std::lock_guard lock(mutex_);
  schemes_[id].pausedUntil = std::move(until);
}

SchemeHealth HealthBook::Of(int id) const {
  std::lock_guard lock(mutex_);
  const auto found = schemes_.find(id);
  return found == schemes_.end() ? SchemeHealth{} : found->second;
}

std::map<int, SchemeHealth> HealthBook::All() const {
  std::lock_guard lock(mutex_);
  return schemes_;
}

void HealthBook::Load(Connection& connection) {
  std::map<int, SchemeHealth> loaded;
  if (HasStateTable(connection)) {
    const ResultTable rows =
        Query(connection, "select id,last_check,outcome,failures,last_new from scheme_state");
    for (int r = 0; r < rows.RowCount(); ++r) {
      SchemeHealth& health = loaded[ToInteger(rows.Cell(r, 0))];
      health.lastCheck = rows.Cell(r, 1);
      health.outcome = rows.Cell(r, 2);
      health.failures = ToInteger(rows.Cell(r, 3));
      health.lastNew = rows.Cell(r, 4);
    }
  }
  std::lock_guard lock(mutex_);
  schemes_ = std::move(loaded);
  changed_.clear();
  moved_.clear();
}

bool HealthBook::Save(Connection& connection, bool everything, std::string* error) {
  std::vector<std::pair<int, SchemeHealth>> rows;
  {
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (everything || now - lastSave_ >= kTimeOnlySaveEvery) {
      changed_.merge(moved_);
      moved_.clear();
    }
    if (changed_.empty()) return true;
    for (const int id : changed_) rows.emplace_back(id, schemes_[id]);
    changed_.clear();
    lastSave_ = now;
  }
  std::string sql = "begin;";
  sql += kCreateTable;
  for (const auto& [id, health] : rows) {
    sql += "insert or replace into scheme_state(id,last_check,outcome,failures,last_new) values(" +
           std::to_string(id) + ",'" + SqlQuoted(health.lastCheck) + "','" + SqlQuoted(health.outcome) +
           "'," + std::to_string(health.failures) + ",'" + SqlQuoted(health.lastNew) + "');";
  }
  sql += "commit;";
  std::string message;
  const bool saved = Execute(connection, sql, message);
  if (!saved) Execute(connection, "rollback");
  std::lock_guard lock(mutex_);
  if (saved) {
    refused_ = false;
    return true;
  }
  // Written again with the next save, unless a newer check has replaced them meanwhile (it is in changed_ or
  // moved_ itself then).
  for (const auto& [id, health] : rows) changed_.insert(id);
  if (error != nullptr) *error = refused_ ? std::string() : message;
  refused_ = true;
  return false;
}

}  // namespace qw
