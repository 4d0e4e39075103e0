// What keywords cost a monitoring round, beside the same round without them, in one run.
//
//   BM_RoundsSideBySide   rounds over 200 schemes whose boards each list 50 new articles every round (10,000
//                         articles stored per round), taking turns: schemes without keywords; the same with
//                         100 keywords per scheme (80 关注词 and 20 屏蔽词, 10 of them expressions) and 2 for
//                         every scheme, of which one in ten titles matches one and is marked; and the same
//                         with keywords that match nothing. Ten turns after one left out. Counters: plain_s
//                         and keywords_s, the fastest round of the first two; ratio, keywords_s / plain_s
//                         (goal: at most 1.05); cpu_ratio, the same in processor seconds of the whole
//                         process, which a machine busy with other work disturbs less; worker_ratio, the
//                         same for the worker's own thread, which judges and stores (the fetches and the
//                         server left out, so the keywords weigh more); the nomatch_ ratios for the keywords
//                         that match nothing: the matching alone, without storing any mark.
//                         The databases lie on a memory file system where there is one, so that no disk
//                         write hides what the matching costs.
//   BM_JudgeTitle         one title judged against a scheme's 100 keywords and everyone's 2
//   BM_CompileKeywords    a scheme's 100 keywords compiled, as a round does when the lists have changed

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "extract/collect_scheme.h"
#include "keywords/title_judge.h"
#include "log/status_log.h"
#include "monitor/monitor_worker.h"
#include "monitor/scheme_locks.h"
#include "monitor/stoppable_log.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"
#include "storage/scheme_options.h"
#include "support/http_test_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace qw {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSchemes = 200;
constexpr int kHitsPerPage = 50;

// Titles as boards write them; one in twenty a watch word matches, one in twenty a mute word.
const std::array<const char*, 20> kTopics = {
    "出售 RTX 5090 全新未拆", "内存条价格又涨了",   "【广告】显卡清仓大甩卖", "求推荐一款静音机箱",
    "主板 BIOS 升级教程",     "散热器哪家强",       "电源选购指南",           "固态硬盘掉速怎么办",
    "显示器色准校正心得",     "机械键盘轴体对比",   "笔记本散热改造",         "无线网卡驱动问题",
    "装机预算五千求配置",     "旧电脑升级还值得吗", "水冷漏液经历分享",       "机箱风道怎么设计",
    "多屏办公体验",           "鼠标双击故障维修",   "声卡与耳放的搭配",       "路由器刷机记录"};

std::string Title(int articleId) {
  return Utf8ToGbk(kTopics[static_cast<std::size_t>(articleId) % kTopics.size()]) + " #" +
         std::to_string(articleId);
}

// A scheme's 100 keywords: plain words and expressions that ordinary titles do not hold, and the last of
// each list one that matches (or, without matching ones, one more that does not).
KeywordLists HundredKeywords(int scheme, bool matching = true) {
  KeywordLists lists;
  const std::string s = std::to_string(scheme);
  for (int n = 0; n < 72; ++n) lists.watch += Utf8ToGbk("型号") + s + "-" + std::to_string(n) + "\r\n";
  for (int n = 0; n < 7; ++n) lists.watch += "/model" + s + "x" + std::to_string(n) + "\\d{3}/\r\n";
  lists.watch += matching ? "/rtx ?50[89]0/" : "/gtx ?50[89]0/";
  for (int n = 0; n < 16; ++n) lists.mute += Utf8ToGbk("推广") + s + "-" + std::to_string(n) + "\r\n";
  for (int n = 0; n < 3; ++n) lists.mute += "/^spam" + s + "[a-z]{" + std::to_string(n + 2) + "}/\r\n";
  lists.mute += Utf8ToGbk(matching ? "【广告】" : "【推广】");
  return lists;
}

KeywordLists EveryonesKeywords() { return {Utf8ToGbk("新品首发"), Utf8ToGbk("代购")}; }

double CpuSeconds(clockid_t clock);

