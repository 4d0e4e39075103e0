#include "monitor/monitor_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "monitor/scheme_locks.h"
#include "monitor/status_log.h"
#include "monitor/stoppable_log.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"
#include "support/board_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace qw {
namespace {

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

class MonitorWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(OpenDatabase(db_, dir_ / "mavo.sdb", true), OpenResult::Opened);
    ASSERT_TRUE(Execute(db_, test::StarterSchema()));
    ASSERT_TRUE(Execute(db_, boards_.SchemeInsert(3, 1, "A", 1, 0, true) + boards_.SchemeInsert(5, 1, "B", 2, 0, true)));
    RefreshSchemeCache(db_, cache_);
    context_.pauseAfterStore = [] {};
    context_.timestamp = [] { return std::string(kStamp); };
    context_.notifyNewContent = [this](StatusLog& log) {
      ++notified_;
      log.AppendStatusLine(QW_GBK("\r\n发现有新内容，已发出提醒通知！----") + kStamp);
      flag_ = false;
    };
  }

  int Stored() { return std::stoi(Query(db_, "select count(*) from info").Cell(0, 0)); }

  test::TempDir dir_;
  Connection db_;
  DatabaseBusy busy_;
  SchemeCache cache_;
  SchemeLocks locks_;
  std::atomic<bool> flag_{false};
  std::stop_source stop_;
  MemoryStatusLog memory_;
  StoppableLog log_{memory_, stop_};
  std::atomic<int> notified_{0};
  test::BoardServer boards_;
  MonitorContext context_{cache_, db_, busy_, log_, flag_, locks_};
};

TEST_F(MonitorWorkerTest, ACycleLogsItsStepsNotifiesWaitsAndStartsAfresh) {
  boards_.SetArticles(1, {{2, "A2"}, {1, "A1"}});
  std::thread worker([&] { RunMonitorWorker(kPassMonitoring, {3, 5}, 200, context_, stop_.get_token()); });
  // The first cycle ends with its lines and the notification, then the wait begins.
  for (int i = 0; i < 400 && memory_.Text().find(QW_GBK("发现有新内容")) == std::string::npos; ++i) {
    std::this_thread::sleep_for(milliseconds(5));
  }
  const std::string cycle = memory_.Text();
  const std::string ok = QW_GBK("SQL成功！");
  const std::string insert = "\r\ninsert into info(planname,planid,title,url,other,addtime,issoucang) values('A',3,'";
  const std::string expected =
      QW_GBK("源码中末发现最后文章标记！") + insert + "A1','http://bbs.example/thread-1.html','1','" + kStamp +
      "',0)" + ok + insert + "A2','http://bbs.example/thread-2.html','2','" + kStamp + "',0)" + ok +
      "\r\nupdate rule set arttile='A2',arturl='http://bbs.example/thread-2.html',lasttime='" + kStamp +
      "',lastid=0 where id=3" + ok + QW_GBK("\r\n任务3已结束----") + kStamp + QW_GBK("源码中末发现最后文章标记！") +
      QW_GBK("出错！截取源码为空，请检查方案的采集区域！") + QW_GBK("\r\n任务5已结束----") + kStamp +
      QW_GBK("\r\n本轮执行完毕！----") + kStamp + QW_GBK("\r\n发现有新内容，已发出提醒通知！----") + kStamp;
  EXPECT_EQ(cycle, expected);
  EXPECT_EQ(notified_, 1);

  // After the wait the log is emptied and the next cycle, with nothing new, writes its lines afresh.
  for (int i = 0; i < 400 && boards_.Requests(2) < 2; ++i) std::this_thread::sleep_for(milliseconds(5));
  for (int i = 0; i < 400 && memory_.Text().find(QW_GBK("本轮执行完毕")) == std::string::npos; ++i) {
    std::this_thread::sleep_for(milliseconds(5));
  }
  EXPECT_EQ(memory_.Text().find(QW_GBK("任务3已结束")), 0u + 2);  // "\r\n" first
  EXPECT_EQ(notified_, 1);
  EXPECT_EQ(Stored(), 2);

  // A stop during the wait ends the worker at once, with no line after it.
  const auto asked = std::chrono::steady_clock::now();
  log_.Stop();
  worker.join();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, milliseconds(150));
  const std::string last = memory_.Text();
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_EQ(memory_.Text(), last);
}

TEST_F(MonitorWorkerTest, AStopDuringAPassEndsItWithNoFurtherLineOrStatement) {
  boards_.SetArticles(1, {{3, "A3"}, {2, "A2"}, {1, "A1"}});
  context_.pauseAfterStore = [this] { log_.Stop(); };
  RunMonitorWorker(kPassMonitoring, {3, 5}, 10000, context_, stop_.get_token());
  EXPECT_EQ(Stored(), 1);
  EXPECT_EQ(boards_.Requests(2), 0);
  EXPECT_EQ(memory_.Text().find(QW_GBK("已结束")), std::string::npos);
  // The next run offers the rest and stores each article once.
  std::stop_source again;
  StoppableLog log{memory_, again};
  MonitorContext next{cache_, db_, busy_, log, flag_, locks_};
  next.pauseAfterStore = [] {};
  RunMonitorWorker(kPassAll, {3}, 0, next, again.get_token());
  EXPECT_EQ(Stored(), 3);
}

TEST_F(MonitorWorkerTest, AOneOffPassWritesNoCycleLineAndGivesNoAlert) {
  boards_.SetArticles(1, {{1, "A1"}});
  RunMonitorWorker(kPassAll, {3, 5}, 10000, context_, stop_.get_token());
  EXPECT_EQ(Stored(), 1);
  EXPECT_TRUE(flag_);
  EXPECT_EQ(notified_, 0);
  EXPECT_EQ(memory_.Text().find(QW_GBK("本轮执行完毕")), std::string::npos);
}

TEST_F(MonitorWorkerTest, OverlappingPassesOverOneSchemeStoreEachArticleOnce) {
  boards_.SetArticles(1, {{4, "A4"}, {3, "A3"}, {2, "A2"}, {1, "A1"}});
  // Each stored article pauses its pass, so the two passes would overlap on scheme 3 without the locks.
  context_.pauseAfterStore = [] { std::this_thread::sleep_for(milliseconds(30)); };
  std::thread first([&] { RunMonitorWorker(kPassAll, {3}, 0, context_, stop_.get_token()); });
  std::this_thread::sleep_for(milliseconds(20));
  std::stop_source other;
  StoppableLog log{memory_, other};
  MonitorContext second{cache_, db_, busy_, log, flag_, locks_};
  second.pauseAfterStore = context_.pauseAfterStore;
  RunMonitorWorker(kPassAll, {3, 3}, 0, second, other.get_token());
  first.join();
  EXPECT_EQ(Stored(), 4);
  EXPECT_EQ(Query(db_, "select count(distinct title) from info").Cell(0, 0), "4");
}

TEST_F(MonitorWorkerTest, AStopWhileWaitingForABusySchemeEndsTheWorker) {
  std::optional<SchemeLocks::Hold> held;
  ASSERT_TRUE(locks_.Acquire(3, {}, held));
  std::thread stopper([&] {
    std::this_thread::sleep_for(milliseconds(50));
    log_.Stop();
  });
  RunMonitorWorker(kPassAll, {3}, 0, context_, stop_.get_token());
  stopper.join();
  EXPECT_EQ(boards_.Requests(1), 0);
  EXPECT_TRUE(memory_.Text().empty());
}

}  // namespace
}  // namespace qw
