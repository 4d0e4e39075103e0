#include "storage/database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <fstream>
#include <random>
#include <thread>

#include "storage/database_fixture.h"
#include "support/unprivileged.h"
#include "support/waits.h"
#include "text/encoding.h"
#include "text/waiting.h"

namespace qw::test {
namespace {

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(OpenDatabaseTest, MissingOrUnreadableFileIsMissingAndNothingIsCreated) {
  TempDir dir;
  Connection connection;
  EXPECT_EQ(OpenDatabase(connection, dir / "mavo.sdb"), OpenResult::Missing);
  EXPECT_FALSE(std::filesystem::exists(dir / "mavo.sdb"));
  EXPECT_FALSE(connection.IsOpen());

  std::filesystem::create_directory(dir / "folder.sdb");
  EXPECT_EQ(OpenDatabase(connection, dir / "folder.sdb"), OpenResult::Missing);

  // Permissions do not stop root from reading, so the unreadable file is opened by a user they bind.
  RunUnprivileged([](const std::filesystem::path& own) {
    CreateDatabaseFile(own / "locked.sdb");
    ASSERT_EQ(chmod((own / "locked.sdb").c_str(), 0), 0);
    Connection locked;
    EXPECT_EQ(OpenDatabase(locked, own / "locked.sdb"), OpenResult::Missing);
    EXPECT_FALSE(locked.IsOpen());
  });
}

TEST(OpenDatabaseTest, FileThatIsNotADatabaseFailsAndLeavesTheConnectionClosed) {
  TempDir dir;
  std::mt19937 random(7);
  std::string noise(4096, '\0');
  for (char& byte : noise) byte = static_cast<char>(random());
  WriteBytes(dir / "mavo.sdb", noise);

  Connection connection;
  CreateDatabaseFile(dir / "good.sdb");
  ASSERT_EQ(OpenDatabase(connection, dir / "good.sdb"), OpenResult::Opened);
  // Opening closes the good database first, whatever the outcome.
  EXPECT_EQ(OpenDatabase(connection, dir / "mavo.sdb"), OpenResult::Failed);
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_EQ(LastError(connection), "file is not a database");
  EXPECT_FALSE(Execute(connection, "select 1"));
  EXPECT_EQ(LastError(connection), QW_GBK("数据库未打开"));
  EXPECT_EQ(Query(connection, "select 1").ColumnCount(), 0);
}

TEST(OpenDatabaseTest, EmptyFileOpensButItsMissingTablesGiveClearFailures) {
  TempDir dir;
  WriteBytes(dir / "mavo.sdb", "");
  Connection connection;
  ASSERT_EQ(OpenDatabase(connection, dir / "mavo.sdb"), OpenResult::Opened);
  const ResultTable table = Query(connection, "select * from rule");
  EXPECT_EQ(table.ColumnCount(), 0);
  EXPECT_EQ(table.RowCount(), 0);
  EXPECT_EQ(LastError(connection), "no such table: rule");
  EXPECT_FALSE(Execute(connection, "update rule set isdo=1 where id=1"));
}

TEST_F(DatabaseTest, ExecuteRunsEveryStatementAndReportsTheFirstFailure) {
  EXPECT_TRUE(Execute(main_, "insert into info(title) values('a'); insert into info(title) values('b')"));
  EXPECT_EQ(LastError(main_), "");  // "not an error" reads as empty.
  EXPECT_EQ(Query(main_, "select title from info").RowCount(), 2);

  EXPECT_FALSE(Execute(main_, "insert into info(title) values('c'); insert into nowhere values(1)"));
  EXPECT_EQ(LastError(main_), "no such table: nowhere");
  // An empty text fails and leaves the last error as it was: the database was not asked.
  EXPECT_FALSE(Execute(main_, ""));
  EXPECT_EQ(LastError(main_), "no such table: nowhere");
  EXPECT_EQ(Query(main_, "select title from info").RowCount(), 3);  // Nothing is undone.
}

TEST_F(DatabaseTest, LastErrorStopsAt199BytesWithoutSplittingACharacter) {
  const std::string longName(300, 'x');
  EXPECT_FALSE(Execute(main_, "select * from " + longName));
  EXPECT_EQ(LastError(main_), ("no such table: " + longName).substr(0, 199));

  // "no such table: " is 15 bytes; 92 two-byte characters end at byte 199, so the 93rd cannot fit.
  std::string gbkName = "a";
  for (int i = 0; i < 150; ++i) gbkName += QW_GBK("中");
  EXPECT_FALSE(Execute(main_, "select * from " + gbkName));
  const std::string error = LastError(main_);
  EXPECT_EQ(error.size(), 198u);
  EXPECT_EQ(error, ("no such table: " + gbkName).substr(0, 198));
}

TEST_F(DatabaseTest, QueryReadsColumnNamesAndEveryRowAsText) {
  ASSERT_TRUE(Execute(main_, "insert into rule(class,name,lastid) values(3,'n',42)"));
  const ResultTable rules = Query(main_, "select * from rule");
  const std::vector<std::string> expected = {
      "id",     "class",   "code",   "name",  "url",    "cookie", "ua",     "arttile", "arturl", "lasttime",
      "buquan", "regular", "before", "after", "tindex", "uindex", "oindex", "isdo",    "lastid", "type"};
  EXPECT_EQ(rules.columns, expected);
  ASSERT_EQ(rules.RowCount(), 1);
  EXPECT_EQ(rules.Cell(0, 0), "1");
  EXPECT_EQ(rules.Cell(0, 1), "3");
  EXPECT_EQ(rules.Cell(0, 7), "");  // NULL arttile.
  EXPECT_EQ(rules.Cell(0, 18), "42");
  EXPECT_EQ(rules.Cell(5, 0), "");  // Outside the table.
  EXPECT_EQ(rules.Cell(0, 20), "");

  // A failing query gives an empty result, never a part of one.
  const ResultTable failed = Query(main_, "select * from info; select * from nowhere");
  EXPECT_EQ(failed.ColumnCount(), 0);
  EXPECT_EQ(LastError(main_), "no such table: nowhere");
}

TEST_F(DatabaseTest, DoubleQuotedPlanIdIsTakenAsAString) {
  ASSERT_TRUE(Execute(main_,
                      "insert into info(planname,planid,title) values('a',5,'t1');"
                      "insert into info(planname,planid,title) values('b',6,'t2');"
                      "insert into info(planname,planid,title) values('a',5,'t3')"));
  const ResultTable table = Query(main_, R"(select * from info where planid="5" order by id desc LIMIT 100)");
  ASSERT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.Cell(0, 3), "t3");
  EXPECT_EQ(table.Cell(1, 3), "t1");
}

TEST_F(DatabaseTest, StatementWaitsForTheOtherConnectionsWriteLock) {
  Connection options;
  ASSERT_EQ(OpenDatabase(options, path_), OpenResult::Opened);
  ASSERT_TRUE(Execute(options, "begin immediate; insert into rule(name) values('held')"));
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(Execute(options, "commit"));
  });
  // Without the busy timeout this fails at once with "database is locked".
  const bool ok = Execute(main_, "insert into info(title) values('waited')");
  releaser.join();
  EXPECT_TRUE(ok) << LastError(main_);
  EXPECT_EQ(Query(main_, "select * from rule").RowCount(), 1);
}

