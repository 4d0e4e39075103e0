// Schemes fetched through the browser in a real monitoring pass: the real helper renders local pages whose
// lists are built by scripts, and the pass judges and stores them as it does fetched pages.

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <string_view>
#include <thread>

#include "extract/collect_scheme.h"
#include "health/health_book.h"
#include "log/status_log.h"
#include "monitor/monitor_worker.h"
#include "monitor/scheme_locks.h"
#include "monitor/stoppable_log.h"
#include "render/render_session.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"
#include "support/processes.h"
#include "support/script_board_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "support/waits.h"
#include "support/worker_fixture.h"
#include "text/encoding.h"

namespace qw {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;
using test::ScriptBoard;

constexpr char kStamp[] = "2026-12-10 9:5 7";
constexpr char kHelperName[] = "quillwatch-render";
// A build of the core alone builds no helper.
constexpr char kNoHelper[] = "the renderer helper is not built with the core alone";

std::vector<test::BoardArticle> Articles(int count, const std::string& prefix = "T") {
  std::vector<test::BoardArticle> articles;
  for (int id = count; id >= 1; --id) articles.push_back({id, prefix + std::to_string(id)});
  return articles;
}

bool Has(const std::string& text, const std::string& utf8) {
  return text.find(Utf8ToGbk(utf8)) != std::string::npos;
}

class RenderPassTest : public test::WorkerFixture {
 protected:
  void SetUp() override {
    if (std::string_view(QW_RENDER_BIN).empty()) GTEST_SKIP() << kNoHelper;
    ASSERT_EQ(OpenDatabase(db_, dir_ / "mavo.sdb", true), OpenResult::Opened);
    ASSERT_TRUE(Execute(db_, test::StarterSchema()));
    context_.pauseAfterStore = [] {};
    context_.timestamp = [] { return std::string(kStamp); };
    context_.render.helperPath = QW_RENDER_BIN;
    context_.health = &health_;
  }

  void AddScheme(int id, int board, bool render) {
    ASSERT_TRUE(Execute(db_, boards_.SchemeInsert(id, "S" + std::to_string(id), board, render)));
    RefreshSchemeCache(db_, cache_);
  }

  int Stored(const std::string& where = "1") {
    return std::stoi(Query(db_, "select count(*) from info where " + where).Cell(0, 0));
  }

  void Pass(const std::vector<int>& queue) {
    RunMonitorWorker(kPassAll, queue, 0, context_, stop_.get_token());
  }

  // The helper of the running pass, once it has started.
  static pid_t Helper() {
    pid_t helper = 0;
    EXPECT_TRUE(test::Eventually(
        [&] {
          const std::vector<pid_t> helpers = test::ChildrenNamed(kHelperName);
          helper = helpers.empty() ? 0 : helpers[0];
          return helper != 0;
        },
        seconds(10)));
    return helper;
  }