// The directory the round databases lie in: a memory file system where there is one.
std::filesystem::path FastDirectory(const test::TempDir& fallback) {
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error)) {
    const auto dir =
        std::filesystem::path("/dev/shm") / ("qw-bench-keywords-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(reinterpret_cast<std::uintptr_t>(&fallback)));
    if (std::filesystem::create_directory(dir, error)) return dir;
  }
  return fallback.path();
}

// 200 boards whose every request lists the next 50 articles above those seen, and the schemes that watch
// them by their rising ids; with keywords or without.
enum class Lists { kNone, kMatchingNothing, kMatching };

class Round {
 public:
  explicit Round(Lists lists)
      : lists_(lists),
        server_([this](const test::ReceivedRequest& request) { return Answer(request); }),
        dir_(FastDirectory(temp_)) {
    server_.KeepRequests(false);
    OpenDatabase(db_, dir_ / "mavo.sdb", true);
    std::string sql = test::StarterSchema() + "begin;";
    for (int id = 1; id <= kSchemes; ++id) {
      sql +=
          "insert into rule(id,class,code,name,url,cookie,ua,arttile,buquan,regular,\"before\",\"after\","
          "tindex,uindex,oindex,isdo,type) values(" +
          std::to_string(id) + ",1,'1','board" + std::to_string(id) + "','" +
          server_.Url("/board-" + std::to_string(id) + ".html") +
          "','','','','http://bbs.example/thread-[1]-1-1.html',"
          "'<a href=\"thread-(\\d+)-1-1\\.html\">([^<]+)</a>','" +
          Utf8ToGbk("<ul id=#引号list#引号>") + "','</ul>','2','1','','1','8');";
    }
    Execute(db_, sql + "commit;");
    if (lists_ != Lists::kNone) {
      for (int id = 1; id <= kSchemes; ++id) {
        SchemeOptions options;
        PutKeywordLists(options, HundredKeywords(id, lists_ == Lists::kMatching));
        SaveSchemeOptions(db_, id, options);
      }
    }
    RefreshSchemeCache(db_, cache_);
  }

  ~Round() {
    db_.Close();
    std::error_code error;
    if (dir_ != temp_.path()) std::filesystem::remove_all(dir_, error);
  }

  struct Seconds {
    double wall = 0;
    double cpu = 0;
    // The worker's own thread: judging and storing, without the fetches and the server.
    double worker = 0;
  };

  // One round over every scheme, as a monitoring worker runs it: its wall-clock seconds, and the processor
  // seconds of the whole process (the local server included), which other work on the machine disturbs less.
  Seconds Run() {
    MemoryStatusLog memory;
    std::stop_source stop;
    StoppableLog log(memory, stop);
    MonitorContext context{cache_, db_, busy_, log, flag_, locks_, completed_};
    context.pauseAfterStore = [] {};
    if (lists_ != Lists::kNone) context.everyoneKeywords = [] { return EveryonesKeywords(); };
    std::vector<int> queue;
    for (int id = 1; id <= kSchemes; ++id) queue.push_back(id);
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double workerStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    RunMonitorWorker(kPassAll, queue, 0, context, stop.get_token());
    return {std::chrono::duration<double>(Clock::now() - start).count(),
            CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart,
            CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - workerStart};
  }

  int Stored() { return std::stoi(Query(db_, "select count(*) from info").Cell(0, 0)); }
  int Marked() {
    const ResultTable table = Query(db_, "select count(*) from keyword_marks");
    return table.RowCount() == 1 ? std::stoi(table.Cell(0, 0)) : 0;
  }