// A connection of its own on the fixture's file whose write lock stays held, and the statement of another
// connection that waits for it, run where a hung wait cannot hold the test.
struct LockedFile {
  explicit LockedFile(const std::filesystem::path& path) {
    EXPECT_EQ(OpenDatabase(*holder, path), OpenResult::Opened);
    EXPECT_TRUE(Execute(*holder, "begin immediate"));
    EXPECT_EQ(OpenDatabase(*waiter, path), OpenResult::Opened);
  }
  std::shared_ptr<Connection> holder = std::make_shared<Connection>();
  std::shared_ptr<Connection> waiter = std::make_shared<Connection>();
};

TEST_F(DatabaseTest, AStatementWaitingForTheOtherConnectionsLockGivesUpAtTheBusyTimeOut) {
  LockedFile file(path_);
  const auto start = std::chrono::steady_clock::now();
  const std::optional<bool> ok =
      FinishesWithin(std::chrono::milliseconds(kBusyTimeoutMs + 5000), [waiter = file.waiter] {
        return Execute(*waiter, "insert into info(title) values('late')");
      });
  ASSERT_TRUE(ok.has_value()) << "the statement never gave up";
  EXPECT_FALSE(*ok);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kBusyTimeoutMs));
  EXPECT_EQ(LastError(*file.waiter), "database is locked");
}

TEST_F(DatabaseTest, AStoppedWorkersStatementNoLongerWaitsForTheOtherConnectionsLock) {
  LockedFile file(path_);
  std::stop_source stop;
  std::thread stopper([stop]() mutable {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop.request_stop();
  });
  // Far below the busy time-out: the statement ends at the stop, not at the time-out.
  const std::optional<bool> ok =
      FinishesWithin(std::chrono::milliseconds(kBusyTimeoutMs / 2), [waiter = file.waiter, token = stop.get_token()] {
        SetThreadStopToken(token);
        return Execute(*waiter, "insert into info(title) values('late')");
      });
  stopper.join();
  ASSERT_TRUE(ok.has_value()) << "the stopped worker's statement went on waiting";
  EXPECT_FALSE(*ok);
  EXPECT_TRUE(Execute(*file.holder, "commit"));
  EXPECT_EQ(Query(main_, "select count(*) from info").Cell(0, 0), "0");
}

