#pragma once
// Collecting one scheme: fetch its page, judge which hits are new, store them and move its marker on.
//
// The fetch and the judging are two steps. The serial form runs them back to back; a monitoring pass may
// fetch pages ahead and hand each to the judging step at its scheme's turn.

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "fetch/http_fetcher.h"
#include "storage/scheme_cache.h"
#include "storage/scheme_options.h"

namespace qw {

class RenderSession;
class SqlRunner;
class StatusLog;

// Judging modes (rule column type).
inline constexpr int kNewestOnTop = 0;
inline constexpr int kNewestAtBottom = 2;
inline constexpr int kRisingId = 8;

// The schemes whose marker stands after everything stored for them. It does not after a pass that ended
// before it had stored all it offered (an insert failed, or a stop came between the inserts and the marker
// update, or the update itself failed), nor, for all the program knows, before the first complete pass of
// this run (an earlier run may have ended so). Until a pass completes, a scheme's passes look each hit up
// before storing it, so no article is stored twice. One object serves every pass of a program run.
class CompletedSchemes {
 public:
  void MarkComplete(int id);
  // The marker no longer stands after everything stored: an article is being stored, or the update failed.
  void MarkIncomplete(int id);
  bool IsComplete(int id) const;

 private:
  mutable std::mutex mutex_;
  std::set<int> ids_;
};

// What the keywords make of an article about to be stored.
struct ArticleVerdict {
  // Storing it raises the new-article flag, which the alert follows.
  bool alerts = true;
  // The keyword that matched, as written; "" when none did.
  std::string keyword{};
  // Runs with the article's insert, in the same text, to record the mark beside it; "" for nothing.
  std::string markStatement;
};

struct CollectContext {
  SchemeCache& cache;
  SqlRunner& sql;
  StatusLog& log;
  // Set when new articles were stored; the end of a monitoring cycle reads and clears it.
  std::atomic<bool>& newArticleFlag;
  CompletedSchemes& completed;
  FetchLimits fetchLimits{};
  std::stop_token stop{};
  // Runs after each stored article: processes pending events, then pauses 400 ms. Tests replace it.
  std::function<void()> pauseAfterStore{};
  // The time text; tests replace it.
  std::function<std::string()> timestamp{};
  // Judges the title of each article of scheme id before it is stored; without it every article alerts and
  // nothing is recorded beside it.
  std::function<ArticleVerdict(int id, const std::string& title)> judgeArticle{};
  // Renders the pages of schemes fetched through the browser; without one, each such page gets a renderer of
  // its own.
  RenderSession* renderer = nullptr;
};

// The scheme option that gets the page through the browser (its scripts run) instead of a plain fetch: "1".
inline constexpr std::string_view kRenderOption = "render";
bool RendersPage(const SchemeOptions& options);

// The scheme values a page request is made of. Two fetches with equal values ask the site the same thing.
struct PageRequest {
  std::string url, cookie, ua, code;
  // Through the browser.
  bool render = false;
  bool operator==(const PageRequest&) const = default;
};
PageRequest PageRequestOf(const SchemeRow& row, const SchemeOptions& options = {});

// A scheme's page as its fetch left it.
struct FetchedPage {
  // Decoded to GBK and flattened; "" when nothing was received.
  std::string text;
  // The request's cookie merged with those the response set; the scheme's cookie once the page is judged.
  std::string mergedCookie;
  // The status, or why nothing usable came; for a page through the browser, its failure as error.
  FetchOutcome fetch{};
  // Why a page got through the browser is missing ("浏览器渲染失败：…"), in GBK; empty otherwise.
  std::string failure{};
  // The browser handed the page over when its deadline came, before it had settled.
  bool deadlineHit = false;
};

// What the status box and the rule tester say of a page handed over at its deadline; GBK.
std::string RenderDeadlineNote();

// An article a pass stored, as the table info holds it.
struct StoredArticle {
  std::string title, url;
  // What the keywords made of it: whether it alerts, and the keyword that matched ("" for none).
  bool alerts = true;
  std::string keyword{};
};

// What one pass over a scheme found: what the scheme's state and the round's news are made of.
struct SchemeOutcome {
  // False when the pass ended before it judged the page (a stop), or the cache does not hold the scheme.
  bool judged = false;
  FetchOutcome fetch;
  // The capture region was empty.
  bool regionEmpty = false;
  // The hits of the region searched.
  int hits = 0;
  // The region was narrowed to what lies beyond the last article seen and held no hit, while the expression
  // still matches the whole region: the page is as it was, with nothing new.
  bool nothingNew = false;
  // The page came through the browser, which handed it over at its deadline before it had settled.
  bool renderDeadlineHit = false;
  // The articles stored, in the order stored.
  std::vector<StoredArticle> stored;
};

// The fetch step. Touches nothing shared, so it may run on any thread; a stop aborts the transfer. A page
// through the browser is rendered by renderer, or by one of its own when there is none.
FetchedPage FetchSchemePage(const PageRequest& request, const FetchLimits& limits, std::stop_token stop,
                            RenderSession* renderer = nullptr);

// The judge and store step: scheme id, whose row the cache held as row at this pass's turn, over a page
// fetched with that row's request values. Writes the merged cookie back, then judges, stores and logs as the
// serial form does. A stop ends it between two steps, after which it writes no further line and runs no
// further statement.
SchemeOutcome CollectFetchedPage(int id, const SchemeRow& row, const FetchedPage& page,
                                 CollectContext& context);

// The judge step of a scheme the cache does not hold: says so and ends the pass.
void ReportMissingScheme(int id, CollectContext& context);

// One pass over scheme id in the serial form: reads its row at this moment, fetches, then judges. Every
// outcome goes to the status log and the database; the result says what was found.
SchemeOutcome CollectScheme(int id, CollectContext& context);

}  // namespace qw
