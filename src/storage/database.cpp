#include "storage/database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "storage/sql_literal.h"
#include "text/encoding.h"
#include "text/waiting.h"

namespace qw {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kErrorLimit = 199;

// The message cut to the limit without splitting a two-byte GBK character; "not an error" reads as empty.
std::string ClippedError(const char* message) {
  if (message == nullptr) return {};
  std::string_view text(message);
  if (text == "not an error") return {};
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t step = static_cast<unsigned char>(text[end]) >= 0x80 && end + 1 < text.size() ? 2 : 1;
    if (end + step > kErrorLimit) break;
    end += step;
  }
  return std::string(text.substr(0, end));
}

// True when path names a regular file this process can open for reading.
bool ReadableFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  return regular;
}

const std::string& NotOpenText() { return QW_GBK("数据库未打开"); }
const std::string& InUseText() { return QW_GBK("数据库正在执行上一条语句"); }

// How often a long statement on the window's thread lets the window repaint.
constexpr std::chrono::milliseconds kPumpEvery{20};
// SQLite calls the progress handler after this many virtual-machine steps.
constexpr int kProgressSteps = 1000;

}  // namespace

// Holds a connection for one statement (see Connection::Enter).
class ConnectionHold {
 public:
  explicit ConnectionHold(const Connection& connection)
      : connection_(connection), held_(connection.Enter()) {}
  ~ConnectionHold() {
    if (held_) connection_.Leave();
  }
  ConnectionHold(const ConnectionHold&) = delete;
  ConnectionHold& operator=(const ConnectionHold&) = delete;

  bool held() const { return held_; }

 private:
  const Connection& connection_;
  const bool held_;
};

bool Connection::Enter() const {
  const std::thread::id self = std::this_thread::get_id();
  if (holder_.load(std::memory_order_relaxed) == self) return false;
  if (!mutex_.try_lock()) {
    waiting_.fetch_add(1, std::memory_order_relaxed);
    if (CurrentMessagePump() == nullptr) {
      mutex_.lock();
    } else {
      // Another thread's statement runs; the window keeps painting until it ends.
      while (!mutex_.try_lock()) KeepAliveUntil(Clock::now() + std::chrono::milliseconds(2));
    }
    waiting_.fetch_sub(1, std::memory_order_relaxed);
  }
  holder_.store(self, std::memory_order_relaxed);
  lastPump_ = Clock::now();
  return true;
}

void Connection::Leave() const {
  holder_.store(std::thread::id{}, std::memory_order_relaxed);
  mutex_.unlock();
}

int Connection::OnBusy(void* connection, int attempts) {
  const auto& self = *static_cast<const Connection*>(connection);
  const Clock::time_point now = Clock::now();
  if (attempts == 0) self.busySince_ = now;
  const Clock::time_point giveUp = self.busySince_ + std::chrono::milliseconds(kBusyTimeoutMs);
  // A stopped worker does not wait out the other connection; its statement fails and changes nothing.
  if (now >= giveUp || ThreadStopToken().stop_requested()) return 0;
  // Short steps first, as a lock is usually released within a few milliseconds.
  const std::chrono::milliseconds step(attempts < 10 ? 1 : 10);
  KeepAliveUntil(std::min(now + step, giveUp));
  return 1;
}

int Connection::OnProgress(void* connection) {
  MessagePump* pump = CurrentMessagePump();
  if (pump == nullptr) return 0;
  const auto& self = *static_cast<const Connection*>(connection);
  const Clock::time_point now = Clock::now();
  if (now - self.lastPump_ < kPumpEvery) return 0;
  self.lastPump_ = now;
  pump->ProcessNonInputUntil(now);
  return 0;
}

const std::string& ResultTable::Cell(int row, int column) const {
  static const std::string kEmpty;
  if (row < 0 || row >= RowCount() || column < 0) return kEmpty;
  const auto& cells = rows[static_cast<std::size_t>(row)];
  if (static_cast<std::size_t>(column) >= cells.size()) return kEmpty;
  return cells[static_cast<std::size_t>(column)];
}

Connection::~Connection() { Close(); }

bool Connection::IsOpen() const {
  // Inside its own statement the thread already holds the connection and may read it directly.
  ConnectionHold hold(*this);
  return db_ != nullptr;
}

