// A day of monitoring compressed: 3,000 cycles or more over 20 boards whose pages gain articles at random,
// with one-off passes now and then, some overlapping the monitoring run on the same schemes.
//
// soak_monitor runs the soak. It checks that every article that appeared is stored exactly once, that no
// cycle stalled, and that the resident memory holds steady once warm: at most 512 KiB of growth over 2,000
// cycles after SQLite's page caches have filled to their cap. The growth while they fill, from cycle 100 on,
// is reported beside it as the warm-up. --cycles N runs at least N cycles.
//
// soak_monitor --idle S has monitoring wait between cycles for S seconds (default 60), the window shown and
// then in the tray, and prints the CPU seconds the process used meanwhile, beside those of the local test
// server alone (which polls for connections and is part of the figure).
//
// Runs the real window on Qt's offscreen platform, with a 5 ms interval and no pause after stored articles.

#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "extract/collect_scheme.h"
#include "monitor/monitor_worker.h"
#include "storage/database.h"
#include "storage/storage.h"
#include "support/board_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "ui/main/category_tree.h"
#include "ui/main/main_window.h"
#include "ui/main/monitor_controller.h"
#include "window_bench.h"

namespace qw {
namespace {

constexpr int kBoards = 20;
constexpr int kTicked = 15;  // boards 16 to 20 are left for the one-off passes of a running monitor
int kCycles = 3000;          // at least; the steady state's cycles may take the run further
// The resident memory is read every 100 cycles. The warm-up runs from cycle 100 until SQLite's page caches
// have filled: the first reading from cycle 1,000 on at which SQLite's memory grew by less than 16 KiB over
// the last 100 cycles, and at the latest cycle 3,000, so that memory SQLite never gives back still counts.
// The steady state then runs for 2,000 cycles; its growth is the mean of its last five readings less the mean
// of its first five, so that what one reading catches in passing (pages in flight) does not count.
constexpr int kReadEvery = 100;
constexpr int kWarmUpFrom = 100;
constexpr int kSteadyFromAtLeast = 1000;
constexpr int kSteadyFromAtMost = 3000;
constexpr long kSqliteSettledKiB = 16;
constexpr int kSteadyCycles = 2000;
constexpr std::size_t kMeanOf = 5;
constexpr long kSteadyGrowthGoalKiB = 512;
constexpr int kPageArticles = 40;

// The title of article id on board b: "b<b>-<id>". (Built by appending: GCC 12 misreads "b" + string as an
// overlapping copy.)
std::string Title(int board, int id) {
  std::string title("b");
  title.append(std::to_string(board)).append("-").append(std::to_string(id));
  return title;
}

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long SqliteKiB() {
  sqlite3_int64 used = 0, highest = 0;
  sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &used, &highest, 0);
  return static_cast<long>(used / 1024);
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop, as the program's own would, until done() holds (tested every 5 ms) or the time is up.
void RunUntil(const std::function<bool()>& done, int timeoutMs) {
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  check.start(5);
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  if (!done()) loop.exec();
}

// Runs the event loop for a while without a timer of its own, so that only the program wakes it.
void Idle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

struct Soak {
  Soak(std::int32_t intervalMs) {
    std::ofstream(dir / "mavonet.ini", std::ios::binary) << Utf8ToGbk("[配置]\r\n类别=<论坛>\r\n");
    std::string sql = test::StarterSchema();
    for (int b = 1; b <= kBoards; ++b) {
      sql += boards.SchemeInsert(b, 1, std::string("board").append(std::to_string(b)), b, kRisingId,
                                 b <= kTicked);
      lastId[b] = 0;
    }
    Connection setup;
    OpenDatabase(setup, dir / "mavo.sdb", true);
    Execute(setup, sql);
    setup.Close();

    ui::WindowSeams seams;
    seams.homepageViews = bench::BareHomepageViews();
    seams.openAddress = [](const QUrl&) {};
    seams.trayAvailable = [] { return false; };
    seams.notificationBus = bench::NoNotificationBus();
    seams.chime = [] {};
    seams.timing.interval = [intervalMs](std::int32_t) { return intervalMs; };
    seams.timing.pauseAfterStore = [] {};
    window = std::make_unique<ui::MainWindow>(storage, dir.path(), std::move(seams));
    window->Start();
    window->FrequencyBox().setText("10");
  }

