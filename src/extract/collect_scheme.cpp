#include "extract/collect_scheme.h"

#include <optional>
#include <string>
#include <vector>

#include "extract/pipeline.h"
#include "fetch/cookies.h"
#include "log/status_log.h"
#include "render/render_session.h"
#include "storage/sql_literal.h"
#include "storage/sql_runner.h"
#include "text/encoding.h"
#include "text/gbk_text.h"
#include "text/waiting.h"

namespace qw {
namespace {

// The scheme values one pass works with, read from the cache once at its start.
struct SchemeSnapshot {
  std::string name, marker, urlTemplate, pattern, before, after;
  int titleGroup = 0, idGroup = 0, otherGroup = 0, mode = kNewestOnTop;
  std::int32_t lastId = 0;
};

SchemeSnapshot Snapshot(const SchemeRow& row) {
  SchemeSnapshot s;
  s.name = row[kRuleName];
  s.marker = row[kRuleArttile];
  s.urlTemplate = row[kRuleBuquan];
  s.pattern = row[kRuleRegular];
  s.before = row[kRuleBefore];
  s.after = row[kRuleAfter];
  s.titleGroup = ToInteger(row[kRuleTindex]);
  s.idGroup = ToInteger(row[kRuleUindex]);
  s.otherGroup = ToInteger(row[kRuleOindex]);
  s.mode = ToInteger(row[kRuleType]);
  s.lastId = ToInteger(row[kRuleLastid]);
  return s;
}

class Pass {
 public:
  Pass(int id, CollectContext& context) : id_(id), idText_(std::to_string(id)), context_(context) {}

  SchemeOutcome Judge(const SchemeRow& row, const FetchedPage& page) {
    // A stop during the fetch leaves the page incomplete, and one before this turn leaves a page fetched
    // ahead unjudged: either way nothing of it is kept, the cookie included.
    if (Stopped()) return {};
    outcome_.judged = true;
    outcome_.fetch = page.fetch;
    outcome_.renderDeadlineHit = page.deadlineHit;
    // The merged cookie is what the next fetch of this scheme sends, until the cache is rebuilt.
    context_.cache.Set(id_, kRuleCookie, page.mergedCookie);
    if (!page.failure.empty()) {
      // The browser gave no page: its reason says more than an empty region would.
      context_.log.AppendStatusLine(page.failure);
    } else {
      if (page.deadlineHit) context_.log.AppendStatusLine(RenderDeadlineNote());
      Collect(Snapshot(row), page.text);
    }
    End();
    return std::move(outcome_);
  }

  void Missing() {
    if (Stopped()) return;
    context_.log.AppendStatusLine(QW_GBK("\r\n方案") + idText_ + QW_GBK("不在方案列表中，请刷新方案列表！"));
    End();
  }

 private:
  void End() {
    // A stopped worker leaves no further line or statement behind.
    if (Stopped()) return;
    context_.log.AppendStatusLine(QW_GBK("\r\n任务") + idText_ + QW_GBK("已结束----") + Timestamp());
  }