void Connection::Close() {
  ConnectionHold hold(*this);
  if (!hold.held()) return;  // Never close a connection under a statement that is still running.
  if (db_ != nullptr) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

OpenResult OpenDatabase(Connection& connection, const std::filesystem::path& path, bool create) {
  ConnectionHold hold(connection);
  if (!hold.held()) return OpenResult::Failed;
  if (connection.db_ != nullptr) {
    sqlite3_close_v2(connection.db_);
    connection.db_ = nullptr;
  }
  if (!create && !ReadableFile(path)) {
    connection.lastError_ = NotOpenText();
    return OpenResult::Missing;
  }
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    connection.lastError_ = ClippedError(db != nullptr ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close_v2(db);
    return OpenResult::Failed;
  }
  // The two connections share the file: a statement waits for the other's lock instead of failing at once.
  sqlite3_busy_handler(db, &Connection::OnBusy, &connection);
  sqlite3_progress_handler(db, kProgressSteps, &Connection::OnProgress, &connection);
  // A tray program runs all day: its page cache stays at 1 MiB per connection (SQLite's default is 2 MiB),
  // plenty for appending articles and reading the newest hundred.
  sqlite3_exec(db, "PRAGMA cache_size=-1024", nullptr, nullptr, nullptr);
  // The article-list query writes its planid condition as a double-quoted string literal.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 1, nullptr);
  // SQLite reads the file lazily; reading the schema now tells a file that is not a database from one that
  // is.
  if (sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK) {
    connection.lastError_ = ClippedError(sqlite3_errmsg(db));
    sqlite3_close_v2(db);
    return OpenResult::Failed;
  }
  connection.db_ = db;
  connection.lastError_.clear();
  return OpenResult::Opened;
}

bool HasProgramTables(Connection& connection) {
  // Table names are compared as SQLite itself compares them: without regard to ASCII letter case.
  return Query(connection,
               "select count(distinct lower(name)) from sqlite_master where type='table' and lower(name) in "
               "('rule','info')")
             .Cell(0, 0) == "2";
}

bool HasTable(Connection& connection, std::string_view name) {
  std::string lowered(name);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return Query(connection,
               "select 1 from sqlite_master where type='table' and lower(name)='" + SqlQuoted(lowered) + "'")
             .RowCount() == 1;
}

bool Execute(Connection& connection, std::string_view statements) {
  std::string ignored;
  return Execute(connection, statements, ignored);
}

bool Execute(Connection& connection, std::string_view statements, std::string& error) {
  ConnectionHold hold(connection);
  if (!hold.held()) {
    error = InUseText();
    return false;
  }
  if (statements.empty()) {
    error = connection.lastError_;
    return false;
  }
  if (connection.db_ == nullptr) {
    connection.lastError_ = NotOpenText();
    error = connection.lastError_;
    return false;
  }
  // sqlite3_exec reads a C string; the copy gives the terminator a string_view lacks.
  const std::string text(statements);
  const int rc = sqlite3_exec(connection.db_, text.c_str(), nullptr, nullptr, nullptr);
  connection.lastError_ = rc == SQLITE_OK ? std::string() : ClippedError(sqlite3_errmsg(connection.db_));
  error = connection.lastError_;
  return rc == SQLITE_OK;
}

std::string LastError(Connection& connection) {
  ConnectionHold hold(connection);
  if (!hold.held()) return InUseText();
  return connection.lastError_;
}

ResultTable Query(Connection& connection, std::string_view statement) {
  ConnectionHold hold(connection);
  if (!hold.held()) return {};
  ResultTable table;
  if (connection.db_ == nullptr) {
    connection.lastError_ = NotOpenText();
    return table;
  }
  sqlite3* db = connection.db_;
  // Every statement of the text runs; the result is the first one that yields columns. A failure anywhere
  // gives an empty table, so a caller never sees half a result.
  const std::string text(statement);
  const char* next = text.c_str();
  bool haveResult = false;
  while (next != nullptr && *next != '\0') {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, next, -1, &stmt, &tail) != SQLITE_OK) {
      connection.lastError_ = ClippedError(sqlite3_errmsg(db));
      return {};
    }
    next = tail;
    if (stmt == nullptr) continue;  // Blank text or a lone comment.
    const int columns = sqlite3_column_count(stmt);
    const bool collect = !haveResult && columns > 0;
    if (collect) {
      haveResult = true;
      for (int c = 0; c < columns; ++c) {
        const char* name = sqlite3_column_name(stmt, c);
        table.columns.emplace_back(name != nullptr ? name : "");
      }
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      if (!collect) continue;
      std::vector<std::string> row;
      row.reserve(static_cast<std::size_t>(columns));
      for (int c = 0; c < columns; ++c) {
        const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
        const int bytes = sqlite3_column_bytes(stmt, c);
        row.emplace_back(value != nullptr ? std::string(value, static_cast<std::size_t>(bytes))
                                          : std::string());
      }
      table.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
      connection.lastError_ = ClippedError(sqlite3_errmsg(db));
      sqlite3_finalize(stmt);
      return {};
    }
    sqlite3_finalize(stmt);
  }
  connection.lastError_.clear();
  return table;
}

bool RunStep(Connection& connection, const std::function<void(sqlite3*)>& step) {
  // A waiting statement takes the connection as soon as the holder leaves it; until it has, the step waits.
  while (connection.waiting_.load(std::memory_order_relaxed) > 0) {
    KeepAliveUntil(Clock::now() + std::chrono::microseconds(50));
  }
  ConnectionHold hold(connection);
  if (!hold.held() || connection.db_ == nullptr) return false;
  step(connection.db_);
  return true;
}

}  // namespace qw