  // A new article on a random board; the page shows its newest 40.
  void Publish() {
    const int board = std::uniform_int_distribution<int>(1, kBoards)(random);
    const int id = ++lastId[board];
    std::vector<test::BoardArticle> page;
    for (int i = id; i > 0 && i > id - kPageArticles; --i) {
      page.push_back({i, Title(board, i)});
    }
    boards.SetArticles(board, page);
  }

  // Monitoring cycles so far: board 1 is asked once a cycle, and once by each pass over all schemes.
  int Cycles() const { return boards.Requests(1) - passesOverAll; }

  void Click(const char* name) { window->findChild<QAbstractButton*>(QString::fromUtf8(name))->click(); }

  test::TempDir dir;
  test::BoardServer boards;
  Storage storage;
  std::unique_ptr<ui::MainWindow> window;
  std::mt19937 random{20261210};
  // Board b has published the articles Title(b, 1) to Title(b, lastId).
  std::map<int, int> lastId;
  int passesOverAll = 0;
};

int RunSoak() {
  Soak soak(5);
  QTimer publisher;
  QObject::connect(&publisher, &QTimer::timeout, soak.window.get(), [&] { soak.Publish(); });
  publisher.start(4);
  soak.window->RunButton().click();

  long residentAtWarmUp = 0;
  long sqliteBefore = 0;
  int steadyFrom = 0;
  std::vector<long> steady;  // the readings of the steady state
  constexpr std::size_t kSteadyReadings = kSteadyCycles / kReadEvery + 1;
  int nextReading = kWarmUpFrom;
  int lastCycles = 0;
  auto lastProgress = std::chrono::steady_clock::now();
  int stalls = 0;
  int nextOverlap = 50;
  int nextOneOff = 7;
  const auto started = std::chrono::steady_clock::now();
  while (soak.Cycles() < kCycles || steady.size() < kSteadyReadings) {
    Idle(2);
    const int cycles = soak.Cycles();
    const auto now = std::chrono::steady_clock::now();
    if (cycles != lastCycles) {
      lastCycles = cycles;
      lastProgress = now;
    } else if (now - lastProgress > std::chrono::seconds(10)) {
      ++stalls;
      std::fprintf(stderr, "stall at cycle %d\n", cycles);
      lastProgress = now;
    }
    if (cycles >= nextReading) {
      nextReading = (cycles / kReadEvery + 1) * kReadEvery;
      const long resident = ResidentKiB();
      const long sqlite = SqliteKiB();
      std::printf("  cycle %d: resident %ld KiB, of it SQLite %ld KiB\n", cycles, resident, sqlite);
      if (residentAtWarmUp == 0) residentAtWarmUp = resident;
      if (steadyFrom == 0 && cycles >= kSteadyFromAtLeast &&
          (sqlite - sqliteBefore < kSqliteSettledKiB || cycles >= kSteadyFromAtMost)) {
        steadyFrom = cycles;
      }
      if (steadyFrom != 0) steady.push_back(resident);
      sqliteBefore = sqlite;
    }
    if (cycles >= nextOneOff) {
      nextOneOff += 7;
      soak.Click("获取");  // the unticked boards, beside the running monitor
    }
    if (cycles >= nextOverlap) {
      nextOverlap += 50;
      // Stop, two passes over every scheme, start again at once: three workers on the same schemes.
      soak.window->RunButton().click();
      soak.Click("超级按钮1");
      soak.Click("超级按钮1");
      soak.passesOverAll += 2;
      soak.window->RunButton().click();
    }
  }
  const int lastCycle = soak.Cycles();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  // The last articles: publishing stops, monitoring stops, one pass collects what the pages still show.
  publisher.stop();
  soak.window->RunButton().click();
  RunUntil([&] { return soak.window->Monitor().ActiveWorkers() == 0; }, 20000);
  soak.Click("获取");
  RunUntil([&] { return soak.window->Monitor().ActiveWorkers() == 0; }, 20000);

  int published = 0, missing = 0, twice = 0, unknown = 0;
  Connection check;
  OpenDatabase(check, soak.dir / "mavo.sdb");
  for (const auto& [board, last] : soak.lastId) {
    std::set<std::string> titles;
    for (int id = 1; id <= last; ++id) titles.insert(Title(board, id));
    published += last;
    std::map<std::string, int> stored;
    for (const auto& row :
         Query(check, "select title from info where planid=" + std::to_string(board)).rows) {
      ++stored[row[0]];
    }
    for (const std::string& title : titles) {
      const auto found = stored.find(title);
      if (found == stored.end()) ++missing;
    }
    for (const auto& [title, count] : stored) {
      if (count > 1) twice += count - 1;
      if (!titles.contains(title)) ++unknown;
    }
  }
  std::printf(
      "cycles %d in %.1f s, articles published %d, missing %d, stored twice %d, unknown %d, stalls %d\n",
      soak.Cycles(), seconds, published, missing, twice, unknown, stalls);
  const auto mean = [](auto first, auto last) {
    return std::accumulate(first, last, 0L) / static_cast<long>(std::distance(first, last));
  };
  const long steadyStart = mean(steady.begin(), steady.begin() + kMeanOf);
  const long steadyEnd = mean(steady.end() - kMeanOf, steady.end());
  const long steadyGrowth = steadyEnd - steadyStart;
  std::printf("resident memory, warm-up: cycle %d to %d %+ld KiB (%ld to %ld KiB; reported only)\n",
              kWarmUpFrom, steadyFrom, steady.front() - residentAtWarmUp, residentAtWarmUp, steady.front());
  std::printf(
      "resident memory, steady state: cycle %d to %d %+ld KiB (means of the first and last %zu readings, %ld "
      "to %ld KiB; goal at most %+ld)\n",
      steadyFrom, lastCycle, steadyGrowth, kMeanOf, steadyStart, steadyEnd, kSteadyGrowthGoalKiB);
  const bool ok =
      missing == 0 && twice == 0 && unknown == 0 && stalls == 0 && steadyGrowth <= kSteadyGrowthGoalKiB;
  std::printf("%s\n", ok ? "soak passed" : "soak FAILED");
  return ok ? 0 : 1;
}

// The local test server polls for connections; its share of the process's CPU, measured alone.
void ServerAloneBaseline(int seconds) {
  test::BoardServer server;
  const double before = CpuSeconds();
  Idle(seconds * 1000);
  std::printf("CPU seconds of the local test server alone over %d s (part of the figures below): %.3f\n",
              seconds, CpuSeconds() - before);
}

int RunIdle(int seconds, bool shown) {
  Soak soak(600000);
  soak.boards.SetArticles(1, {{1, "b1-1"}});
  if (shown) soak.window->show();
  soak.window->RunButton().click();
  // The first cycle, then the long wait between cycles.
  RunUntil([&] { return soak.Cycles() >= 1 && soak.window->Monitor().ActiveWorkers() == 1; }, 20000);
  Idle(2000);
  const double before = CpuSeconds();
  Idle(seconds * 1000);
  const double used = CpuSeconds() - before;
  std::printf("CPU seconds over a %d s wait between cycles, window %s: %.3f (goal under 0.3)\n", seconds,
              shown ? "shown" : "in the tray", used);
  soak.window->RunButton().click();
  return used < 0.3 ? 0 : 1;
}

}  // namespace
}  // namespace qw

int main(int argc, char** argv) {
  qw::bench::WindowBenchApplication application(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "--idle") {
    const int seconds = argc >= 3 ? std::atoi(argv[2]) : 60;
    qw::ServerAloneBaseline(seconds);
    const int shown = qw::RunIdle(seconds, true);
    return qw::RunIdle(seconds, false) | shown;
  }
  if (argc >= 3 && std::string(argv[1]) == "--cycles") qw::kCycles = std::atoi(argv[2]);
  return qw::RunSoak();
}
