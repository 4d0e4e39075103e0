#pragma once
// The one serialized way statements run on the main connection, each leaving its result line in the status log.

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
  SqlRunner(Connection& main, DatabaseBusy& busy, StatusLog& log) : main_(main), busy_(busy), log_(log) {}

  // Waits for the busy flag in 100 ms steps, runs the text, logs "\r\n" + statement + result text.
  SqlResult Run(std::string_view statements);

 private:
  Connection& main_;
  DatabaseBusy& busy_;
  StatusLog& log_;
};

}  // namespace qw