  HealthBook health_;
  test::ScriptBoardServer boards_;
};

TEST_F(RenderPassTest, AScriptBuiltListIsCollectedThroughTheBrowserOnlyAndTheRendererEndsWithThePass) {
  boards_.SetArticles(1, Articles(40));
  AddScheme(3, 1, true);
  AddScheme(5, 1, false);
  pid_t helper = 0;
  context_.pauseAfterStore = [&] {
    if (helper == 0) helper = Helper();
  };
  Pass({3, 5});
  EXPECT_EQ(Stored("planid=3"), 40);
  EXPECT_EQ(Query(db_, "select title,url from info where planid=3 order by id desc limit 1").Cell(0, 0),
            "T40");
  EXPECT_EQ(Query(db_, "select url from info where planid=3 and title='T7'").Cell(0, 0),
            "http://bbs.example/thread-7-1-1.html");
  // The plain fetch gets the shell, whose list is empty.
  EXPECT_EQ(Stored("planid=5"), 0);
  const std::string log = memory_.Text();
  EXPECT_TRUE(Has(log.substr(log.find(Utf8ToGbk("任务3已结束"))), "出错！截取源码为空"));
  // No engine process is left once the pass has ended.
  ASSERT_NE(helper, 0);
  EXPECT_EQ(test::ProcessesInGroup(helper), 0);
  EXPECT_TRUE(test::ChildrenNamed(kHelperName).empty());

  // The next pass starts a renderer of its own and finds nothing new.
  boards_.SetArticles(1, Articles(42));
  memory_.SetStatusText("");
  Pass({3});
  EXPECT_EQ(Stored("planid=3"), 42);
  EXPECT_EQ(Stored("planid=3 and title='T41'"), 1);
  EXPECT_TRUE(test::ChildrenNamed(kHelperName).empty());
}

TEST_F(RenderPassTest, TheBrowserSendsTheSchemesCookieAndIdentificationAndKeepsWhatTheSiteSets) {
  boards_.SetArticles(1, Articles(2));
  boards_.SetHeaderLines(1, "Set-Cookie: seen=2; Path=/\r\n");
  AddScheme(3, 1, true);
  ASSERT_TRUE(Execute(db_, "update rule set cookie='sid=1; lang=zh',ua='qw-test/1.0' where id=3"));
  RefreshSchemeCache(db_, cache_);
  Pass({3});
  EXPECT_EQ(Stored(), 2);

  const std::vector<test::ReceivedRequest> requests = boards_.Requests();
  // The page and the list it asked for, and nothing the engine would ask of its own accord.
  ASSERT_EQ(requests.size(), 2u);
  const std::string& shell = requests[0].raw;
  const std::string& list = requests[1].raw;
  EXPECT_EQ(shell.rfind("GET /board-1.html ", 0), 0u) << shell;
  EXPECT_EQ(list.rfind("GET /board-1/list.json ", 0), 0u) << list;
  for (const std::string* request : {&shell, &list}) {
    EXPECT_NE(request->find("\r\nUser-Agent: qw-test/1.0\r\n"), std::string::npos) << *request;
    EXPECT_NE(request->find("sid=1"), std::string::npos) << *request;
    EXPECT_NE(request->find("lang=zh"), std::string::npos) << *request;
  }
  EXPECT_NE(list.find("seen=2"), std::string::npos) << list;
  // The site's cookie joins the scheme's for its next fetch, as after a fetched page.
  EXPECT_EQ(cache_.Get(3, kRuleCookie), "seen=2; sid=1; lang=zh");
}

TEST_F(RenderPassTest, AGbkBoardIsReadInTheSchemesEncodingAndStoredInGbk) {
  boards_.SetKind(1, ScriptBoard::kGbkScriptList);
  boards_.SetArticles(1, {{2, Utf8ToGbk("第二个新帖")}, {1, Utf8ToGbk("中文标题")}});
  AddScheme(3, 1, true);
  Pass({3});
  EXPECT_EQ(Stored(), 2);
  EXPECT_EQ(Stored("title='" + Utf8ToGbk("中文标题") + "'"), 1);
  EXPECT_EQ(Stored("title='" + Utf8ToGbk("第二个新帖") + "'"), 1);
}

TEST_F(RenderPassTest, AnErrorStatusSeenByTheBrowserIsAFailureOfTheSchemesHealth) {
  boards_.SetKind(1, ScriptBoard::kForbidden);
  boards_.SetArticles(1, Articles(2));
  AddScheme(3, 1, true);
  Pass({3});
  EXPECT_EQ(GbkToUtf8(health_.Of(3).outcome), "HTTP 403");
  EXPECT_EQ(health_.Of(3).failures, 1);
}

TEST_F(RenderPassTest, APageThatNeverStopsLoadingIsTakenAsItStandsAtItsDeadline) {
  boards_.SetKind(1, ScriptBoard::kNeverEnds);
  boards_.SetArticles(1, Articles(3));
  AddScheme(3, 1, true);
  context_.render.pageDeadline = milliseconds(1500);
  const auto started = Clock::now();
  Pass({3});
  EXPECT_GE(Clock::now() - started, milliseconds(1500));
  EXPECT_LT(Clock::now() - started, seconds(6));
  EXPECT_EQ(Stored(), 3);
  EXPECT_TRUE(Has(memory_.Text(), "浏览器渲染到期限时页面仍未静止，已用当时渲染出的内容"));
  // The health records that the deadline was hit, without a failure.
  EXPECT_EQ(GbkToUtf8(health_.Of(3).outcome), "匹配3条，新增3篇（浏览器渲染到期限）");
  EXPECT_EQ(health_.Of(3).failures, 0);
}

TEST_F(RenderPassTest, PagesThatBreakTheirRendererFailEveryRoundAndTheOthersStoreEachArticleOnce) {
  boards_.SetKind(1, ScriptBoard::kLoopsForever);
  boards_.SetKind(2, ScriptBoard::kEatsMemory);
  boards_.SetArticles(3, Articles(4));
  AddScheme(3, 1, true);
  AddScheme(4, 2, true);
  AddScheme(5, 3, true);
  // Long enough for the heap's ceiling to be reached on a busy machine.
  context_.render.pageDeadline = milliseconds(6000);
  for (int round = 1; round <= 2; ++round) {
    memory_.SetStatusText("");
    const auto started = Clock::now();
    Pass({3, 4, 5});
    EXPECT_LT(Clock::now() - started, seconds(30));
    const std::string log = memory_.Text();
    const std::size_t third = log.find(Utf8ToGbk("任务3已结束"));
    const std::size_t fourth = log.find(Utf8ToGbk("任务4已结束"));
    ASSERT_NE(fourth, std::string::npos) << GbkToUtf8(log);
    EXPECT_TRUE(Has(log.substr(0, third), "浏览器渲染失败：页面的脚本一直在运行，到期限仍未交出内容"))
        << GbkToUtf8(log);
    // The page that builds without end crashes its renderer, its heap having a ceiling.
    EXPECT_TRUE(Has(log.substr(third, fourth - third), "浏览器渲染失败：页面的渲染进程崩溃了"))
        << GbkToUtf8(log);
    EXPECT_TRUE(test::ChildrenNamed(kHelperName).empty());
    boards_.SetArticles(3, Articles(6));
  }
  EXPECT_EQ(Stored("planid in (3,4)"), 0);
  EXPECT_EQ(Stored("planid=5"), 6);
  // Each broken page is a failure of its scheme in its health, with the browser's reason.
  EXPECT_EQ(GbkToUtf8(health_.Of(3).outcome), "浏览器渲染失败：页面的脚本一直在运行，到期限仍未交出内容");
  EXPECT_EQ(health_.Of(3).failures, 2);
  EXPECT_EQ(GbkToUtf8(health_.Of(4).outcome), "浏览器渲染失败：页面的渲染进程崩溃了");
  EXPECT_EQ(health_.Of(4).failures, 2);
  EXPECT_EQ(health_.Of(5).failures, 0);
  EXPECT_EQ(Query(db_, "select count(distinct title) from info").Cell(0, 0), "6");
}

TEST_F(RenderPassTest, AStopMidRenderEndsTheRendererWithinASecondAndStoresNothing) {
  boards_.SetKind(1, ScriptBoard::kNeverEnds);
  boards_.SetArticles(1, Articles(3));
  AddScheme(3, 1, true);
  std::thread worker([&] { Pass({3}); });
  const pid_t helper = Helper();
  ASSERT_TRUE(test::Eventually([&] { return boards_.ShellRequests(1) == 1; }, seconds(10)));
  const auto asked = Clock::now();
  log_.Stop();
  worker.join();
  EXPECT_LT(Clock::now() - asked, seconds(1));
  EXPECT_TRUE(test::Eventually([&] { return test::ProcessesInGroup(helper) == 0; }, milliseconds(1000)));
  EXPECT_LT(Clock::now() - asked, seconds(1));
  EXPECT_EQ(Stored(), 0);
  EXPECT_TRUE(memory_.Text().empty()) << GbkToUtf8(memory_.Text());
}

// The renderer of one round, without a pass around it.
class RendererTest : public ::testing::Test {
 protected:
  RendererTest() { settings_.helperPath = QW_RENDER_BIN; }