  void Collect(SchemeSnapshot s, std::string_view page) {
    const std::string wholeBefore = s.before;
    const std::string wholeAfter = s.after;
    const bool narrowed = ApplyMarker(s, page);
    const std::string region = CutRegion(page, s.before, s.after);
    if (region.empty()) {
      outcome_.regionEmpty = true;
      context_.log.AppendStatusLine(QW_GBK("出错！截取源码为空，请检查方案的采集区域！"));
    }

    const std::vector<Hit> hits = MatchAll(s.pattern, region);
    outcome_.hits = static_cast<int>(hits.size());
    if (hits.empty()) {
      // Up to the last article seen there is nothing new; whether the expression still finds that article
      // tells an unchanged page from one whose layout changed. The first hit ends the search, and it is
      // near the region's start.
      outcome_.nothingNew =
          narrowed && !region.empty() && MatchesAny(s.pattern, CutRegion(page, wholeBefore, wholeAfter));
      return;
    }

    const std::vector<std::string> placeholders = TemplatePlaceholders(s.urlTemplate);
    std::int32_t highestId = s.lastId;
    std::string lastUrl;
    bool allStored = true;
    const bool lookUpFirst = !context_.completed.IsComplete(id_);
    // Walk backwards so that the oldest new article gets the smallest article id.
    // A stop ends the pass between two statements; the marker then stays, so the next run offers the rest
    // again.
    for (auto hit = hits.rbegin(); hit != hits.rend(); ++hit) {
      if (Stopped()) return;
      if (s.mode == kRisingId) {
        const std::int32_t articleId = ToInteger(GroupText(*hit, s.idGroup));
        if (articleId <= s.lastId) continue;
        if (articleId > highestId) highestId = articleId;
      }
      lastUrl = ComposeArticleUrl(s.urlTemplate, placeholders, *hit);
      if (lookUpFirst && AlreadyStored(GroupText(*hit, s.titleGroup), lastUrl)) continue;
      if (Stopped()) return;
      // Until the marker moves past it, this article would be offered again.
      context_.completed.MarkIncomplete(id_);
      const std::string title = GroupText(*hit, s.titleGroup);
      const ArticleVerdict verdict =
          context_.judgeArticle ? context_.judgeArticle(id_, title) : ArticleVerdict{};
      if (Store(s, *hit, lastUrl, verdict.markStatement)) {
        // An article the keywords keep quiet about is stored all the same, but calls for no alert.
        if (verdict.alerts) context_.newArticleFlag.store(true);
        outcome_.stored.push_back({title, lastUrl, verdict.alerts, verdict.keyword});
      } else {
        allStored = false;
      }
      Pause();
    }

    if (Stopped() || (s.mode == kRisingId && highestId == s.lastId)) return;
    if (!allStored) {
      // Keeping the marker where it was makes the next pass offer the articles whose insert failed again.
      context_.log.AppendStatusLine(QW_GBK("\r\n任务") + idText_ +
                                    QW_GBK("有文章未能保存，保留上次的文章标记，下轮将重试！"));
      return;
    }
    // With new articles at the bottom the marker becomes the next pass's start marker, so it must be the last
    // article seen; everywhere else it is the first one on the page.
    const Hit& markerHit = s.mode == kNewestAtBottom ? hits.back() : hits.front();
    const std::string newMarker = GroupText(markerHit, s.titleGroup);
    const std::string highestText = std::to_string(highestId);
    context_.cache.Set(id_, kRuleArttile, newMarker);
    context_.cache.Set(id_, kRuleLastid, highestText);
    const SqlResult update = context_.sql.Run(
        "update rule set arttile='" + SqlQuoted(newMarker) + "',arturl='" + SqlQuoted(lastUrl) +
        "',lasttime='" + SqlQuoted(Timestamp()) + "',lastid=" + highestText + " where id=" + idText_);
    // A marker that did not reach the database comes back with the next refresh of the cache; until one
    // does, the scheme's passes go on looking their hits up.
    if (update.ok) {
      context_.completed.MarkComplete(id_);
    } else {
      context_.completed.MarkIncomplete(id_);
    }
  }

  // Whether this scheme has stored the article already (same title and address).
  bool AlreadyStored(const std::string& title, const std::string& url) {
    const ResultTable found =
        context_.sql.Select("select count(*) from info where planid=" + idText_ + " and title='" +
                            SqlQuoted(title) + "' and url='" + SqlQuoted(url) + "'");
    return ToInteger(found.Cell(0, 0)) > 0;
  }

  // Narrows the capture region to what lies beyond the last article seen; true when it did.
  bool ApplyMarker(SchemeSnapshot& s, std::string_view page) {
    if (s.mode == kRisingId) return false;
    if (!s.marker.empty() && Find(page, s.marker, 1) != kNotFound) {
      (s.mode == kNewestAtBottom ? s.before : s.after) = s.marker;
      return true;
    }
    context_.log.AppendStatusLine(QW_GBK("源码中末发现最后文章标记！"));
    return false;
  }

  bool Store(const SchemeSnapshot& s, const Hit& hit, const std::string& url, const std::string& mark) {
    std::string statement = "insert into info(planname,planid,title,url,other,addtime,issoucang) values('" +
                            SqlQuoted(s.name) + "'," + idText_ + ",'" +
                            SqlQuoted(GroupText(hit, s.titleGroup)) + "','" + SqlQuoted(url) + "','" +
                            SqlQuoted(GroupText(hit, s.otherGroup)) + "','" + SqlQuoted(Timestamp()) + "',0)";
    if (mark.empty()) return context_.sql.Run(statement).ok;
    // The mark follows in the same run, so no other statement on the connection comes between the insert
    // and the id the mark takes from it; and the two are stored together or not at all. Where the mark
    // cannot be stored, the article is stored without it: a mark is never worth an article.
    return context_.sql.RunTogether(statement + ";" + mark).ok || context_.sql.Run(statement).ok;
  }

