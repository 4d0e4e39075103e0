#include "monitor/monitor_worker.h"

#include <optional>

#include "extract/collect_scheme.h"
#include "monitor/scheme_locks.h"
#include "monitor/status_log.h"
#include "storage/sql_runner.h"
#include "text/encoding.h"
#include "text/waiting.h"

namespace qw {

std::vector<int> BuildQueue(const std::vector<TreeItem>& tree, int passKind) {
  std::vector<int> queue;
  for (const TreeItem& item : tree) {
    if (item.level < 2) continue;  // categories
    if (passKind == kPassAll || item.checked == passKind) queue.push_back(item.value);
  }
  return queue;
}

void RunMonitorWorker(int passKind, const std::vector<int>& queue, std::int32_t intervalMs,
                      MonitorContext& context, std::stop_token stop) {
  // Waits far below (a statement's lock wait) end too once this worker is stopped.
  SetThreadStopToken(stop);
  SqlRunner sql(context.main, context.busy, context.log, stop);
  CollectContext collect{context.cache, sql, context.log, context.newArticleFlag, context.fetchLimits, stop,
                         context.pauseAfterStore, context.timestamp};
  auto timestamp = [&] { return context.timestamp ? context.timestamp() : TimestampText(); };
  for (;;) {
    for (const int id : queue) {
      // Another worker collecting this scheme finishes first; this pass then starts from its marker.
      std::optional<SchemeLocks::Hold> hold;
      if (stop.stop_requested() || !context.locks.Acquire(id, stop, hold)) return;
      CollectScheme(id, collect);
    }
    if (passKind != kPassMonitoring || stop.stop_requested()) return;
    context.log.AppendStatusLine(QW_GBK("\r\n本轮执行完毕！----") + timestamp());
    if (context.newArticleFlag.load() && context.notifyNewContent) context.notifyNewContent(context.log);
    if (!WaitPumping(intervalMs, 0, stop)) return;
    context.log.SetStatusText("");
  }
}

}  // namespace qw
