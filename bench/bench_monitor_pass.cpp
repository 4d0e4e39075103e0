// Monitoring passes with their pages fetched ahead, beside the serial pass (each page fetched at its scheme's
// turn) over the same pages in the same run. No page holds anything new, so a pass is its fetches and its
// judging.
//
//   BM_SlowSites/serial      100 schemes whose pages answer in 300 ms, on the 10 hosts 127.0.0.2 to .11
//   BM_SlowSites/spread      the same fetched ahead, the queue going round the hosts (goal: at most 2.5 s)
//   BM_SlowSites/grouped     the same fetched ahead, the queue taking the hosts one after the other, ten
//                            schemes each, as a category of one site's boards would
//   BM_FastPages/bare        200 FetchPageText calls of 50 KiB local pages, one after the other (the
//                            baseline)
//   BM_FastPages/serial      the serial pass over those 200 schemes
//   BM_FastPages/ahead       the pass fetched ahead (goal: within 1.25 times the baseline)
//   BM_PeakMemory/N          a pass fetched ahead over N schemes with 1 MiB pages; peak_MiB is the growth of
//                            the peak resident memory during the pass, which must not grow with N
// Times are those of one pass.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board_pages.h"
#include "extract/collect_scheme.h"
#include "fetch/http_fetcher.h"
#include "monitor/fetch_ahead.h"
#include "monitor/monitor_worker.h"
#include "monitor/scheme_locks.h"
#include "log/status_log.h"
#include "monitor/stoppable_log.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"
#include "storage/sql_runner.h"
#include "support/board_server.h"
#include "support/http_test_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"

namespace qw {
namespace {

using Clock = std::chrono::steady_clock;

// A database holding the given schemes, and passes over them.
struct Program {
  explicit Program(const std::string& schemes) {
    OpenDatabase(db, dir / "mavo.sdb", true);
    Execute(db, test::StarterSchema() + "begin;" + schemes + "commit;");
    RefreshSchemeCache(db, cache);
  }

  // One pass as the worker runs it; returns its seconds.
  double Ahead(const std::vector<int>& queue) {
    MemoryStatusLog memory;
    std::stop_source stop;
    StoppableLog log(memory, stop);
    MonitorContext context{cache, db, busy, log, flag, locks, completed};
    const auto start = Clock::now();
    RunMonitorWorker(kPassAll, queue, 0, context, stop.get_token());
    return Seconds(start);
  }

  // One pass with each page fetched at its scheme's turn, as the worker ran before pages were fetched ahead.
  double Serial(const std::vector<int>& queue) {
    MemoryStatusLog memory;
    SqlRunner sql(db, busy, memory);
    CollectContext collect{cache, sql, memory, flag, completed};
    const auto start = Clock::now();
    for (const int id : queue) {
      std::optional<SchemeLocks::Hold> hold;
      locks.Acquire(id, {}, hold);
      CollectScheme(id, collect);
    }
    return Seconds(start);
  }

  static double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  test::TempDir dir;
  Connection db;
  DatabaseBusy busy;
  SchemeCache cache;
  SchemeLocks locks;
  CompletedSchemes completed;
  std::atomic<bool> flag{false};
};

std::vector<int> Queue(int schemes) {
  std::vector<int> queue;
  for (int id = 1; id <= schemes; ++id) queue.push_back(id);
  return queue;
}

// ---- Slow sites

constexpr int kHosts = 10;
constexpr int kSlowSchemes = 100;

enum SlowCase { kSerial, kSpread, kGrouped };

void BM_SlowSites(benchmark::State& state) {
  const auto order = static_cast<SlowCase>(state.range(0));
  std::vector<std::unique_ptr<test::BoardServer>> hosts;
  for (int h = 0; h < kHosts; ++h) {
    hosts.push_back(
        std::make_unique<test::BoardServer>(test::ServerOptions{"127.0.0." + std::to_string(h + 2)}));
  }
  // Scheme id watches board id of its host; every board lists the one article its scheme has seen.
  std::string schemes;
  for (int id = 1; id <= kSlowSchemes; ++id) {
    const int host = order == kGrouped ? (id - 1) / (kSlowSchemes / kHosts) : (id - 1) % kHosts;
    hosts[host]->SetArticles(id, {{1, "seen"}});
    hosts[host]->SetDelay(id, std::chrono::milliseconds(300));
    schemes += hosts[host]->SchemeInsert(id, 1, "board", id, kNewestOnTop, true);
  }
  schemes += "update rule set arttile='seen';";
  Program program(schemes);
  const std::vector<int> queue = Queue(kSlowSchemes);
  for (auto _ : state) {
    const double seconds = order == kSerial ? program.Serial(queue) : program.Ahead(queue);
    state.SetIterationTime(seconds);
  }
  if (program.flag) state.SkipWithError("a page held something new");
}
BENCHMARK(BM_SlowSites)
    ->ArgName("serial")
    ->Arg(kSerial)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_SlowSites)
    ->ArgName("spread")
    ->Arg(kSpread)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_SlowSites)
    ->ArgName("grouped")
    ->Arg(kGrouped)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// ---- Large slow pages: a pass that moves several times the byte budget of pages held ahead