  // Spreads the writes out; a stop request ends the pause early.
  void Pause() {
    if (Stopped()) return;
    if (context_.pauseAfterStore) {
      context_.pauseAfterStore();
      return;
    }
    PumpPendingMessages();
    WaitPumping(400, 0, context_.stop);
  }

  bool Stopped() const { return context_.stop.stop_requested(); }

  std::string Timestamp() const { return context_.timestamp ? context_.timestamp() : TimestampText(); }

  const int id_;
  const std::string idText_;
  CollectContext& context_;
  SchemeOutcome outcome_;
};

}  // namespace

void CompletedSchemes::MarkComplete(int id) {
  std::lock_guard lock(mutex_);
  ids_.insert(id);
}

void CompletedSchemes::MarkIncomplete(int id) {
  std::lock_guard lock(mutex_);
  ids_.erase(id);
}

bool CompletedSchemes::IsComplete(int id) const {
  std::lock_guard lock(mutex_);
  return ids_.contains(id);
}

std::string RenderDeadlineNote() { return QW_GBK("浏览器渲染到期限时页面仍未静止，已用当时渲染出的内容"); }

bool RendersPage(const SchemeOptions& options) { return OptionOf(options, kRenderOption) == "1"; }

PageRequest PageRequestOf(const SchemeRow& row, const SchemeOptions& options) {
  return {row[kRuleUrl], row[kRuleCookie], row[kRuleUa], row[kRuleCode], RendersPage(options)};
}

namespace {

// The page through the browser. The browser reads the page's bytes in the encoding the page names, or else in
// the scheme's, and hands the document back as UTF-8 whatever the page was: it becomes GBK here for every
// scheme, as a fetched UTF-8 page does.
FetchedPage RenderSchemePage(const PageRequest& request, std::stop_token stop, RenderSession* renderer) {
  std::optional<RenderSession> own;
  if (renderer == nullptr) renderer = &own.emplace(RenderSettings{}, stop);
  RenderJob job;
  job.url = GbkToUtf8(request.url);
  job.ua = GbkToUtf8(request.ua);
  job.cookie = GbkToUtf8(request.cookie);
  job.encoding = request.code == "1" ? "GBK" : "UTF-8";
  const RenderedPage rendered = renderer->Render(std::move(job), stop);

  FetchedPage page;
  page.mergedCookie = request.cookie;
  if (!rendered.failure.empty()) {
    page.failure = QW_GBK("浏览器渲染失败：") + rendered.failure;
    page.fetch.error = page.failure;
    return page;
  }
  // The status of the page's own response, which the health reads as it reads a fetch's.
  page.fetch.status = rendered.status;
  MergeCookies(page.mergedCookie, Utf8ToGbk(rendered.cookies));
  page.text = FlattenLines(Utf8ToGbk(rendered.html));
  page.deadlineHit = rendered.deadlineHit;
  return page;
}

}  // namespace

FetchedPage FetchSchemePage(const PageRequest& request, const FetchLimits& limits, std::stop_token stop,
                            RenderSession* renderer) {
  if (request.render) return RenderSchemePage(request, std::move(stop), renderer);
  FetchedPage page;
  page.mergedCookie = request.cookie;
  page.text = FlattenLines(FetchPageText(request.url, page.mergedCookie, request.ua, request.code, limits,
                                         std::move(stop), &page.fetch));
  return page;
}

SchemeOutcome CollectFetchedPage(int id, const SchemeRow& row, const FetchedPage& page,
                                 CollectContext& context) {
  return Pass(id, context).Judge(row, page);
}

void ReportMissingScheme(int id, CollectContext& context) { Pass(id, context).Missing(); }

SchemeOutcome CollectScheme(int id, CollectContext& context) {
  if (context.stop.stop_requested()) return {};
  const std::optional<SchemeRow> row = context.cache.Row(id);
  if (!row) {
    ReportMissingScheme(id, context);
    return {};
  }
  return CollectFetchedPage(id, *row,
                            FetchSchemePage(PageRequestOf(*row, context.cache.Options(id)),
                                            context.fetchLimits, context.stop, context.renderer),
                            context);
}

}  // namespace qw
