#pragma once
// What a test of monitoring passes stands on: a database in a folder of its own, the scheme cache, locks and
// busy flag the passes share, and a status log that a stop silences, wired into one MonitorContext. A test
// adds its boards and whatever else its passes are told (health, pauses, news).

#include <gtest/gtest.h>

#include <atomic>
#include <stop_token>

#include "extract/collect_scheme.h"
#include "log/status_log.h"
#include "monitor/monitor_worker.h"
#include "monitor/scheme_locks.h"
#include "monitor/stoppable_log.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"
#include "support/temp_dir.h"

namespace qw::test {

class WorkerFixture : public ::testing::Test {
 protected:
  TempDir dir_;
  Connection db_;
  DatabaseBusy busy_;
  SchemeCache cache_;
  SchemeLocks locks_;
  CompletedSchemes completed_;
  std::atomic<bool> flag_{false};
  std::stop_source stop_;
  MemoryStatusLog memory_;
  StoppableLog log_{memory_, stop_};
  MonitorContext context_{cache_, db_, busy_, log_, flag_, locks_, completed_};
};

}  // namespace qw::test
