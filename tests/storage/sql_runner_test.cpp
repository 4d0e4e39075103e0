#include "storage/sql_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "log/status_log.h"
#include "storage/database_fixture.h"
#include "storage/sql_literal.h"
#include "text/encoding.h"

namespace qw::test {
namespace {

std::string Failure(const std::string& error) {
  return QW_GBK("SQL出错：") + error + QW_GBK("，请重启软件！");
}

class SqlRunnerTest : public DatabaseTest {
 protected:
  DatabaseBusy busy_;
  MemoryStatusLog log_;
  SqlRunner runner_{main_, busy_, log_};
};

TEST_F(SqlRunnerTest, LogsTheStatementFollowedDirectlyByItsResult) {
  const std::string favourite = "update info set issoucang=1 where id=7";
  const SqlResult done = runner_.Run(favourite);
  EXPECT_TRUE(done.ok);
  EXPECT_EQ(done.text, QW_GBK("SQL成功！"));
  EXPECT_EQ(log_.Text(), "\r\n" + favourite + QW_GBK("SQL成功！"));
  EXPECT_FALSE(busy_.IsBusy());
}

TEST_F(SqlRunnerTest, RunsEveryStatementAndDiscardsRows) {
  EXPECT_TRUE(runner_.Run("insert into info(title) values('a');insert into info(title) values('b')").ok);
  EXPECT_TRUE(runner_.Run("select * from info").ok);
  EXPECT_EQ(Query(main_, "select * from info").RowCount(), 2);
}

TEST_F(SqlRunnerTest, FailuresCarryTheErrorText) {
  // A fresh connection has no error yet: the empty text fails with an empty message.
  SqlResult empty = runner_.Run("");
  EXPECT_FALSE(empty.ok);
  EXPECT_EQ(empty.text, Failure(""));
  EXPECT_EQ(log_.Text(), "\r\n" + Failure(""));

  log_.SetStatusText("");
  EXPECT_EQ(runner_.Run("delete from nowhere").text, Failure("no such table: nowhere"));
  EXPECT_EQ(log_.Text(), "\r\ndelete from nowhere" + Failure("no such table: nowhere"));
  EXPECT_FALSE(busy_.IsBusy());
}

TEST_F(SqlRunnerTest, StatementsRunTogetherAreKeptWholeOrNotAtAll) {
  const std::string two = "insert into info(title) values('a');insert into rule(name) values('b')";
  EXPECT_TRUE(runner_.RunTogether(two).ok);
  EXPECT_EQ(log_.Text(), "\r\n" + two + QW_GBK("SQL成功！"));
  // The second statement fails: the first is undone, and the connection is left in no transaction.
  log_.SetStatusText("");
  const std::string broken = "insert into info(title) values('c');insert into nowhere values(1)";
  EXPECT_EQ(runner_.RunTogether(broken).text, Failure("no such table: nowhere"));
  EXPECT_EQ(log_.Text(), "\r\n" + broken + Failure("no such table: nowhere"));
  EXPECT_EQ(Query(main_, "select group_concat(title) from info").Cell(0, 0), "a");
  EXPECT_TRUE(Execute(main_, "begin;commit"));
  // Inside a transaction left open with the SQL box they nest, and a failure undoes only their own part.
  ASSERT_TRUE(runner_.Run("begin;insert into info(title) values('d')").ok);
  EXPECT_FALSE(runner_.RunTogether(broken).ok);
  ASSERT_TRUE(runner_.Run("commit").ok);
  EXPECT_EQ(Query(main_, "select group_concat(title) from info").Cell(0, 0), "a,d");
}

// Holds the busy flag on a thread of its own, as a statement of another worker does, until released.
class OtherHolder {
 public:
  explicit OtherHolder(DatabaseBusy& busy) : busy_(busy) {
    thread_ = std::thread([this] {
      held_ = busy_.TryAcquire();
      while (!release_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (held_) busy_.Release();
    });
    while (!held_ && !busy_.IsBusy()) std::this_thread::yield();
  }
  ~OtherHolder() { Release(); }
  void Release() {
    release_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  DatabaseBusy& busy_;
  std::atomic<bool> held_{false};
  std::atomic<bool> release_{false};
  std::thread thread_;
};

TEST_F(SqlRunnerTest, AStatementStillWaitingForTheFlagIsDroppedByAStop) {
  std::stop_source stop;
  SqlRunner worker{main_, busy_, log_, stop.get_token()};
  OtherHolder holder(busy_);
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    stop.request_stop();
  });
  const SqlResult dropped = worker.Run("insert into info(title) values('late')");
  stopper.join();
  holder.Release();
  EXPECT_FALSE(dropped.ok);
  EXPECT_EQ(Query(main_, "select count(*) from info").Cell(0, 0), "0");
  EXPECT_TRUE(log_.Text().empty());
  EXPECT_TRUE(worker.Select("select 1").rows.empty());
}

TEST(SqlRunnerWithoutTablesTest, DatabaseWithoutTheTablesAndUnopenedConnectionFail) {
  TempDir dir;
  CreateDatabaseFile(dir / "mavo.sdb", /*withTables=*/false);
  Connection main;
  ASSERT_EQ(OpenDatabase(main, dir / "mavo.sdb"), OpenResult::Opened);
  DatabaseBusy busy;
  MemoryStatusLog log;
  SqlRunner runner(main, busy, log);
  const std::string insert = "insert into info(title) values('x')";
  EXPECT_EQ(runner.Run(insert).text, Failure("no such table: info"));

  main.Close();
  EXPECT_EQ(runner.Run(insert).text, Failure(QW_GBK("数据库未打开")));
  EXPECT_EQ(log.Text(), "\r\n" + insert + Failure("no such table: info") + "\r\n" + insert +
                            Failure(QW_GBK("数据库未打开")));
}

TEST_F(SqlRunnerTest, WaitsWhileTheFlagIsHeld) {
  // The holder's own statement comes well after the runner began to wait, and before it lets go: a runner
  // that did not wait would store its row first.
  std::atomic<bool> held{false};
  std::thread holder([&] {
    ASSERT_TRUE(busy_.TryAcquire());
    held = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    Execute(main_, "insert into info(title) values('holder')");
    busy_.Release();
  });
  while (!held) std::this_thread::yield();
  runner_.Run("insert into info(title) values('late')");
  holder.join();
  const ResultTable rows = Query(main_, "select title from info order by id");
  ASSERT_EQ(rows.RowCount(), 2);
  EXPECT_EQ(rows.Cell(0, 0), "holder");
  EXPECT_EQ(log_.Text(), "\r\ninsert into info(title) values('late')" + QW_GBK("SQL成功！"));
}

TEST_F(SqlRunnerTest, CallsFromTwoThreadsRunOneAfterTheOther) {
  constexpr int kPerThread = 20;
  auto run = [&](const std::string& who) {
    for (int i = 0; i < kPerThread; ++i) {
      // A failing statement's error is read while the flag is still held, so it is always its own error.
      EXPECT_EQ(runner_.Run("select * from missing_" + who).text, Failure("no such table: missing_" + who));
      EXPECT_TRUE(runner_.Run("insert into info(title) values('" + who + "')").ok);
    }
  };
  std::thread worker(run, "worker");
  run("ui");
  worker.join();
  EXPECT_EQ(Query(main_, "select count(*) from info").Cell(0, 0), std::to_string(2 * kPerThread));
  // Every line arrived whole: each statement is directly followed by its result.
  const std::string text = log_.Text();
  std::size_t lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
    const std::string_view line = std::string_view(text).substr(at + 2, text.find("\r\n", at + 2) - at - 2);
    EXPECT_TRUE(line.starts_with("select") || line.starts_with("insert")) << line;
    ++lines;
  }
  EXPECT_EQ(lines, 4u * kPerThread);
}

TEST(DatabaseBusyTest, AcquireWaitsForAnotherThreadsHoldButRefusesItsOwn) {
  DatabaseBusy busy;
  ASSERT_TRUE(busy.TryAcquire());
  EXPECT_FALSE(busy.TryAcquire());
  // A handler running inside a wait of the holder's own statement asks again: refused at once, and its
  // guard gives back nothing it does not hold.
  {
    BusyGuard again(busy, 10);
    EXPECT_FALSE(again.held());
  }
  EXPECT_TRUE(busy.IsBusy());

  // Another thread waits until the holder lets go: what the holder did before letting go comes first.
  std::atomic<int> steps{0};
  std::atomic<int> stepsSeenByWaiter{-1};
  std::thread waiter([&] {
    BusyGuard guard(busy, 10);
    stepsSeenByWaiter = steps.load();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  steps = 1;
  busy.Release();
  waiter.join();
  EXPECT_EQ(stepsSeenByWaiter, 1);
  EXPECT_FALSE(busy.IsBusy());
}

TEST_F(SqlRunnerTest, QuotedValuesAreStoredExactly) {
  const std::string values[] = {
      "it's",
      "''",
      "a\\b\\'",
      "x'); drop table info; --",
      QW_GBK("中文'标题'"),
      "\x81\x27) ; delete from info; --",  // A quote byte right after a GBK lead byte.
      std::string("\xD6\x27\xD0"),
  };
  for (const std::string& value : values) {
    ASSERT_TRUE(runner_.Run("insert into info(title,other) values('" + SqlQuoted(value) + "','z')").ok)
        << value;
  }
  const ResultTable table = Query(main_, "select title,other from info order by id");
  ASSERT_EQ(table.RowCount(), static_cast<int>(std::size(values)));
  for (int i = 0; i < table.RowCount(); ++i) {
    EXPECT_EQ(table.Cell(i, 0), values[i]);
    EXPECT_EQ(table.Cell(i, 1), "z");
  }
  EXPECT_EQ(SqlQuoted("a'b''"), "a''b''''");
}

}  // namespace
}  // namespace qw::test
