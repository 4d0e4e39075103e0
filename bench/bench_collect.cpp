// Collecting passes over 200 schemes against a local server, beside 200 bare fetches of the same pages.
//
//   BM_BareFetches        200 FetchPageText calls of the 50 KiB pages (the baseline)
//   BM_PassNothingNew     CollectScheme over the 200 schemes when no page holds anything new
//   BM_PassOneNewEach     the same with one new article per scheme; the counter pause_ratio is the pass time
//                         divided by the 200 x 400 ms pauses it must contain
// Compare BM_PassNothingNew with BM_BareFetches: the goal is a ratio of at most 1.25.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <string>

#include "board_pages.h"
#include "extract/collect_scheme.h"
#include "fetch/http_fetcher.h"
#include "log/status_log.h"
#include "storage/database.h"
#include "storage/scheme_cache.h"
#include "storage/sql_runner.h"
#include "support/http_test_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

constexpr int kSchemes = 200;
constexpr std::size_t kPageBytes = 50 * 1024;

struct Fixture {
  explicit Fixture(int fresh)
      : server([fresh](const test::ReceivedRequest& request) {
          return test::MakeResponse(200, bench::BoardPage(bench::RequestedBoard(request), fresh, kPageBytes));
        }) {
    OpenDatabase(db, dir / "mavo.sdb", true);
    Execute(db, test::StarterSchema());
    std::string sql = "begin;";
    for (int board = 1; board <= kSchemes; ++board) {
      sql += bench::BoardSchemeInsert(board, server.Url("/board-" + std::to_string(board) + ".html"));
    }
    Execute(db, sql + "commit;");
    RefreshSchemeCache(db, cache);
  }

  test::TempDir dir;
  test::HttpTestServer server;
  Connection db;
  DatabaseBusy busy;
  MemoryStatusLog log;
  SqlRunner sql{db, busy, log};
  SchemeCache cache;
  std::atomic<bool> flag{false};
  CompletedSchemes completed;
};

void BM_BareFetches(benchmark::State& state) {
  Fixture fixture(0);
  for (auto _ : state) {
    for (int board = 1; board <= kSchemes; ++board) {
      std::string cookie;
      benchmark::DoNotOptimize(FetchPageText(fixture.cache.Get(board, kRuleUrl), cookie, "", "1"));
    }
  }
  state.SetBytesProcessed(state.iterations() * kSchemes * static_cast<std::int64_t>(kPageBytes));
}
BENCHMARK(BM_BareFetches)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PassNothingNew(benchmark::State& state) {
  Fixture fixture(0);
  CollectContext context{fixture.cache, fixture.sql, fixture.log, fixture.flag, fixture.completed};
  for (auto _ : state) {
    for (int board = 1; board <= kSchemes; ++board) CollectScheme(board, context);
  }
  if (fixture.flag) state.SkipWithError("a page held something new");
  state.SetBytesProcessed(state.iterations() * kSchemes * static_cast<std::int64_t>(kPageBytes));
}
BENCHMARK(BM_PassNothingNew)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PassOneNewEach(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Fixture fixture(1);
    CollectContext context{fixture.cache, fixture.sql, fixture.log, fixture.flag, fixture.completed};
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    for (int board = 1; board <= kSchemes; ++board) CollectScheme(board, context);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    state.counters["pause_ratio"] = elapsed.count() / (kSchemes * 0.4);
    state.counters["stored"] = ToInteger(Query(fixture.db, "select count(*) from info").Cell(0, 0));
  }
}
BENCHMARK(BM_PassOneNewEach)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace qw

BENCHMARK_MAIN();
