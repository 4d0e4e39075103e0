#include "monitor/monitor_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include "log/status_log.h"
#include "monitor/fetch_ahead.h"
#include "monitor/scheme_locks.h"
#include "monitor/stoppable_log.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"
#include "support/board_server.h"
#include "support/http_test_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "support/waits.h"
#include "support/worker_fixture.h"
#include "text/encoding.h"

namespace qw {
namespace {

using test::Eventually;

using std::chrono::milliseconds;
constexpr char kStamp[] = "2026-12-10 9:5 7";

TEST(BuildQueueTest, PassKindsPickTheirSchemesInTreeOrder) {
  // 新闻 (B [5] unchecked), 论坛 (A [3] checked, C [7] unchecked)
  const std::vector<TreeItem> tree = {{1, -11, 1}, {2, 5, 0}, {1, -12, 0}, {2, 3, 1}, {2, 7, 0}};
  EXPECT_EQ(BuildQueue(tree, kPassAll), (std::vector<int>{5, 3, 7}));
  EXPECT_EQ(BuildQueue(tree, kPassMonitoring), (std::vector<int>{3}));
  EXPECT_EQ(BuildQueue(tree, kPassUnchecked), (std::vector<int>{5, 7}));
  EXPECT_TRUE(BuildQueue({{1, -11, 1}}, kPassAll).empty());
}

class MonitorWorkerTest : public test::WorkerFixture {
 protected:
  void SetUp() override {
    ASSERT_EQ(OpenDatabase(db_, dir_ / "mavo.sdb", true), OpenResult::Opened);
    ASSERT_TRUE(Execute(db_, test::StarterSchema()));
    ASSERT_TRUE(Execute(
        db_, boards_.SchemeInsert(3, 1, "A", 1, 0, true) + boards_.SchemeInsert(5, 1, "B", 2, 0, true)));
    RefreshSchemeCache(db_, cache_);
    context_.pauseAfterStore = [] {};
    context_.timestamp = [] { return std::string(kStamp); };
    context_.notifyNewContent = [this](StatusLog& log) {
      ++notified_;
      log.AppendStatusLine(QW_GBK("\r\n发现有新内容，已发出提醒通知！----") + kStamp);
      flag_ = false;
    };
  }

  int Stored(const std::string& where = "1") {
    return std::stoi(Query(db_, "select count(*) from info where " + where).Cell(0, 0));
  }

