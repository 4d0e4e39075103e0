#include "storage/sql_runner.h"

#include "log/status_log.h"
#include "text/encoding.h"

namespace qw {

namespace {

constexpr std::int32_t kPollMs = 100;

}  // namespace

SqlResult SqlRunner::Run(std::string_view statements) { return RunLogged(statements, false); }

SqlResult SqlRunner::RunTogether(std::string_view statements) { return RunLogged(statements, true); }

SqlResult SqlRunner::RunLogged(std::string_view statements, bool together) {
  SqlResult result;
  std::string error;
  {
    // The error text is taken while the flag is still held, so a statement waiting for the flag cannot
    // replace it before it is read.
    BusyGuard guard(busy_, kPollMs, stop_);
    if (!guard.held()) return result;
    if (!together) {
      result.ok = Execute(main_, statements, error);
    } else {
      // A savepoint, unlike begin, also nests in a transaction someone left open with the SQL box.
      std::string text = "savepoint together;";
      text.append(statements).append(";release together;");
      result.ok = Execute(main_, text, error);
      if (!result.ok && !Execute(main_, "rollback to together;release together;")) Execute(main_, "rollback");
    }
  }
  result.text = result.ok ? QW_GBK("SQL成功！") : QW_GBK("SQL出错：") + error + QW_GBK("，请重启软件！");
  std::string line;
  line.reserve(2 + statements.size() + result.text.size());
  line.append("\r\n").append(statements).append(result.text);
  log_.AppendStatusLine(std::move(line));
  return result;
}

ResultTable SqlRunner::Select(std::string_view statement) {
  BusyGuard guard(busy_, kPollMs, stop_);
  if (!guard.held()) return {};
  return Query(main_, statement);
}

}  // namespace qw
