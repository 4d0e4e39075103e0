#include "storage/database_backup.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include "log/status_log.h"
#include "storage/database_fixture.h"
#include "storage/sql_runner.h"
#include "support/waits.h"
#include "text/encoding.h"

namespace qw::test {
namespace {

// Articles 1..count, about 200 bytes each.
std::string FillArticles(int count) {
  return "with recursive n(i) as (select 1 union all select i + 1 from n where i < " + std::to_string(count) +
         ") insert into info(id, planname, planid, title, url, other, addtime, issoucang) select i, 'site', "
         "i % 20, 'title of article number ' || i || printf('%.120c', '*'), 'http://bbs.example/thread-' || "
         "i, "
         "'', '2026-1-1 9:5 7', 0 from n;";
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Every entry of the folder, to see that nothing was left behind.
std::vector<std::string> Entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class DatabaseBackupTest : public DatabaseTest {
 protected:
  // The copy opened on its own connection.
  std::unique_ptr<Connection> OpenCopy() {
    auto copy = std::make_unique<Connection>();
    EXPECT_EQ(OpenDatabase(*copy, copyPath_), OpenResult::Opened);
    return copy;
  }

  TempDir copies_;
  std::filesystem::path copyPath_ = copies_ / "mavo-20260101-090507.sdb";
};

TEST_F(DatabaseBackupTest, ACopyTakenWhileARoundStoresHoldsEveryEarlierArticleAndPassesTheCheck) {
  ASSERT_TRUE(Execute(main_, FillArticles(20000)));
  ASSERT_TRUE(Execute(main_, "insert into rule(id, name) values(1, '" + QW_GBK("论坛") + "')"));
  DatabaseBusy busy;
  MemoryStatusLog log;
  SqlRunner runner(main_, busy, log);

  // A round storing articles through the main connection for as long as the copy runs.
  std::atomic<bool> copying{true};
  std::atomic<int> storedDuringCopy{0};
  std::thread round([&] {
    for (int n = 0; copying.load(); ++n) {
      if (runner
              .Run("insert into info(planname,planid,title,url,other,addtime,issoucang) "
                   "values('site',1,'new " +
                   std::to_string(n) + "','u','','t',0)")
              .ok) {
        ++storedDuringCopy;
      }
    }
  });
  EXPECT_TRUE(Eventually([&] { return storedDuringCopy.load() >= 10; }));
  const std::string storedBefore = Query(main_, "select max(id) from info").Cell(0, 0);

  // A few pages per step, so the copy takes many steps between the round's statements.
  BackupOptions options;
  options.pagesPerStep = 4;
  int steps = 0;
  options.progress = [&](const BackupProgress&) { ++steps; };
  const BackupResult result = BackupDatabase(main_, copyPath_, {}, options);
  copying = false;
  round.join();

  ASSERT_TRUE(result.ok) << GbkToUtf8(result.error);
  EXPECT_GT(steps, 100);
  EXPECT_GT(storedDuringCopy.load(), 10);
  EXPECT_EQ(result.restarts, 0);  // the round writes through the copied connection, which never restarts it
  EXPECT_EQ(result.bytes, std::filesystem::file_size(copyPath_));
  std::unique_ptr<Connection> copy = OpenCopy();
  EXPECT_EQ(Query(*copy, "PRAGMA integrity_check").Cell(0, 0), "ok");
  EXPECT_EQ(Query(*copy, "select count(*) from info where id <= " + storedBefore).Cell(0, 0), storedBefore);
  EXPECT_EQ(Query(*copy, "select name from rule").Cell(0, 0), QW_GBK("论坛"));
  EXPECT_EQ(Entries(copies_.path()), std::vector<std::string>{copyPath_.filename()});
}

TEST_F(DatabaseBackupTest, AWriteThroughAnotherConnectionStartsTheCopyOverAndReachesIt) {
  ASSERT_TRUE(Execute(main_, FillArticles(2000)));
  Connection options;
  ASSERT_EQ(OpenDatabase(options, path_), OpenResult::Opened);
  BackupOptions backup;
  backup.pagesPerStep = 8;
  bool written = false;
  backup.progress = [&](const BackupProgress& progress) {
    if (!written && progress.copiedPages > 16) {
      written = Execute(options, "insert into rule(id, name) values(9, 'saved meanwhile')");
    }
  };
  const BackupResult result = BackupDatabase(main_, copyPath_, {}, backup);
  ASSERT_TRUE(result.ok) << GbkToUtf8(result.error);
  EXPECT_TRUE(written);
  EXPECT_EQ(result.restarts, 1);
  EXPECT_EQ(Query(*OpenCopy(), "select name from rule where id=9").Cell(0, 0), "saved meanwhile");
}

TEST_F(DatabaseBackupTest, ACopyReplacesAnOlderFileOfTheSameNameOnlyWhenWhole) {
  ASSERT_TRUE(Execute(main_, FillArticles(500)));
  { std::ofstream(copyPath_) << "an older backup"; }

  std::stop_source stop;
  BackupOptions options;
  options.pagesPerStep = 1;
  options.progress = [&](const BackupProgress& progress) {
    if (progress.copiedPages == 3) stop.request_stop();
  };
  BackupResult result = BackupDatabase(main_, copyPath_, stop.get_token(), options);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(GbkToUtf8(result.error), "备份已取消");
  EXPECT_EQ(ReadAll(copyPath_), "an older backup");
  EXPECT_EQ(Entries(copies_.path()), std::vector<std::string>{copyPath_.filename()});

  result = BackupDatabase(main_, copyPath_);
  ASSERT_TRUE(result.ok) << GbkToUtf8(result.error);
  EXPECT_EQ(Query(*OpenCopy(), "select count(*) from info").Cell(0, 0), "500");
}

TEST_F(DatabaseBackupTest, APlaceNothingCanBeWrittenToIsRefusedAndLeavesNothing) {
  // /proc takes no new file from any user, root included.
  const BackupResult result = BackupDatabase(main_, "/proc/mavo-backup.sdb");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(GbkToUtf8(result.error).rfind("无法在目标文件夹中创建文件（/proc/mavo-backup.sdb）：", 0), 0u)
      << GbkToUtf8(result.error);
  EXPECT_FALSE(std::filesystem::exists("/proc/mavo-backup.sdb"));
}

TEST_F(DatabaseBackupTest, AFullDiskEndsTheCopyWithoutAHalfFile) {
  ASSERT_TRUE(Execute(main_, FillArticles(5000)));
  // A file size limit refuses writes past 64 KiB the way a full disk does, for root too.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const BackupResult result = BackupDatabase(main_, copyPath_);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);

  EXPECT_FALSE(result.ok);
  // SQLite names a refused write a full disk or a write error, depending on where the limit falls.
  EXPECT_EQ(GbkToUtf8(result.error).rfind("复制数据库失败：磁盘", 0), 0u) << GbkToUtf8(result.error);
  EXPECT_TRUE(Entries(copies_.path()).empty());
  EXPECT_EQ(Query(main_, "select count(*) from info").Cell(0, 0), "5000");
}

TEST_F(DatabaseBackupTest, TheDatabaseItselfOrAClosedConnectionIsRefused) {
  const std::string before = ReadAll(path_);
  BackupResult result = BackupDatabase(main_, path_);
  EXPECT_EQ(GbkToUtf8(result.error), "备份文件不能是数据库文件本身，请另选文件名");
  EXPECT_EQ(ReadAll(path_), before);
  EXPECT_EQ(Entries(dir_.path()), std::vector<std::string>{"mavo.sdb"});

  Connection closed;
  result = BackupDatabase(closed, copyPath_);
  EXPECT_EQ(GbkToUtf8(result.error), "数据库未打开");
  EXPECT_TRUE(Entries(copies_.path()).empty());
}

}  // namespace
}  // namespace qw::test