 private:
  std::string Answer(const test::ReceivedRequest& request) {
    const std::size_t dash = request.raw.find("/board-");
    const int board = dash == std::string::npos ? 0 : std::atoi(request.raw.c_str() + dash + 7);
    if (board < 1 || board > kSchemes) return test::MakeResponse(404, "");
    // Every request of a board moves it on by a page of new articles.
    const int round = ++requests_[static_cast<std::size_t>(board)];
    std::string page = "<html><body><ul id=\"list\">";
    for (int i = kHitsPerPage; i >= 1; --i) {
      const int articleId = board * 1000000 + round * kHitsPerPage + i;
      page += "<li><a href=\"thread-" + std::to_string(articleId) + "-1-1.html\">" + Title(articleId) +
              "</a></li>\r\n";
    }
    return test::MakeResponse(200, page + "</ul></body></html>");
  }

  const Lists lists_;
  std::array<std::atomic<int>, kSchemes + 1> requests_{};
  test::HttpTestServer server_;
  test::TempDir temp_;
  std::filesystem::path dir_;
  Connection db_;
  DatabaseBusy busy_;
  SchemeCache cache_;
  SchemeLocks locks_;
  CompletedSchemes completed_;
  std::atomic<bool> flag_{false};
};

double CpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The fastest round of a kind: work elsewhere on the machine only ever adds to a round's time.
double Best(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

void BM_RoundsSideBySide(benchmark::State& state) {
  const int turns = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::array<std::unique_ptr<Round>, 3> rounds = {std::make_unique<Round>(Lists::kNone),
                                                    std::make_unique<Round>(Lists::kMatchingNothing),
                                                    std::make_unique<Round>(Lists::kMatching)};
    // The first turn stores into empty tables and looks every hit up first; it is left out.
    for (auto& round : rounds) round->Run();
    std::array<std::vector<double>, 3> wall;
    std::array<std::vector<double>, 3> cpu;
    std::array<std::vector<double>, 3> worker;
    for (int t = 0; t < turns; ++t) {
      // The order goes round, so that no kind always follows the same other.
      for (int k = 0; k < 3; ++k) {
        const std::size_t kind = static_cast<std::size_t>((t + k) % 3);
        const Round::Seconds seconds = rounds[kind]->Run();
        wall[kind].push_back(seconds.wall);
        cpu[kind].push_back(seconds.cpu);
        worker[kind].push_back(seconds.worker);
      }
    }
    const int expected = (turns + 1) * kSchemes * kHitsPerPage;
    for (auto& round : rounds) {
      if (round->Stored() != expected) state.SkipWithError("articles missing");
    }
    state.counters["plain_s"] = Best(wall[0]);
    state.counters["keywords_s"] = Best(wall[2]);
    state.counters["ratio"] = Best(wall[2]) / Best(wall[0]);
    state.counters["cpu_ratio"] = Best(cpu[2]) / Best(cpu[0]);
    state.counters["worker_ratio"] = Best(worker[2]) / Best(worker[0]);
    state.counters["nomatch_ratio"] = Best(wall[1]) / Best(wall[0]);
    state.counters["nomatch_cpu_ratio"] = Best(cpu[1]) / Best(cpu[0]);
    state.counters["nomatch_worker_ratio"] = Best(worker[1]) / Best(worker[0]);
    state.counters["stored_per_round"] = kSchemes * kHitsPerPage;
    state.counters["marked_per_round"] = rounds[2]->Marked() / (turns + 1);
  }
}
BENCHMARK(BM_RoundsSideBySide)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);

void BM_JudgeTitle(benchmark::State& state) {
  const CompiledKeywords scheme(HundredKeywords(7));
  const CompiledKeywords everyone(EveryonesKeywords());
  std::vector<std::string> titles;
  for (int i = 0; i < 1000; ++i) titles.push_back(Title(7000000 + i));
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(JudgeTitle(titles[next], scheme, everyone));
    next = (next + 1) % titles.size();
  }
}
BENCHMARK(BM_JudgeTitle)->Unit(benchmark::kMicrosecond);

void BM_CompileKeywords(benchmark::State& state) {
  const KeywordLists lists = HundredKeywords(7);
  for (auto _ : state) benchmark::DoNotOptimize(CompiledKeywords(lists));
}
BENCHMARK(BM_CompileKeywords)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qw

BENCHMARK_MAIN();
