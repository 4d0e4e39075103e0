#pragma once
// One connection to the SQLite database file and the ways statements and queries run on it.
//
// Every text is stored and read back as the GBK bytes the program handles, without conversion. A connection
// may be used from several threads; each Execute or Query holds it for its whole run, and the error message
// it leaves is the one LastError reports.
//
// On a thread with a message pump (the window's), every wait of a statement keeps the window alive without
// taking user input: waiting for another thread's statement on the same connection, waiting for the other
// connection's file lock, and a long query itself. A handler that runs inside such a wait and reaches for a
// connection its own thread already holds is refused (the statement fails, the query gives nothing) instead
// of deadlocking.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct sqlite3;

namespace qw {

// A query's result, read whole into memory. NULL values read as the empty text.
struct ResultTable {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;

  int RowCount() const { return static_cast<int>(rows.size()); }
  int ColumnCount() const { return static_cast<int>(columns.size()); }
  // The cell, or the empty text outside the table.
  const std::string& Cell(int row, int column) const;
};

enum class OpenResult { Opened, Missing, Failed };

class Connection {
 public:
  Connection() = default;
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool IsOpen() const;
  void Close();

 private:
  friend OpenResult OpenDatabase(Connection&, const std::filesystem::path&, bool);
  friend bool Execute(Connection&, std::string_view);
  friend bool Execute(Connection&, std::string_view, std::string&);
  friend std::string LastError(Connection&);
  friend ResultTable Query(Connection&, std::string_view);
  friend bool RunStep(Connection&, const std::function<void(sqlite3*)>&);
  friend class ConnectionHold;

  // Takes the connection for one statement; false when the calling thread already holds it.
  bool Enter() const;
  void Leave() const;
  // SQLite's busy handler and progress handler: wait for the other connection's lock up to the busy
  // time-out, and let a long statement on the window's thread keep the window painting.
  static int OnBusy(void* connection, int attempts);
  static int OnProgress(void* connection);

  mutable std::mutex mutex_;
  mutable std::atomic<std::thread::id> holder_{};
  // Threads waiting to take the connection for a statement; a step of long work lets them go first.
  mutable std::atomic<int> waiting_{0};
  sqlite3* db_ = nullptr;
  std::string lastError_;
  // Written only by the thread holding the connection.
  mutable std::chrono::steady_clock::time_point busySince_{};
  mutable std::chrono::steady_clock::time_point lastPump_{};
};

// How long one connection waits for the other's file lock before a statement fails.
inline constexpr int kBusyTimeoutMs = 5000;

// Closes whatever the connection has open, then opens path. With create off, a file that cannot be opened for
// reading gives Missing and nothing is created; an open failure leaves the connection closed and gives
// Failed.
OpenResult OpenDatabase(Connection& connection, const std::filesystem::path& path, bool create = false);

// True when the opened file holds the program's two tables, rule and info, named in any letter case; a file
// without them is no database of the program's yet, and every statement that uses them would fail.
bool HasProgramTables(Connection& connection);

// True when the database holds the table name (plain ASCII), in any letter case, as SQLite compares table
// names: a table a later version made with another case is still the same table.
bool HasTable(Connection& connection, std::string_view name);

// Runs the whole text as sqlite3_exec does (several statements allowed); true when every statement succeeded.
// An empty text fails without touching the database.
bool Execute(Connection& connection, std::string_view statements);
// As above, and error receives the message the run left (what LastError would report right after it), taken
// inside the same hold of the connection so that no other thread's statement can replace it in between.
bool Execute(Connection& connection, std::string_view statements, std::string& error);

// The last error message, at most 199 bytes; "not an error" reads as the empty text.
std::string LastError(Connection& connection);

// Runs a query and reads every row. A query on an unopened connection gives no columns and no rows.
ResultTable Query(Connection& connection, std::string_view statement);

// One step of work that SQLite does in steps on the connection's handle (the online backup), holding the
// connection as a statement does. Statements already waiting for the connection go first, so a long piece
// of work made of short steps delays each statement by one step at most. False, without running step, when
// the connection is not open or the calling thread already holds it.
bool RunStep(Connection& connection, const std::function<void(sqlite3*)>& step);

}  // namespace qw
