#pragma once
// The one serialized way statements run on the main connection, each leaving its result line in the status log.

#include <stop_token>
#include <string>
#include <string_view>

#include "storage/database.h"
#include "storage/database_busy.h"

namespace qw {

class StatusLog;

struct SqlResult {
  bool ok = false;
  // "SQL成功！" or "SQL出错：" + error + "，请重启软件！", in GBK.
  std::string text;
};

class SqlRunner {
 public:
  // A runner of a worker carries the worker's stop token: once stop is requested, a statement that has not
  // taken the busy flag yet is dropped without running and without a line.
  SqlRunner(Connection& main, DatabaseBusy& busy, StatusLog& log, std::stop_token stop = {})
      : main_(main), busy_(busy), log_(log), stop_(std::move(stop)) {}

  // Waits for the busy flag in 100 ms steps, runs the text, logs "\r\n" + statement + result text.
  SqlResult Run(std::string_view statements);
  // The same, with the text's statements as one transaction: all of them, or none when one fails (undone
  // before the flag is given back, so no other statement can fall into it). Logged as Run logs it.
  SqlResult RunTogether(std::string_view statements);

  // A query under the same flag, without a status line; nothing once stopped.
  ResultTable Select(std::string_view statement);

 private:
  SqlResult RunLogged(std::string_view statements, bool together);

  Connection& main_;
  DatabaseBusy& busy_;
  StatusLog& log_;
  std::stop_token stop_;
};

}  // namespace qw