TEST_F(DatabaseTest, OneConnectionServesSeveralThreads) {
  constexpr int kPerThread = 100;
  auto insert = [&](const char* who) {
    for (int i = 0; i < kPerThread; ++i) {
      EXPECT_TRUE(Execute(main_, std::string("insert into info(title) values('") + who + "')"));
      EXPECT_EQ(Query(main_, "select count(*) from info").RowCount(), 1);
    }
  };
  std::thread worker(insert, "worker");
  insert("ui");
  worker.join();
  EXPECT_EQ(Query(main_, "select count(*) from info").Cell(0, 0), std::to_string(2 * kPerThread));
}

// A window's event processing as the database sees it: counts the rounds that keep the window alive and can
// run a handler inside them, as a queued call would.
class CountingPump : public MessagePump {
 public:
  void ProcessPending() override { ++fullRounds; }
  void ProcessUntil(SteadyTime deadline) override {
    ++fullRounds;
    std::this_thread::sleep_until(deadline);
  }
  void ProcessNonInputUntil(SteadyTime deadline) override {
    ++keepAliveRounds;
    if (handler) handler();
    std::this_thread::sleep_until(std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(1)));
  }

  int fullRounds = 0;
  int keepAliveRounds = 0;
  std::function<void()> handler;
};

class WindowThreadTest : public DatabaseTest {
 protected:
  void SetUp() override {
    DatabaseTest::SetUp();
    InstallMessagePump(&pump_);
  }
  void TearDown() override { InstallMessagePump(nullptr); }

  CountingPump pump_;
};

constexpr const char* kLongQuery =
    "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000000) select count(*) from n";

TEST_F(WindowThreadTest, WaitsOfAStatementKeepTheWindowAliveWithoutTakingInput) {
  // The other connection's file lock.
  Connection options;
  ASSERT_EQ(OpenDatabase(options, path_), OpenResult::Opened);
  std::atomic<bool> locked{false};
  std::thread holder([&] {
    EXPECT_TRUE(Execute(options, "begin immediate; insert into rule(name) values('held')"));
    locked = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(Execute(options, "commit"));
  });
  while (!locked) std::this_thread::yield();
  EXPECT_TRUE(Execute(main_, "insert into info(title) values('waited')")) << LastError(main_);
  holder.join();
  EXPECT_GT(pump_.keepAliveRounds, 10);

  // Another thread's long statement on the same connection. The worker may not have the connection yet when
  // the window's query comes, so the round is tried again a few times.
  bool waitedAlive = false;
  for (int attempt = 0; attempt < 5 && !waitedAlive; ++attempt) {
    const int before = pump_.keepAliveRounds;
    std::atomic<bool> started{false};
    std::thread worker([&] {
      started = true;
      EXPECT_EQ(Query(main_, kLongQuery).Cell(0, 0), "1000000");
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Query(main_, "select count(*) from info").Cell(0, 0), "1");
    worker.join();
    waitedAlive = pump_.keepAliveRounds > before;
  }
  EXPECT_TRUE(waitedAlive);

  // A long query of the window's own lets the window repaint while it runs.
  const int before = pump_.keepAliveRounds;
  EXPECT_EQ(Query(main_, kLongQuery).Cell(0, 0), "1000000");
  EXPECT_GT(pump_.keepAliveRounds, before);
  EXPECT_EQ(pump_.fullRounds, 0);
}

TEST_F(WindowThreadTest, AHandlerInsideAStatementsWaitIsRefusedTheBusyConnection) {
  Connection options;
  ASSERT_EQ(OpenDatabase(options, path_), OpenResult::Opened);
  ASSERT_TRUE(Execute(options, "begin immediate"));
  bool nestedRan = false;
  pump_.handler = [&] {
    if (nestedRan) return;
    nestedRan = true;
    // Runs inside main_'s busy wait on the same thread: refused at once, never a deadlock.
    EXPECT_EQ(Query(main_, "select 1").RowCount(), 0);
    std::string error;
    EXPECT_FALSE(Execute(main_, "insert into info(title) values('nested')", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(main_.IsOpen());
    // The other connection is free to use.
    EXPECT_TRUE(Execute(options, "commit"));
  };
  EXPECT_TRUE(Execute(main_, "insert into info(title) values('outer')")) << LastError(main_);
  EXPECT_TRUE(nestedRan);
  EXPECT_EQ(Query(main_, "select title from info").Cell(0, 0), "outer");
  EXPECT_EQ(Query(main_, "select count(*) from info").Cell(0, 0), "1");
}

}  // namespace
}  // namespace qw::test
