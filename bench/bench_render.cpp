// Schemes fetched through the browser: a local board whose 40-article list its shell builds from a JSON
// request 300 ms after it has loaded, rendered by the real helper and collected, beside the same list in a
// plain page fetched and collected, in the same run. Every case stores the 40 articles anew.
//
//   BM_FetchedList       the list in the page itself, fetched (the baseline)
//   BM_RenderCold        the script-built list through a renderer started for it (goal: at most 2 s)
//   BM_RenderWarm        the same through a renderer kept warm (goal: at most 0.8 s per page); the page's own
//                        300 ms and the 500 ms of quiet that settle it are 0.8 s of it already
//   BM_RenderRound/10    a monitoring pass over 10 such schemes on 10 boards, the renderer started and ended
//                        by the pass, two pages at once; per_page_s is the pass time over 10. Sampled while
//                        it runs: the engine's processes and their memory (anonymous resident, and PSS summed
//                        over them); after it: the engine processes left (goal: 0)
//   BM_ProgramBetweenRounds/rendered, /fetched
//                        the program's own PSS after 20 more passes than a first one, over 10 schemes
//                        rendered, or fetched as plain pages (goal: unchanged by rendering)

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "extract/collect_scheme.h"
#include "log/status_log.h"
#include "monitor/monitor_worker.h"
#include "monitor/scheme_locks.h"
#include "monitor/stoppable_log.h"
#include "render/render_session.h"
#include "render/renderer_process.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"
#include "storage/sql_runner.h"
#include "support/processes.h"
#include "support/script_board_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBoards = 10;
constexpr char kHelperName[] = "quillwatch-render";

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Program {
  explicit Program(test::ScriptBoard kind, bool render) {
    std::vector<test::BoardArticle> articles;
    for (int id = 40; id >= 1; --id)
      articles.push_back({id, QW_GBK("第") + std::to_string(id) + QW_GBK("篇帖子")});
    OpenDatabase(db, dir / "mavo.sdb", true);
    std::string sql = test::StarterSchema();
    for (int board = 1; board <= kBoards; ++board) {
      boards.SetKind(board, kind);
      boards.SetArticles(board, articles);
      sql += boards.SchemeInsert(board, "board", board, render);
    }
    boards.KeepRequests(false);
    Execute(db, sql);
    RefreshSchemeCache(db, cache);
    settings.helperPath = QW_RENDER_BIN;
  }

  // Every article is new again.
  void Forget() {
    Execute(db, "delete from info; update rule set lastid=0");
    RefreshSchemeCache(db, cache);
  }

  int Stored() { return ToInteger(Query(db, "select count(*) from info").Cell(0, 0)); }

  // Scheme 1 collected as a serial pass collects it.
  void Collect(RenderSession* renderer) {
    SqlRunner sql(db, busy, memory);
    CollectContext context{cache, sql, memory, flag, completed};
    context.pauseAfterStore = [] {};
    context.renderer = renderer;
    CollectScheme(1, context);
  }

  // A monitoring pass over every board.
  void Pass() {
    std::stop_source stop;
    StoppableLog log(memory, stop);
    MonitorContext context{cache, db, busy, log, flag, locks, completed};
    context.pauseAfterStore = [] {};
    context.render = settings;
    std::vector<int> queue;
    for (int board = 1; board <= kBoards; ++board) queue.push_back(board);
    RunMonitorWorker(kPassAll, queue, 0, context, stop.get_token());
    memory.SetStatusText("");
  }

  test::ScriptBoardServer boards;
  test::TempDir dir;
  Connection db;
  DatabaseBusy busy;
  MemoryStatusLog memory;
  SchemeCache cache;
  SchemeLocks locks;
  std::atomic<bool> flag{false};
  CompletedSchemes completed;
  RenderSettings settings;
};

void Check(benchmark::State& state, Program& program, int expected) {
  if (program.Stored() != expected) {
    state.SkipWithError(("stored " + std::to_string(program.Stored()) + ", not " + std::to_string(expected) +
                         ": " + GbkToUtf8(program.memory.Text().substr(0, 400)))
                            .c_str());
  }
}