  void SetUp() override {
    if (settings_.helperPath.empty()) GTEST_SKIP() << kNoHelper;
  }

  RenderJob Job(int board) const {
    RenderJob job;
    job.url = boards_.BoardUrl(board);
    return job;
  }

  test::ScriptBoardServer boards_;
  RenderSettings settings_;
};

TEST_F(RendererTest, AHelperKilledMidPageFailsThatPageAndTheNextPageGetsAFreshOne) {
  boards_.SetKind(1, ScriptBoard::kNeverEnds);
  boards_.SetArticles(2, Articles(2));
  RenderSession session(settings_);
  RenderedPage killed;
  std::thread page([&] { killed = session.Render(Job(1), {}); });
  ASSERT_TRUE(test::Eventually([&] { return boards_.ShellRequests(1) == 1; }, seconds(10)));
  const std::vector<pid_t> helpers = test::ChildrenNamed(kHelperName);
  ASSERT_EQ(helpers.size(), 1u);
  ::kill(helpers[0], SIGKILL);
  page.join();
  EXPECT_EQ(killed.failure, Utf8ToGbk("渲染程序意外退出（信号 9）"));
  // The engine's processes went with their helper.
  EXPECT_TRUE(test::Eventually([&] { return test::ProcessesInGroup(helpers[0]) == 0; }, seconds(2)));

  const RenderedPage next = session.Render(Job(2), {});
  EXPECT_EQ(next.failure, "");
  EXPECT_NE(next.html.find("<a href=\"thread-2-1-1.html\">T2</a>"), std::string::npos) << next.html;
  EXPECT_EQ(session.Counts().helpersStarted, 2);
  EXPECT_GT(session.Counts().peakMemory, 0u);
}

TEST_F(RendererTest, APageWhoseEngineRendererIsKilledFailsAndTheHelperRendersTheNext) {
  boards_.SetKind(1, ScriptBoard::kNeverEnds);
  boards_.SetArticles(2, Articles(2));
  RenderSession session(settings_);
  RenderedPage killed;
  std::thread page([&] { killed = session.Render(Job(1), {}); });
  ASSERT_TRUE(test::Eventually([&] { return boards_.ShellRequests(1) == 1; }, seconds(10)));
  // The engine's renderer of the page is a grandchild: the helper's zygote started it.
  pid_t renderer = 0;
  ASSERT_TRUE(test::Eventually(
      [&] {
        for (pid_t zygote : test::ChildrenOf(test::ChildrenNamed(kHelperName).at(0))) {
          for (pid_t child : test::ChildrenOf(zygote)) renderer = child;
        }
        return renderer != 0;
      },
      seconds(5)));
  ::kill(renderer, SIGKILL);
  page.join();
  EXPECT_EQ(killed.failure, Utf8ToGbk("页面的渲染进程被终止了"));
  const RenderedPage next = session.Render(Job(2), {});
  EXPECT_NE(next.html.find("<a href=\"thread-1-1-1.html\">T1</a>"), std::string::npos) << next.html;
  EXPECT_EQ(session.Counts().helpersStarted, 1);
}

}  // namespace
}  // namespace qw
