// Rounds of monitoring over ten schemes fetched through the browser, two of them broken on purpose: one page
// never finishes loading (it holds its deadline every round) and one builds arrays until its renderer gives
// out. The other eight boards gain articles at random between rounds.
//
//   soak_render                   100 rounds with the 20 s page deadline
//   soak_render --rounds N        N rounds
//   soak_render --deadline-ms D   a shorter deadline, for a quicker soak
//   soak_render --helper PATH     another renderer helper than the one built beside it
//
// Checks that every round ends (within the deadline, the helper's grace and a margin), that no helper and no
// engine process of one is left between rounds, and that every article the eight boards showed is stored exactly once; prints the
// round times, the peak memory of the engine's processes and the program's resident and proportional memory
// after the first and the last round.

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
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
#include "support/processes.h"
#include "support/script_board_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSchemes = 10;
constexpr int kHanging = 4;
constexpr int kCrashing = 7;
constexpr char kHelperName[] = "quillwatch-render";

std::size_t Resident() {
  return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) * [] {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    std::size_t size = 0, resident = 0;
    if (statm != nullptr) {
      if (std::fscanf(statm, "%zu %zu", &size, &resident) != 2) resident = 0;
      std::fclose(statm);
    }
    return resident;
  }();
}

int Run(int rounds, std::chrono::milliseconds deadline, const std::string& helper) {
  test::ScriptBoardServer boards;
  boards.KeepRequests(false);
  test::TempDir dir;
  Connection db;
  OpenDatabase(db, dir / "mavo.sdb", true);
  std::string sql = test::StarterSchema();
  std::vector<int> lastId(kSchemes + 1, 0);
  std::vector<std::vector<test::BoardArticle>> shown(kSchemes + 1);
  for (int board = 1; board <= kSchemes; ++board) {
    boards.SetKind(board, board == kHanging    ? test::ScriptBoard::kNeverEnds
                          : board == kCrashing ? test::ScriptBoard::kEatsMemory
                                               : test::ScriptBoard::kJsonList);
    sql += boards.SchemeInsert(board, "board" + std::to_string(board), board, true);
  }
  Execute(db, sql);
  SchemeCache cache;
  RefreshSchemeCache(db, cache);
  DatabaseBusy busy;
  SchemeLocks locks;
  CompletedSchemes completed;
  std::atomic<bool> flag{false};
  std::mt19937 random(20);
  std::vector<int> queue;
  for (int board = 1; board <= kSchemes; ++board) queue.push_back(board);

  RenderSettings settings;
  settings.helperPath = helper;
  settings.pageDeadline = deadline;
  const auto roundLimit = deadline + settings.answerGrace + std::chrono::seconds(30);

  double longest = 0;
  double total = 0;
  std::size_t enginePeak = 0;
  std::size_t residentFirst = 0;
  std::size_t pssFirst = 0;
  int failures = 0;
  int crashed = 0;
  std::size_t helpersSeen = 0;
  int expected = 0;
  for (int round = 1; round <= rounds; ++round) {
    // Each good board gains up to three articles; its page shows its newest 40.
    for (int board = 1; board <= kSchemes; ++board) {
      if (board == kHanging || board == kCrashing) continue;
      const int fresh = round == 1 ? 40 : static_cast<int>(random() % 4);
      for (int i = 0; i < fresh; ++i) {
        ++lastId[board];
        ++expected;
        shown[board].insert(shown[board].begin(), {lastId[board], "b" + std::to_string(board) + "-" +
                                                                      std::to_string(lastId[board])});
      }
      if (shown[board].size() > 40) shown[board].resize(40);
      boards.SetArticles(board, shown[board]);
    }

    MemoryStatusLog memory;
    std::stop_source stop;
    StoppableLog log(memory, stop);
    MonitorContext context{cache, db, busy, log, flag, locks, completed};
    context.pauseAfterStore = [] {};
    context.render = settings;
    std::atomic<bool> done{false};
    std::set<pid_t> helpers;
    std::thread sampler([&] {
      while (!done.load()) {
        for (pid_t helper : test::ChildrenNamed(kHelperName)) {
          helpers.insert(helper);
          enginePeak = std::max(enginePeak, ProcessGroupUsage(helper).memory);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
    const auto start = Clock::now();
    RunMonitorWorker(kPassAll, queue, 0, context, stop.get_token());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    done.store(true);
    sampler.join();
    longest = std::max(longest, seconds);
    total += seconds;

    // The hanging page is taken at its deadline; the crashing one fails, unless a short deadline comes first.
    const std::string text = memory.Text();
    const auto count = [&text](const std::string& line) {
      int found = 0;
      for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++found;
      return found;
    };
    const int deadlines = count(QW_GBK("浏览器渲染到期限时页面仍未静止"));
    const int crashes = count(QW_GBK("浏览器渲染失败："));
    crashed += crashes;
    const bool hangingNoted = deadlines >= 1;
    const bool crashNoted = crashes + deadlines == 2;
    // Every helper of the round and every engine process it started (its group) has gone.
    std::size_t helpersLeft = test::ChildrenNamed(kHelperName).size();
    for (pid_t helper : helpers) helpersLeft += static_cast<std::size_t>(test::ProcessesInGroup(helper));
    helpersSeen += helpers.size();
    const int stored = ToInteger(Query(db, "select count(*) from info").Cell(0, 0));
    const int distinct =
        ToInteger(Query(db, "select count(distinct planid||'/'||title) from info").Cell(0, 0));
    const bool ok = seconds < std::chrono::duration<double>(roundLimit).count() && hangingNoted &&
                    crashNoted && helpersLeft == 0 && stored == expected && distinct == stored;
    if (!ok) {
      ++failures;
      std::printf(
          "round %d FAILED: %.1f s, deadline noted %d, crash noted %d, helpers left %zu, stored %d of %d "
          "(%d distinct)\n%s\n",
          round, seconds, hangingNoted, crashNoted, helpersLeft, stored, expected, distinct,
          GbkToUtf8(text).c_str());
    }
    if (round == 1) {
      ::malloc_trim(0);
      residentFirst = Resident();
      pssFirst = test::ProportionalSetSize(::getpid());
    }
    if (round % 10 == 0 || round == rounds) {
      std::printf("round %d: %.1f s, stored %d articles in all\n", round, seconds, stored);
      std::fflush(stdout);
    }
  }
  ::malloc_trim(0);
  std::printf(
      "%d rounds over %d rendered schemes (page deadline %lld ms): %d failed; round time mean %.1f s, "
      "longest "
      "%.1f s; the crashing page failed %d times, the rest it was taken at its deadline\n"
      "articles stored %d, each once: %s\n"
      "engine memory (anonymous resident, all its processes) at most %.0f MiB; %zu helpers started, none of "
      "them nor any of their engine processes left after its round\n"
      "program resident %.1f MiB after round 1, %.1f MiB after round %d; PSS %.1f -> %.1f MiB\n",
      rounds, kSchemes, static_cast<long long>(deadline.count()), failures, total / rounds, longest, crashed,
      expected, failures == 0 ? "yes" : "no", static_cast<double>(enginePeak) / (1 << 20), helpersSeen,
      static_cast<double>(residentFirst) / (1 << 20), static_cast<double>(Resident()) / (1 << 20), rounds,
      static_cast<double>(pssFirst) / (1 << 20),
      static_cast<double>(test::ProportionalSetSize(::getpid())) / (1 << 20));
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace qw

int main(int argc, char** argv) {
  int rounds = 100;
  long long deadline = 20'000;
  std::string helper = QW_RENDER_BIN;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--helper") == 0) helper = argv[i + 1];
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--deadline-ms") == 0) deadline = std::atoll(argv[i + 1]);
  }
  return qw::Run(rounds, std::chrono::milliseconds(deadline), helper);
}
