// What telling costs a monitoring round: the same rounds over 200 schemes with 50 KiB local pages, run as the
// worker runs them, plain and told: with each scheme's health recorded (and written at the end of the round),
// the stored articles handed to the alert's news, and the sites' pauses looked up before each scheme.
//
//   BM_Round             nothing new on any page: the steady round, whose health changes only in the time of
//                        the last check (written every few minutes, not here)
//   BM_FailingRound      every page answers 500: every scheme fails once more each round (written with the
//                        time of the check)
//   BM_NewArticleRound   one new article on every page each round: 200 stored, 200 told, and every scheme's
//                        health written at the end of the round
// Each case runs a plain and a told round in turn; told_x is the told rounds' time against the plain ones',
// cpu_told_x the same for the processor time of the whole process.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "board_pages.h"
#include "extract/collect_scheme.h"
#include "health/health_book.h"
#include "log/status_log.h"
#include "monitor/monitor_worker.h"
#include "monitor/scheme_locks.h"
#include "monitor/site_pauses.h"
#include "monitor/stoppable_log.h"
#include "notify/pending_news.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"
#include "support/http_test_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"

namespace qw {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSchemes = 200;
constexpr std::size_t kPageBytes = 50 * 1024;

enum Pages { kSteady, kFailing, kGrowing };

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Program {
  explicit Program(Pages pages)
      : server([this, pages](const test::ReceivedRequest& request) {
          if (pages == kFailing) return test::MakeResponse(500, "");
          return test::MakeResponse(200, bench::BoardPage(bench::RequestedBoard(request),
                                                          pages == kGrowing ? fresh.load() : 0, kPageBytes));
        }) {
    server.KeepRequests(false);
    std::string schemes;
    for (int id = 1; id <= kSchemes; ++id) {
      schemes += bench::BoardSchemeInsert(id, server.Url("/board-" + std::to_string(id) + ".html"));
    }
    OpenDatabase(db, dir / "mavo.sdb", true);
    Execute(db, test::StarterSchema() + "begin;" + schemes + "commit;");
    RefreshSchemeCache(db, cache);
    for (int id = 1; id <= kSchemes; ++id) queue.push_back(id);
  }

  // One round as the worker runs it; returns its seconds, and adds the CPU seconds of the whole process (the
  // local server's share included) to cpu.
  double Round(bool told, double* cpu = nullptr) {
    MemoryStatusLog memory;
    std::stop_source stop;
    StoppableLog log(memory, stop);
    MonitorContext context{cache, db, busy, log, flag, locks, completed};
    context.pauseAfterStore = [] {};
    if (told) {
      context.health = &health;
      context.pauses = &pauses;
      context.news = &news;
      // The window's queued call per scheme.
      context.healthChanged = [this](int) { changes.fetch_add(1); };
    }
    ++fresh;
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    RunMonitorWorker(kPassAll, queue, 0, context, stop.get_token());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (cpu != nullptr) *cpu += CpuSeconds() - cpuBefore;
    news.Take();
    flag = false;
    return seconds;
  }

  std::atomic<int> fresh{0};
  test::HttpTestServer server;
  test::TempDir dir;
  Connection db;
  DatabaseBusy busy;
  SchemeCache cache;
  SchemeLocks locks;
  CompletedSchemes completed;
  std::atomic<bool> flag{false};
  HealthBook health;
  SitePauses pauses;
  PendingNews news;
  std::atomic<int> changes{0};
  std::vector<int> queue;
};

// Plain and told rounds one after the other, each over a program of its own, so that both see the same load
// of the machine. The time is the told round's; told_x is told against plain.
void Rounds(benchmark::State& state, Pages pages) {
  Program plain(pages);
  Program told(pages);
  // The first rounds store what the pages hold and write every scheme's health.
  plain.Round(false);
  told.Round(true);
  double plainSeconds = 0, toldSeconds = 0, plainCpu = 0, toldCpu = 0;
  for (auto _ : state) {
    plainSeconds += plain.Round(false, &plainCpu);
    const double seconds = told.Round(true, &toldCpu);
    toldSeconds += seconds;
    state.SetIterationTime(seconds);
  }
  const auto rounds = static_cast<double>(state.iterations());
  state.counters["plain_ms"] = plainSeconds / rounds * 1000;
  state.counters["told_ms"] = toldSeconds / rounds * 1000;
  state.counters["told_x"] = toldSeconds / plainSeconds;
  // The processor time is steadier than the wall time on a machine others share.
  state.counters["cpu_told_x"] = toldCpu / plainCpu;
  const int stored = std::stoi(Query(told.db, "select count(*) from info").Cell(0, 0));
  state.counters["stored_per_round"] = stored / (rounds + 1);
}

void BM_Round(benchmark::State& state) { Rounds(state, kSteady); }
void BM_FailingRound(benchmark::State& state) { Rounds(state, kFailing); }
void BM_NewArticleRound(benchmark::State& state) { Rounds(state, kGrowing); }

BENCHMARK(BM_Round)->MinTime(3.0)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FailingRound)->MinTime(3.0)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewArticleRound)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qw

BENCHMARK_MAIN();
