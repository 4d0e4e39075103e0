#include "monitor/monitor_worker.h"

#include <optional>

#include "extract/collect_scheme.h"
#include "monitor/fetch_ahead.h"
#include "monitor/scheme_locks.h"
#include "log/status_log.h"
#include "storage/scheme_cache.h"
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

namespace {

// One pass over the queue, its pages fetched ahead; each scheme is judged in queue order as the serial form
// would. False when stopped.
bool CollectQueue(const std::vector<int>& queue, MonitorContext& context, CollectContext& collect,
                  std::stop_token stop) {
  // No engine process outlives the pass: the renderer ends when it does, after the fetches that use it.
  RenderSession renderer(context.render, stop);
  collect.renderer = &renderer;
  struct Forget {
    CollectContext& collect;
    ~Forget() { collect.renderer = nullptr; }
  } forget{collect};
  FetchAhead ahead(queue, context.cache, context.locks, context.fetchLimits, stop, &renderer);
  for (std::size_t index = 0; index < queue.size(); ++index) {
    const int id = queue[index];
    // Another worker collecting this scheme finishes first; this pass then starts from its marker.
    std::optional<SchemeLocks::Hold> hold;
    if (stop.stop_requested() || !context.locks.Acquire(id, stop, hold, &ahead)) return false;
    // The row as the cache holds it at this turn is what the serial form would read and fetch with now.
    const std::optional<SchemeRow> row = context.cache.Row(id);
    if (!row) {
      ahead.Skip(index);
      ReportMissingScheme(id, collect);
      continue;
    }
    const std::optional<FetchedPage> page =
        ahead.Take(index, PageRequestOf(*row, context.cache.Options(id)), hold->EndedPassesBefore());
    if (!page) return false;
    CollectFetchedPage(id, *row, *page, collect);
  }
  return true;
}

}  // namespace

void RunMonitorWorker(int passKind, const std::vector<int>& queue, std::int32_t intervalMs,
                      MonitorContext& context, std::stop_token stop) {
  // Waits far below (a statement's lock wait) end too once this worker is stopped.
  SetThreadStopToken(stop);
  SqlRunner sql(context.main, context.busy, context.log, stop);
  CollectContext collect{context.cache,
                         sql,
                         context.log,
                         context.newArticleFlag,
                         context.completed,
                         context.fetchLimits,
                         stop,
                         context.pauseAfterStore,
                         context.timestamp};
  auto timestamp = [&] { return context.timestamp ? context.timestamp() : TimestampText(); };
  for (;;) {
    if (!CollectQueue(queue, context, collect, stop)) return;
    if (passKind != kPassMonitoring || stop.stop_requested()) return;
    context.log.AppendStatusLine(QW_GBK("\r\n本轮执行完毕！----") + timestamp());
    // A stop since the round's last line leaves it without an alert, as it leaves it without the line.
    if (stop.stop_requested()) return;
    if (context.newArticleFlag.load() && context.notifyNewContent) context.notifyNewContent(context.log);
    if (!WaitPumping(intervalMs, 0, stop)) return;
    context.log.SetStatusText("");
  }
}

}  // namespace qw