constexpr int kLargeSlowSchemes = 200;
constexpr auto kLargeSlowDelay = std::chrono::milliseconds(200);

void BM_LargeSlowPages(benchmark::State& state) {
  // 1 MiB pages, each answered after 200 ms, on ten hosts in turn.
  static const std::string response = test::MakeResponse(200, bench::BoardPage(1, 0, 1u << 20));
  std::vector<std::unique_ptr<test::HttpTestServer>> hosts;
  for (int h = 0; h < kHosts; ++h) {
    hosts.push_back(std::make_unique<test::HttpTestServer>(
        [](const test::ReceivedRequest&, test::ResponseStream& stream) {
          if (stream.HoldFor(kLargeSlowDelay)) (void)stream.Send(response);
        },
        test::ServerOptions{"127.0.0." + std::to_string(h + 2)}));
    hosts.back()->KeepRequests(false);
  }
  std::string schemes;
  for (int id = 1; id <= kLargeSlowSchemes; ++id) {
    const auto& host = hosts[static_cast<std::size_t>((id - 1) % kHosts)];
    schemes += bench::BoardSchemeInsert(id, host->Url("/board-" + std::to_string(id) + ".html"));
  }
  Program program(schemes);
  const std::vector<int> queue = Queue(kLargeSlowSchemes);
  // What 16 transfers at a time need at the least: one delay per full round of transfers.
  const double floor = std::ceil(static_cast<double>(kLargeSlowSchemes) / kTransfersInFlight) *
                       std::chrono::duration<double>(kLargeSlowDelay).count();
  for (auto _ : state) {
    const double seconds = program.Ahead(queue);
    state.SetIterationTime(seconds);
    state.counters["floor_s"] = floor;
    state.counters["x_floor"] = seconds / floor;
  }
  if (program.flag) state.SkipWithError("a page held something new");
}
BENCHMARK(BM_LargeSlowPages)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);

// ---- Fast local pages

constexpr int kFastSchemes = 200;
constexpr std::size_t kFastPageBytes = 50 * 1024;

enum FastCase { kBare, kFastSerial, kFastAhead };

void BM_FastPages(benchmark::State& state) {
  test::HttpTestServer server([](const test::ReceivedRequest& request) {
    return test::MakeResponse(200, bench::BoardPage(bench::RequestedBoard(request), 0, kFastPageBytes));
  });
  server.KeepRequests(false);
  std::string schemes;
  for (int id = 1; id <= kFastSchemes; ++id) {
    schemes += bench::BoardSchemeInsert(id, server.Url("/board-" + std::to_string(id) + ".html"));
  }
  Program program(schemes);
  const std::vector<int> queue = Queue(kFastSchemes);
  for (auto _ : state) {
    double seconds = 0;
    switch (state.range(0)) {
      case kBare: {
        const auto start = Clock::now();
        for (const int id : queue) {
          std::string cookie;
          benchmark::DoNotOptimize(FetchPageText(program.cache.Get(id, kRuleUrl), cookie, "", "1"));
        }
        seconds = Program::Seconds(start);
        break;
      }
      case kFastSerial:
        seconds = program.Serial(queue);
        break;
      default:
        seconds = program.Ahead(queue);
    }
    state.SetIterationTime(seconds);
  }
  if (program.flag) state.SkipWithError("a page held something new");
}
BENCHMARK(BM_FastPages)
    ->ArgName("bare")
    ->Arg(kBare)
    ->MinTime(3.0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastPages)
    ->ArgName("serial")
    ->Arg(kFastSerial)
    ->MinTime(3.0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastPages)
    ->ArgName("ahead")
    ->Arg(kFastAhead)
    ->MinTime(3.0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// ---- Peak memory

constexpr std::size_t kLargePageBytes = 1u << 20;

long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(field)) return std::atol(line.c_str() + std::string_view(field).size());
  }
  return 0;
}

void BM_PeakMemory(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  // One page serves every board, sent from memory, so the server's share of the figure does not grow either.
  static const std::string response = test::MakeResponse(200, bench::BoardPage(1, 0, kLargePageBytes));
  test::HttpTestServer server(
      [](const test::ReceivedRequest&, test::ResponseStream& stream) { (void)stream.Send(response); });
  server.KeepRequests(false);
  std::string schemes;
  for (int id = 1; id <= count; ++id) {
    schemes += bench::BoardSchemeInsert(id, server.Url("/board-" + std::to_string(id) + ".html"));
  }
  Program program(schemes);
  const std::vector<int> queue = Queue(count);
  for (auto _ : state) {
    // Writing 5 to clear_refs sets the peak back to the resident memory of now.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKiB("VmRSS:");
    const double seconds = program.Ahead(queue);
    state.SetIterationTime(seconds);
    state.counters["peak_MiB"] = static_cast<double>(StatusKiB("VmHWM:") - before) / 1024;
  }
  if (program.flag) state.SkipWithError("a page held something new");
  state.SetBytesProcessed(state.iterations() * count * static_cast<std::int64_t>(kLargePageBytes));
}
BENCHMARK(BM_PeakMemory)
    ->Arg(250)
    ->Arg(1000)
    ->Arg(2000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace qw

BENCHMARK_MAIN();
