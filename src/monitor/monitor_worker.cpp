#include "monitor/monitor_worker.h"

#include <optional>

#include "extract/collect_scheme.h"
#include "health/health_book.h"
#include "keywords/keyword_judge.h"
#include "log/status_log.h"
#include "monitor/fetch_ahead.h"
#include "monitor/scheme_locks.h"
#include "monitor/site_pauses.h"
#include "notify/pending_news.h"
#include "storage/database_busy.h"
#include "storage/keyword_marks.h"
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

// How often a worker waiting for the main connection to write the health or make the marks' table tests
// the busy flag again.
constexpr std::int32_t kBusyPollMs = 100;

std::string Now(const MonitorContext& context) {
  return context.timestamp ? context.timestamp() : TimestampText();
}

// What a judged pass tells beyond its own lines: its articles to the alert, its check to the health, and
// a line when the scheme has just turned failing or recovered.
void Tell(int id, const SchemeRow& row, const SchemeOutcome& outcome, MonitorContext& context) {
  if (context.news != nullptr) {
    for (const StoredArticle& article : outcome.stored) {
      context.news->Add({id, row[kRuleName], article.title, article.url, article.alerts, article.keyword});
    }
  }
  if (context.health == nullptr) return;
  const CheckResult result = ResultOf(outcome);
  const HealthTurn turn = context.health->Record(id, result, Now(context));
  const std::string idText = std::to_string(id);
  if (turn == HealthTurn::kFailing) {
    context.log.AppendStatusLine(QW_GBK("\r\n方案") + idText + QW_GBK("已连续") +
                                 std::to_string(kFailingStreak) + QW_GBK("次失败：") + result.outcome);
  } else if (turn == HealthTurn::kRecovered) {
    context.log.AppendStatusLine(QW_GBK("\r\n方案") + idText + QW_GBK("已恢复正常：") + result.outcome);
  }
  if (context.healthChanged) context.healthChanged(id);
}

// The scheme's site asked for a pause that has not ended: the scheme is not asked this round.
void TellPaused(int id, const std::string& site, std::time_t until, MonitorContext& context) {
  const std::string untilText = TimestampText(until);
  context.log.AppendStatusLine(QW_GBK("\r\n任务") + std::to_string(id) + QW_GBK("已跳过：站点 ") + site +
                               QW_GBK(" 要求暂停访问，") + untilText + QW_GBK(" 前不再访问"));
  if (context.health == nullptr) return;
  context.health->Paused(id, untilText);
  if (context.healthChanged) context.healthChanged(id);
}

// Writes what the pass changed in the schemes' health. A database that refuses is told once.
void SaveHealth(MonitorContext& context, std::stop_token stop) {
  if (context.health == nullptr) return;
  BusyGuard guard(context.busy, kBusyPollMs, stop);
  if (!guard.held()) return;
  std::string error;
  if (!context.health->Save(context.main, false, &error) && !error.empty()) {
    context.log.AppendStatusLine(QW_GBK("\r\n方案状态未能保存到数据库：") + error);
  }
}

bool AnyKeywords(const std::vector<int>& queue, const KeywordJudge& keywords, const SchemeCache& cache) {
  if (keywords.EveryoneHasKeywords()) return true;
  for (const int id : queue) {
    const KeywordLists lists = KeywordListsOf(cache.Options(id));
    if (!lists.watch.empty() || !lists.mute.empty()) return true;
  }
  return false;
}

// Whether the marks of this round's articles can be recorded: the table is there or has just been made. A
// database that refuses it (read-only, say) keeps no marks, while the alert still follows the keywords.
bool ReadyToMark(MonitorContext& context, const std::stop_token& stop) {
  BusyGuard guard(context.busy, kBusyPollMs, stop);
  return guard.held() && EnsureKeywordMarks(context.main);
}

// Sets the round up to judge each new article by the keywords as they stand now; a round without any
// keyword judges nothing and stores as it always has.
void JudgeByKeywords(const std::vector<int>& queue, KeywordJudge& keywords, MonitorContext& context,
                     CollectContext& collect, const std::stop_token& stop) {
  collect.judgeArticle = nullptr;
  keywords.BeginRound(context.everyoneKeywords ? context.everyoneKeywords() : KeywordLists{});
  if (!AnyKeywords(queue, keywords, context.cache)) return;
  const bool record = ReadyToMark(context, stop);
  collect.judgeArticle = [&keywords, record](int id, const std::string& title) {
    KeywordVerdict verdict = keywords.Judge(id, title);
    ArticleVerdict article{verdict.alerts, std::move(verdict.keyword), {}};
    if (record) article.markStatement = KeywordMarkStatement(verdict.mark, article.keyword);
    return article;
  };
}

// One pass over the queue, its pages fetched ahead; each scheme is judged in queue order as the serial form
// would. False when stopped.
bool CollectQueue(const std::vector<int>& queue, MonitorContext& context, CollectContext& collect,
                  KeywordJudge& keywords, std::stop_token stop) {
  JudgeByKeywords(queue, keywords, context, collect, stop);
  // No engine process outlives the pass: the renderer ends when it does, after the fetches that use it.
  RenderSession renderer(context.render, stop);
  collect.renderer = &renderer;
  struct Forget {
    CollectContext& collect;
    ~Forget() { collect.renderer = nullptr; }
  } forget{collect};
  FetchAhead ahead(queue, context.cache, context.locks, context.fetchLimits, stop, context.pauses, &renderer);
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
    if (context.pauses != nullptr) {
      const std::string site = SiteOf((*row)[kRuleUrl]);
      if (const std::optional<std::time_t> until = context.pauses->PausedUntil(site)) {
        ahead.Skip(index);
        TellPaused(id, site, *until, context);
        continue;
      }
    }
    const std::optional<FetchedPage> page =
        ahead.Take(index, PageRequestOf(*row, context.cache.Options(id)), hold->EndedPassesBefore());
    if (!page) return false;
    const SchemeOutcome outcome = CollectFetchedPage(id, *row, *page, collect);
    if (outcome.judged) Tell(id, *row, outcome, context);
  }
  SaveHealth(context, stop);
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
  // Kept from round to round, so that lists that stay as they are are compiled once.
  KeywordJudge keywords(context.cache);
  for (;;) {
    if (!CollectQueue(queue, context, collect, keywords, stop)) return;
    if (passKind != kPassMonitoring || stop.stop_requested()) return;
    context.log.AppendStatusLine(QW_GBK("\r\n本轮执行完毕！----") + Now(context));
    // A stop since the round's last line leaves it without an alert, as it leaves it without the line.
    if (stop.stop_requested()) return;
    if (context.newArticleFlag.load() && context.notifyNewContent) context.notifyNewContent(context.log);
    if (!WaitPumping(intervalMs, 0, stop)) return;
    context.log.SetStatusText("");
  }
}

}  // namespace qw
