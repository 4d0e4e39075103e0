#include "storage/database_backup.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <memory>
#include <thread>

#include "storage/database.h"
#include "storage/replacing_file.h"
#include "text/encoding.h"

namespace qw {
namespace {

using Clock = std::chrono::steady_clock;

// How long the copy waits out a lock another connection holds on the file before it gives up.
constexpr std::chrono::milliseconds kBusyLimit{kBusyTimeoutMs};
constexpr std::chrono::milliseconds kBusyPause{2};

// What a failed SQLite call means to the person who asked for the copy, with SQLite's own words after it.
std::string Reason(int code) {
  std::string reason;
  switch (code & 0xFF) {
    case SQLITE_FULL:
      reason = "磁盘空间不足";
      break;
    case SQLITE_IOERR:
      reason = "磁盘读写出错";
      break;
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
      reason = "无法写入该位置";
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      reason = "数据库一直被占用";
      break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      reason = "数据库文件已损坏";
      break;
    default:
      reason = "出错";
  }
  return reason + "（" + sqlite3_errstr(code) + "）";
}

BackupResult Failed(std::string_view utf8) {
  BackupResult result;
  result.error = Utf8ToGbk(utf8);
  return result;
}

struct CloseCopy {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

// Checks the whole copy; "ok", or the first problem SQLite reports. A stop interrupts it.
std::string IntegrityOf(sqlite3* copy, std::stop_token& stop) {
  sqlite3_progress_handler(
      copy, 10000, [](void* token) { return static_cast<std::stop_token*>(token)->stop_requested() ? 1 : 0; },
      &stop);
  sqlite3_stmt* check = nullptr;
  std::string first;
  if (sqlite3_prepare_v2(copy, "PRAGMA integrity_check", -1, &check, nullptr) != SQLITE_OK) {
    return sqlite3_errmsg(copy);
  }
  int rc;
  while ((rc = sqlite3_step(check)) == SQLITE_ROW) {
    if (first.empty()) first = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
  }
  if (rc != SQLITE_DONE) first = sqlite3_errmsg(copy);
  sqlite3_finalize(check);
  sqlite3_progress_handler(copy, 0, nullptr, nullptr);
  return first;
}

}  // namespace

BackupResult BackupDatabase(Connection& source, const std::filesystem::path& target, std::stop_token stop,
                            const BackupOptions& options) {
  sqlite3* sourceDb = nullptr;
  std::string sourcePath;
  RunStep(source, [&](sqlite3* db) {
    sourceDb = db;
    const char* name = sqlite3_db_filename(db, "main");
    if (name != nullptr) sourcePath = name;
  });
  if (sourceDb == nullptr) return Failed("数据库未打开");

  std::error_code ec;
  if (!sourcePath.empty() && std::filesystem::equivalent(sourcePath, target, ec)) {
    return Failed("备份文件不能是数据库文件本身，请另选文件名");
  }
  // The copy is as private as the database.
  mode_t mode = 0666;
  struct stat info {};
  if (!sourcePath.empty() && ::stat(sourcePath.c_str(), &info) == 0) mode = info.st_mode & 0777;

  ReplacingFile file(target, mode);
  if (!file.Ok()) {
    BackupResult result;
    result.error = file.Error();
    return result;
  }
  std::unique_ptr<sqlite3, CloseCopy> copy;
  {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.TemporaryPath().c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    copy.reset(db);
    if (rc != SQLITE_OK) return Failed("无法创建备份文件：" + Reason(rc));
  }
  // The copy becomes the target only when whole, so it needs no journal of its own; it is synced once at
  // the end.
  sqlite3_exec(copy.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);

  sqlite3_backup* backup = nullptr;
  bool sameDatabase = true;
  RunStep(source, [&](sqlite3* db) {
    sameDatabase = db == sourceDb;
    if (sameDatabase) backup = sqlite3_backup_init(copy.get(), "main", db, "main");
  });
  if (backup == nullptr) {
    return Failed(sameDatabase ? "无法开始备份：" + Reason(sqlite3_errcode(copy.get())) : "数据库已关闭");
  }

  BackupResult result;
  int rc = SQLITE_OK;
  bool stopped = false;
  Clock::time_point busySince{};
  bool busy = false;
  int lastCopied = 0;
  while (true) {
    if (stop.stop_requested()) {
      stopped = true;
      break;
    }
    BackupProgress progress;
    Clock::duration held{};
    const bool ran = RunStep(source, [&](sqlite3* db) {
      sameDatabase = db == sourceDb;
      if (!sameDatabase) return;
      const Clock::time_point start = Clock::now();
      rc = sqlite3_backup_step(backup, options.pagesPerStep);
      held = Clock::now() - start;
      progress.totalPages = sqlite3_backup_pagecount(backup);
      progress.copiedPages = progress.totalPages - sqlite3_backup_remaining(backup);
    });
    if (!ran || !sameDatabase) {
      sameDatabase = false;
      break;
    }
    if (options.stepHeld) options.stepHeld(held);
    // Another connection wrote to the file: SQLite starts over from the first page.
    if (progress.copiedPages < lastCopied) ++result.restarts;
    lastCopied = progress.copiedPages;
    if (options.progress) options.progress(progress);
    if (rc == SQLITE_DONE) break;
    if (rc == SQLITE_OK) {
      busy = false;
      continue;
    }
    if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
    // The file is locked by another connection for a moment (the options window saving a scheme).
    const Clock::time_point now = Clock::now();
    if (!busy) busySince = now;
    busy = true;
    if (now - busySince > kBusyLimit) break;
    std::this_thread::sleep_for(kBusyPause);
  }
  // Finishing touches the source's side too, so it runs under the connection; a connection closed meanwhile
  // keeps its handle until the backup is finished.
  if (!RunStep(source, [&](sqlite3*) { sqlite3_backup_finish(backup); })) sqlite3_backup_finish(backup);

  if (stopped) return Failed("备份已取消");
  if (!sameDatabase) return Failed("数据库已关闭，备份未完成");
  if (rc != SQLITE_DONE) return Failed("复制数据库失败：" + Reason(rc));

  const std::string integrity = IntegrityOf(copy.get(), stop);
  if (stop.stop_requested()) return Failed("备份已取消");
  if (integrity != "ok") return Failed("备份文件未通过完整性检查：" + integrity);
  sqlite3* done = copy.release();
  if (sqlite3_close(done) != SQLITE_OK) {
    sqlite3_close_v2(done);
    return Failed("无法关闭备份文件");
  }
  if (!file.Commit()) {
    result.error = file.Error();
    return result;
  }
  result.bytes = std::filesystem::file_size(target, ec);
  result.ok = true;
  return result;
}

}  // namespace qw