  std::atomic<int> notified_{0};
  test::BoardServer boards_;
};

TEST_F(MonitorWorkerTest, ACycleLogsItsStepsNotifiesWaitsAndStartsAfresh) {
  boards_.SetArticles(1, {{2, "A2"}, {1, "A1"}});
  std::thread worker([&] { RunMonitorWorker(kPassMonitoring, {3, 5}, 200, context_, stop_.get_token()); });
  // The first cycle ends with its lines and the notification, then the wait begins.
  EXPECT_TRUE(Eventually([&] { return memory_.Text().find(QW_GBK("发现有新内容")) != std::string::npos; }));
  const std::string cycle = memory_.Text();
  const std::string ok = QW_GBK("SQL成功！");
  const std::string insert =
      "\r\ninsert into info(planname,planid,title,url,other,addtime,issoucang) values('A',3,'";
  const std::string expected =
      QW_GBK("源码中末发现最后文章标记！") + insert + "A1','http://bbs.example/thread-1.html','1','" +
      kStamp + "',0)" + ok + insert + "A2','http://bbs.example/thread-2.html','2','" + kStamp + "',0)" + ok +
      "\r\nupdate rule set arttile='A2',arturl='http://bbs.example/thread-2.html',lasttime='" + kStamp +
      "',lastid=0 where id=3" + ok + QW_GBK("\r\n任务3已结束----") + kStamp +
      QW_GBK("源码中末发现最后文章标记！") + QW_GBK("出错！截取源码为空，请检查方案的采集区域！") +
      QW_GBK("\r\n任务5已结束----") + kStamp + QW_GBK("\r\n本轮执行完毕！----") + kStamp +
      QW_GBK("\r\n发现有新内容，已发出提醒通知！----") + kStamp;
  EXPECT_EQ(cycle, expected);
  EXPECT_EQ(notified_, 1);

  // After the wait the log is emptied and the next cycle, with nothing new, writes its lines afresh.
  EXPECT_TRUE(Eventually([&] {
    return boards_.Requests(2) >= 2 && memory_.Text().find(QW_GBK("本轮执行完毕")) != std::string::npos;
  }));
  EXPECT_EQ(memory_.Text().find(QW_GBK("任务3已结束")), 0u + 2);  // "\r\n" first
  EXPECT_EQ(notified_, 1);
  EXPECT_EQ(Stored(), 2);

  // A stop during the wait ends the worker at once, with no line after it.
  const std::string last = memory_.Text();
  const auto asked = std::chrono::steady_clock::now();
  log_.Stop();
  worker.join();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, milliseconds(150));
  EXPECT_EQ(memory_.Text(), last);
}

TEST_F(MonitorWorkerTest, AStopDuringAPassEndsItWithNoFurtherLineOrStatement) {
  boards_.SetArticles(1, {{3, "A3"}, {2, "A2"}, {1, "A1"}});
  context_.pauseAfterStore = [this] { log_.Stop(); };
  RunMonitorWorker(kPassMonitoring, {3, 5}, 10000, context_, stop_.get_token());
  EXPECT_EQ(Stored(), 1);
  EXPECT_EQ(memory_.Text().find(QW_GBK("已结束")), std::string::npos);
  // Scheme 5's page may have been fetched ahead; it is not judged (its empty region would say so).
  EXPECT_EQ(memory_.Text().find(QW_GBK("出错！")), std::string::npos);
  // The next run offers the rest and stores each article once.
  std::stop_source again;
  StoppableLog log{memory_, again};
  MonitorContext next{cache_, db_, busy_, log, flag_, locks_, completed_};
  next.pauseAfterStore = [] {};
  RunMonitorWorker(kPassAll, {3}, 0, next, again.get_token());
  EXPECT_EQ(Stored(), 3);
}

TEST_F(MonitorWorkerTest, AStopAsTheRoundEndsGivesNeitherItsLineNorAnAlert) {
  boards_.SetArticles(1, {{1, "A1"}});
  // The first time text asked for after the last scheme's line is the round's own.
  context_.timestamp = [this] {
    if (memory_.Text().find(QW_GBK("任务5已结束")) != std::string::npos) log_.Stop();
    return std::string(kStamp);
  };
  RunMonitorWorker(kPassMonitoring, {3, 5}, 10000, context_, stop_.get_token());
  EXPECT_EQ(Stored(), 1);
  EXPECT_EQ(memory_.Text().find(QW_GBK("本轮执行完毕")), std::string::npos);
  EXPECT_EQ(notified_, 0);
}

TEST_F(MonitorWorkerTest, AOneOffPassWritesNoCycleLineAndGivesNoAlert) {
  boards_.SetArticles(1, {{1, "A1"}});
  RunMonitorWorker(kPassAll, {3, 5}, 10000, context_, stop_.get_token());
  EXPECT_EQ(Stored(), 1);
  EXPECT_TRUE(flag_);
  EXPECT_EQ(notified_, 0);
  EXPECT_EQ(memory_.Text().find(QW_GBK("本轮执行完毕")), std::string::npos);
}

TEST_F(MonitorWorkerTest, APassOverASchemeAnotherPassHoldsWaitsForItAndStartsFromItsMarker) {
  // A complete pass leaves the marker trusted, so only the lock keeps a second pass from judging the same
  // hits at the same time.
  boards_.SetArticles(1, {{1, "A1"}});
  RunMonitorWorker(kPassAll, {3}, 0, context_, stop_.get_token());
  boards_.SetArticles(1, {{4, "A4"}, {3, "A3"}, {2, "A2"}, {1, "A1"}});

  // In the first pass's first pause, holding scheme 3, another pass over it starts; the first goes on once
  // that pass waits for the scheme or, without the lock, has asked for its page.
  std::stop_source other;
  StoppableLog log{memory_, other};
  MonitorContext second{cache_, db_, busy_, log, flag_, locks_, completed_};
  second.pauseAfterStore = [] {};
  std::thread secondPass;
  context_.pauseAfterStore = [&] {
    if (secondPass.joinable()) return;
    secondPass = std::thread([&] { RunMonitorWorker(kPassAll, {3, 3}, 0, second, other.get_token()); });
    EXPECT_TRUE(Eventually([&] { return locks_.Waiting(3) > 0 || boards_.Requests(1) > 2; }));
  };
  RunMonitorWorker(kPassAll, {3}, 0, context_, stop_.get_token());
  secondPass.join();
  EXPECT_EQ(boards_.Requests(1), 4);
  EXPECT_EQ(Stored(), 4);
  EXPECT_EQ(Query(db_, "select count(distinct title) from info").Cell(0, 0), "4");
}

TEST_F(MonitorWorkerTest, AStopWhileWaitingForABusySchemeEndsTheWorker) {
  std::optional<SchemeLocks::Hold> held;
  ASSERT_TRUE(locks_.Acquire(3, {}, held));
  std::thread worker([&] { RunMonitorWorker(kPassAll, {3}, 0, context_, stop_.get_token()); });
  ASSERT_TRUE(Eventually([&] { return locks_.Waiting(3) == 1; }));
  log_.Stop();
  // A worker that went on waiting would be released by the hold below, and its pass would run.
  const bool ended = Eventually([&] { return locks_.Waiting(3) == 0; });
  held.reset();
  worker.join();
  EXPECT_TRUE(ended);
  EXPECT_EQ(boards_.Requests(1), 0);
  EXPECT_TRUE(memory_.Text().empty());
}

TEST_F(MonitorWorkerTest, PagesAreFetchedAheadWithinTheWindowButNotWhileAnotherPassHoldsTheScheme) {
  // Schemes 100 onwards watch boards of the same numbers, eight more than the window holds; another pass
  // holds scheme 100, the first in the queue.
  const int end = 100 + static_cast<int>(kFetchAheadWindow) + 8;
  const int windowEnd = 100 + static_cast<int>(kFetchAheadWindow);
  std::string sql;
  std::vector<int> queue;
  for (int id = 100; id < end; ++id) {
    sql += boards_.SchemeInsert(id, 1, "S", id, 0, true);
    queue.push_back(id);
  }
  ASSERT_TRUE(Execute(db_, sql));
  RefreshSchemeCache(db_, cache_);
  std::optional<SchemeLocks::Hold> held;
  ASSERT_TRUE(locks_.Acquire(100, {}, held));
  std::thread worker([&] { RunMonitorWorker(kPassAll, queue, 0, context_, stop_.get_token()); });

  // The rest of the window is fetched while the worker waits; nothing beyond it, and not the held scheme.
  auto requested = [&](int from, int to) {
    int sum = 0;
    for (int board = from; board < to; ++board) sum += boards_.Requests(board);
    return sum;
  };
  EXPECT_TRUE(Eventually([&] { return requested(101, windowEnd) == windowEnd - 101; }));
  EXPECT_TRUE(test::NeverWithin([&] { return requested(100, end) > windowEnd - 101; }, milliseconds(200)));
  EXPECT_EQ(boards_.Requests(100), 0);
  EXPECT_TRUE(memory_.Text().empty());

  // Once the other pass ends, the held scheme's page is fetched at its turn; every page is fetched once.
  held.reset();
  worker.join();
  for (int board = 100; board < end; ++board) EXPECT_EQ(boards_.Requests(board), 1) << board;
  EXPECT_NE(memory_.Text().find(QW_GBK("\r\n任务") + std::to_string(end - 1) + QW_GBK("已结束----")),
            std::string::npos);
}

TEST_F(MonitorWorkerTest, ASchemeAbsentAsItEntersTheWindowIsCollectedWhenPresentAtItsTurn) {
  boards_.SetArticles(1, {{1, "A1"}});
  boards_.SetArticles(4, {{9, "N9"}});
  bool added = false;
  context_.pauseAfterStore = [&] {
    if (std::exchange(added, true)) return;
    // 刷新方案列表 during the pass brings scheme 9, queued from a tree that already showed it.
    ASSERT_TRUE(Execute(db_, boards_.SchemeInsert(9, 1, "N", 4, 0, true)));
    RefreshSchemeCache(db_, cache_);
  };
  RunMonitorWorker(kPassAll, {3, 9}, 0, context_, stop_.get_token());
  EXPECT_EQ(Stored("planid=9 and title='N9'"), 1);
  EXPECT_EQ(memory_.Text().find(QW_GBK("不在方案列表中")), std::string::npos);
}

// The fetch-ahead on its own: a queue entry moved past while its page is in flight.
TEST_F(MonitorWorkerTest, MovingPastAnEntryWaitsForItsFetchInFlight) {
  std::atomic<bool> answering{false};
  test::HttpTestServer slow([&](const test::ReceivedRequest&, test::ResponseStream& stream) {
    if (!stream.HoldFor(milliseconds(300))) return;
    answering = true;
    (void)stream.Send(test::MakeResponse(200, "<html></html>"));
  });
  cache_.Set(5, kRuleUrl, slow.Url("/board.html"));
  const std::vector<int> queue = {5};
  FetchAhead ahead(queue, cache_, locks_, {}, {});
  ASSERT_TRUE(Eventually([&] { return slow.Requests().size() == 1; }));
  ahead.Skip(0);
  // The fetch thread no longer has an entry to write its page to once the entry has left.
  EXPECT_TRUE(answering);
}

TEST_F(MonitorWorkerTest, ASchemeEditedBeforeItsTurnIsFetchedWithItsValuesAtTheTurn) {
  boards_.SetArticles(1, {{1, "A1"}});
  boards_.SetArticles(3, {{7, "C7"}});
  bool edited = false;
  context_.pauseAfterStore = [&] {
    if (std::exchange(edited, true)) return;
    // Scheme 5's page has been fetched ahead from board 2; then the cache is refreshed with another address.
    EXPECT_TRUE(Eventually([&] { return boards_.Requests(2) == 1; }));
    cache_.Set(5, kRuleUrl, boards_.BoardUrl(3));
  };
  RunMonitorWorker(kPassAll, {3, 5}, 0, context_, stop_.get_token());
  EXPECT_EQ(boards_.Requests(2), 1);
  EXPECT_EQ(boards_.Requests(3), 1);
  EXPECT_EQ(Stored("planid=5 and title='C7'"), 1);
}

TEST_F(MonitorWorkerTest, APassOverTheSchemeBetweenItsFetchAndItsTurnHasItFetchedAgain) {
  boards_.SetArticles(1, {{1, "A1"}});
  boards_.SetArticles(2, {{1, "B1"}});
  bool overlapped = false;
  context_.pauseAfterStore = [&] {
    if (std::exchange(overlapped, true)) return;
    // Scheme 5's page (B1) is fetched ahead; then B2 appears and another pass stores B1 and B2.
    EXPECT_TRUE(Eventually([&] { return boards_.Requests(2) == 1; }));
    boards_.SetArticles(2, {{2, "B2"}, {1, "B1"}});
    std::thread other([&] {
      std::stop_source otherStop;
      StoppableLog log{memory_, otherStop};
      MonitorContext second{cache_, db_, busy_, log, flag_, locks_, completed_};
      second.pauseAfterStore = [] {};
      RunMonitorWorker(kPassAll, {5}, 0, second, otherStop.get_token());
    });
    other.join();
  };
  RunMonitorWorker(kPassAll, {3, 5}, 0, context_, stop_.get_token());
  // Judged on the page fetched ahead, the marker B2 would be missing from it and B1 stored again.
  EXPECT_EQ(boards_.Requests(2), 3);
  EXPECT_EQ(Stored("planid=5"), 2);
  EXPECT_EQ(cache_.Get(5, kRuleArttile), "B2");
}

}  // namespace
}  // namespace qw
