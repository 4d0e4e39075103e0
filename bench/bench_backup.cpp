// Backing the database up while a round stores articles: how long the round's statements wait for the main
// connection, and how long the copy takes beside copying the file.
//
//   BM_PlainCopy               the 1,000,000-article mavo.sdb copied as a file and synced (the baseline)
//   BM_RoundAlone              a round storing one article every millisecond through the main connection, as
//                              long as a backup takes
//   BM_RoundDuringPlainCopy    the same round while the file is copied as in BM_PlainCopy
//   BM_BackupAlone             备份数据库 of that database with nothing else running: the copy, then the
//                              integrity check of the copy
//   BM_BackupDuringRound       the same backup while the round runs (goal: a statement of the round waits one
//                              step of the copy at most)
// For the round, longest_wait_ms is the longest that "select 1" took just before a store: its wait for the
// connection, as it runs in no time itself; longest_stmt_ms and p99_stmt_ms are the stores themselves, each a
// transaction of its own that syncs the file, and so slowed by any other writing to the disk. For the copy,
// longest_step_ms is the longest a step held the connection; x_plain_copy is a backup's whole time over
// BM_PlainCopy's in this run, copy_x_plain that of its copy alone, without the check.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "log/status_log.h"
#include "storage/database.h"
#include "storage/database_backup.h"
#include "storage/database_busy.h"
#include "storage/sql_runner.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"

namespace qw {
namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

// Runs statements on a database file, creating it; without its data the benchmark means nothing.
void ExecOrAbort(const std::filesystem::path& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "benchmark data: %s\n", error);
    std::abort();
  }
  sqlite3_close(db);
}

// 1,000,000 articles over 200 schemes, with the starter database's indexes.
const std::filesystem::path& ArticleDatabase() {
  static test::TempDir dir;
  static const bool made = [] {
    ExecOrAbort(
        dir / "mavo.sdb",
        test::StarterSchema() +
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000000) "
            "insert into info(id, planname, planid, title, url, other, addtime, issoucang) "
            "select i, 'site' || (i % 200 + 1), i % 200 + 1, 'title of article number ' || i, "
            "'http://bbs.example/thread-' || i || '-1-1.html', '', '2016-10-21 9:5 7', i % 1000 = 0 from n;");
    return true;
  }();
  (void)made;
  return dir.path();
}

// A round's status lines go nowhere: the benchmark measures the statements.
class NoLog final : public StatusLog {
 public:
  void AppendStatusLine(std::string) override {}
  void SetStatusText(std::string) override {}
};

