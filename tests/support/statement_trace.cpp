#include "support/statement_trace.h"

#include <sqlite3.h>

#include <mutex>

namespace qw::test {
namespace {

std::mutex traceMutex;
bool tracing = false;
std::vector<std::string> traced;

int OnStatement(unsigned type, void*, void*, void* sql) {
  if (type != SQLITE_TRACE_STMT) return 0;
  std::lock_guard lock(traceMutex);
  if (tracing) traced.emplace_back(static_cast<const char*>(sql));
  return 0;
}

int TraceConnection(sqlite3* db, const char**, const sqlite3_api_routines*) {
  sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &OnStatement, nullptr);
  return SQLITE_OK;
}

// At start-up, so that every connection the program opens can be traced.
const bool registered = [] {
  sqlite3_auto_extension(reinterpret_cast<void (*)()>(&TraceConnection));
  return true;
}();

}  // namespace

StatementTrace::StatementTrace() {
  std::lock_guard lock(traceMutex);
  tracing = true;
  traced.clear();
}

StatementTrace::~StatementTrace() {
  std::lock_guard lock(traceMutex);
  tracing = false;
}

std::vector<std::string> StatementTrace::Statements() const {
  std::lock_guard lock(traceMutex);
  return traced;
}

}  // namespace qw::test