void BM_FetchedList(benchmark::State& state) {
  Program program(test::ScriptBoard::kStaticList, false);
  for (auto _ : state) {
    state.PauseTiming();
    program.Forget();
    state.ResumeTiming();
    program.Collect(nullptr);
  }
  Check(state, program, 40);
}
BENCHMARK(BM_FetchedList)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_RenderCold(benchmark::State& state) {
  Program program(test::ScriptBoard::kJsonList, true);
  for (auto _ : state) {
    state.PauseTiming();
    program.Forget();
    RenderSession renderer(program.settings);
    state.ResumeTiming();
    program.Collect(&renderer);
    state.PauseTiming();
    renderer.End();
    state.ResumeTiming();
  }
  Check(state, program, 40);
}
BENCHMARK(BM_RenderCold)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RenderWarm(benchmark::State& state) {
  Program program(test::ScriptBoard::kJsonList, true);
  RenderSession renderer(program.settings);
  program.Collect(&renderer);
  for (auto _ : state) {
    state.PauseTiming();
    program.Forget();
    state.ResumeTiming();
    program.Collect(&renderer);
  }
  Check(state, program, 40);
  state.counters["helpers_started"] = renderer.Counts().helpersStarted;
}
BENCHMARK(BM_RenderWarm)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_RenderRound(benchmark::State& state) {
  Program program(test::ScriptBoard::kJsonList, true);
  int peakProcesses = 0;
  std::size_t peakMemory = 0;
  std::size_t peakPss = 0;
  int left = 0;
  for (auto _ : state) {
    state.PauseTiming();
    program.Forget();
    std::atomic<bool> done{false};
    std::thread sampler([&] {
      while (!done.load()) {
        for (pid_t helper : test::ChildrenNamed(kHelperName)) {
          const GroupUsage usage = ProcessGroupUsage(helper);
          peakProcesses = std::max(peakProcesses, usage.processes);
          peakMemory = std::max(peakMemory, usage.memory);
          peakPss = std::max(peakPss, test::GroupProportionalSetSize(helper));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    });
    state.ResumeTiming();
    const auto start = Clock::now();
    program.Pass();
    state.counters["per_page_s"] = Seconds(start) / kBoards;
    state.PauseTiming();
    done.store(true);
    sampler.join();
    left = std::max(left, static_cast<int>(test::ChildrenNamed(kHelperName).size()));
    state.ResumeTiming();
  }
  Check(state, program, 40 * kBoards);
  state.counters["engine_processes_peak"] = peakProcesses;
  state.counters["engine_anon_MiB_peak"] = static_cast<double>(peakMemory) / (1 << 20);
  state.counters["engine_PSS_MiB_peak"] = static_cast<double>(peakPss) / (1 << 20);
  state.counters["helpers_left_after"] = left;
}
BENCHMARK(BM_RenderRound)->Arg(kBoards)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ProgramBetweenRounds(benchmark::State& state) {
  const bool render = state.range(0) == 1;
  state.SetLabel(render ? "rendered" : "fetched");
  Program program(render ? test::ScriptBoard::kJsonList : test::ScriptBoard::kStaticList, render);
  for (auto _ : state) {
    program.Forget();
    program.Pass();
    ::malloc_trim(0);
    const std::size_t first = test::ProportionalSetSize(::getpid());
    for (int round = 0; round < 20; ++round) {
      program.Forget();
      program.Pass();
    }
    ::malloc_trim(0);
    const std::size_t last = test::ProportionalSetSize(::getpid());
    state.counters["program_PSS_MiB"] = static_cast<double>(last) / (1 << 20);
    state.counters["PSS_growth_KiB"] = (static_cast<double>(last) - static_cast<double>(first)) / 1024;
    state.counters["engine_processes_after"] = static_cast<double>(test::ChildrenNamed(kHelperName).size());
  }
  Check(state, program, 40 * kBoards);
}
BENCHMARK(BM_ProgramBetweenRounds)->Arg(1)->Arg(0)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace qw

BENCHMARK_MAIN();