// A round storing one article every millisecond through the main connection, as monitoring stores them.
// Before each store it times "select 1", which waits for the connection like any statement and then runs in
// no time.
class Round {
 public:
  explicit Round(Connection& main) : main_(main), runner_(main, busy_, log_) {
    thread_ = std::thread([this] {
      for (int n = 0; !stop_.load(); ++n) {
        Clock::time_point start = Clock::now();
        Query(main_, "select 1");
        waits_.push_back(Millis(Clock::now() - start).count());
        start = Clock::now();
        runner_.Run(
            "insert into info(planname,planid,title,url,other,addtime,issoucang) values('site',1,"
            "'new article " +
            std::to_string(n) + "','http://bbs.example/new','','2026-1-1 9:5 7',0)");
        stores_.push_back(Millis(Clock::now() - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  // Stops the round and puts its figures in the counters.
  void Stop(benchmark::State& state) {
    stop_ = true;
    thread_.join();
    std::sort(waits_.begin(), waits_.end());
    std::sort(stores_.begin(), stores_.end());
    state.counters["statements"] = static_cast<double>(stores_.size());
    state.counters["longest_wait_ms"] = waits_.empty() ? 0 : waits_.back();
    state.counters["longest_stmt_ms"] = stores_.empty() ? 0 : stores_.back();
    state.counters["p99_stmt_ms"] = Percentile(stores_, 0.99);
  }

 private:
  static double Percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0;
    return sorted[static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1))];
  }

  Connection& main_;
  DatabaseBusy busy_;
  NoLog log_;
  SqlRunner runner_;
  std::atomic<bool> stop_{false};
  std::vector<double> waits_;
  std::vector<double> stores_;
  std::thread thread_;
};

double plainCopySeconds = 0;
double lastBackupSeconds = 0;

// Copies the database as a file and syncs the copy; its time in seconds.
double PlainCopy(const std::filesystem::path& target) {
  const Clock::time_point start = Clock::now();
  std::filesystem::copy_file(ArticleDatabase() / "mavo.sdb", target,
                             std::filesystem::copy_options::overwrite_existing);
  const int fd = ::open(target.c_str(), O_RDONLY);
  ::fsync(fd);
  ::close(fd);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_PlainCopy(benchmark::State& state) {
  const std::filesystem::path target = ArticleDatabase() / "plain-copy.sdb";
  for (auto _ : state) {
    plainCopySeconds = PlainCopy(target);
    state.SetIterationTime(plainCopySeconds);
  }
  state.counters["MiB"] =
      static_cast<double>(std::filesystem::file_size(ArticleDatabase() / "mavo.sdb")) / (1 << 20);
  std::filesystem::remove(target);
}
BENCHMARK(BM_PlainCopy)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void Backup(benchmark::State& state, bool withRound) {
  const std::filesystem::path target = ArticleDatabase() / "mavo-backup.sdb";
  Connection main;
  if (OpenDatabase(main, ArticleDatabase() / "mavo.sdb") != OpenResult::Opened) {
    state.SkipWithError("no database");
    return;
  }
  for (auto _ : state) {
    std::optional<Round> round;
    if (withRound) round.emplace(main);
    double longestStep = 0;
    int steps = 0;
    Clock::time_point copied;
    BackupOptions options;
    options.stepHeld = [&](Clock::duration held) {
      longestStep = std::max(longestStep, Millis(held).count());
      ++steps;
    };
    options.progress = [&](const BackupProgress& progress) {
      if (progress.copiedPages == progress.totalPages) copied = Clock::now();
    };
    const Clock::time_point start = Clock::now();
    const BackupResult result = BackupDatabase(main, target, {}, options);
    const Clock::time_point end = Clock::now();
    if (!result.ok) state.SkipWithError("backup failed");
    lastBackupSeconds = std::chrono::duration<double>(end - start).count();
    state.SetIterationTime(lastBackupSeconds);
    state.counters["copy_s"] = std::chrono::duration<double>(copied - start).count();
    state.counters["check_s"] = std::chrono::duration<double>(end - copied).count();
    state.counters["steps"] = steps;
    state.counters["restarts"] = result.restarts;
    state.counters["longest_step_ms"] = longestStep;
    if (plainCopySeconds > 0) {
      state.counters["x_plain_copy"] = lastBackupSeconds / plainCopySeconds;
      state.counters["copy_x_plain"] = state.counters["copy_s"] / plainCopySeconds;
    }
    if (round) round->Stop(state);
  }
  std::filesystem::remove(target);
}

void BM_RoundAlone(benchmark::State& state) {
  Connection main;
  OpenDatabase(main, ArticleDatabase() / "mavo.sdb");
  for (auto _ : state) {
    Round round(main);
    // As long as the last backup took, or a few seconds before the first.
    std::this_thread::sleep_for(std::chrono::duration<double>(lastBackupSeconds > 0 ? lastBackupSeconds : 5));
    round.Stop(state);
  }
}

void BM_RoundDuringPlainCopy(benchmark::State& state) {
  Connection main;
  OpenDatabase(main, ArticleDatabase() / "mavo.sdb");
  const std::filesystem::path target = ArticleDatabase() / "plain-copy.sdb";
  for (auto _ : state) {
    Round round(main);
    PlainCopy(target);
    round.Stop(state);
  }
  std::filesystem::remove(target);
}

void BM_BackupDuringRound(benchmark::State& state) { Backup(state, true); }
void BM_BackupAlone(benchmark::State& state) { Backup(state, false); }

BENCHMARK(BM_BackupAlone)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackupDuringRound)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RoundAlone)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RoundDuringPlainCopy)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qw

BENCHMARK_MAIN();
