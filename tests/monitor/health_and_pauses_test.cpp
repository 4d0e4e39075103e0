// What monitoring tells beyond its design lines: each scheme's health with a line when it turns failing and
// when it recovers, the news for the alert, and sites that asked for a pause left alone until it ends.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "extract/collect_scheme.h"
#include "health/health_book.h"
#include "log/status_log.h"
#include "monitor/monitor_worker.h"
#include "monitor/scheme_locks.h"
#include "monitor/site_pauses.h"
#include "monitor/stoppable_log.h"
#include "notify/pending_news.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"
#include "support/board_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "support/worker_fixture.h"
#include "text/encoding.h"

namespace qw {
namespace {

using std::chrono::seconds;
using Clock = SitePauses::Clock;

// 2026-12-10 09:05:07 UTC.
const Clock::time_point kStart = Clock::from_time_t(1796893507);

TEST(SitePausesTest, PausesForWhatTheSiteAsksWithinBounds) {
  struct Case {
    const char* what;
    long status;
    const char* retryAfter;
    long pausedSeconds;  // 0: not paused
  };
  const Case cases[] = {
      {"seconds", 429, "120", 120},
      {"a date", 503, "Thu, 10 Dec 2026 09:15:07 GMT", 600},
      {"none", 429, "", 300},
      {"unreadable", 503, "later", 300},
      {"more than an hour", 429, "86400", 3600},
      {"already past", 429, "Thu, 10 Dec 2026 09:00:00 GMT", 0},
      {"another status", 500, "120", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Clock::time_point now = kStart;
    SitePauses pauses([&] { return now; });
    pauses.Answered("bbs.example", c.status, c.retryAfter);
    EXPECT_FALSE(pauses.PausedUntil("other.example"));
    const std::optional<std::time_t> until = pauses.PausedUntil("bbs.example");
    if (c.pausedSeconds == 0) {
      EXPECT_FALSE(until);
      continue;
    }
    ASSERT_TRUE(until);
    EXPECT_EQ(*until, Clock::to_time_t(kStart) + c.pausedSeconds);
    // A shorter pause asked meanwhile leaves the longer one; the pause ends on time.
    pauses.Answered("bbs.example", 429, "1");
    EXPECT_EQ(pauses.PausedUntil("bbs.example"), until);
    now = kStart + seconds(c.pausedSeconds);
    EXPECT_FALSE(pauses.PausedUntil("bbs.example"));
  }
}

TEST(SitePausesTest, ASiteIsTheHostWithAPortOfItsOwn) {
  EXPECT_EQ(SiteOf("http://BBS.example/forum-1.html"), "bbs.example");
  EXPECT_EQ(SiteOf("bbs.example/forum-1.html"), "bbs.example");
  EXPECT_EQ(SiteOf("http://bbs.example:8080/"), "bbs.example:8080");
  EXPECT_EQ(SiteOf("https://bbs.example:443/"), "bbs.example");
  EXPECT_EQ(SiteOf("https://bbs.example:80/"), "bbs.example:80");
}

class HealthAndPausesTest : public test::WorkerFixture {
 protected:
  void SetUp() override {
    ASSERT_EQ(OpenDatabase(db_, dir_ / "mavo.sdb", true), OpenResult::Opened);
    ASSERT_TRUE(Execute(db_, test::StarterSchema()));
    ASSERT_TRUE(Execute(db_, boards_.SchemeInsert(3, 1, Utf8ToGbk("论坛A"), 1, 0, true) +
                                 boards_.SchemeInsert(5, 1, Utf8ToGbk("论坛B"), 2, 0, true)));
    RefreshSchemeCache(db_, cache_);
    context_.pauseAfterStore = [] {};
    context_.timestamp = [] { return std::string("t"); };
    context_.health = &health_;
    context_.pauses = &pauses_;
    context_.news = &news_;
    context_.healthChanged = [this](int id) { changed_.push_back(id); };
  }

  // One pass over the queue; returns the lines it wrote, in UTF-8.
  std::string Pass(const std::vector<int>& queue) {
    memory_.SetStatusText("");
    RunMonitorWorker(kPassAll, queue, 0, context_, stop_.get_token());
    return GbkToUtf8(memory_.Text());
  }

  test::BoardServer boards_;
  HealthBook health_;
  Clock::time_point now_ = kStart;
  SitePauses pauses_{[this] { return now_; }};
  PendingNews news_;
  std::vector<int> changed_;
};

TEST_F(HealthAndPausesTest, AFailingSchemeIsToldOnceWhenItTurnsAndOnceWhenItRecovers) {
  boards_.SetStatus(1, 500);
  const std::string turned = "\r\n方案3已连续3次失败：HTTP 500";
  for (int pass = 1; pass <= 4; ++pass) {
    SCOPED_TRACE(pass);
    const std::string lines = Pass({3});
    EXPECT_EQ(lines.find(turned) != std::string::npos, pass == 3) << lines;
    // The line follows the scheme's own end line.
    if (pass == 3) {
      EXPECT_TRUE(lines.ends_with("任务3已结束----t" + turned)) << lines;
    }
    EXPECT_EQ(health_.Of(3).failures, pass);
  }
  EXPECT_EQ(changed_, (std::vector<int>{3, 3, 3, 3}));
  // Kept at the end of the pass that turned it: a restart knows the scheme is failing. The fourth failure
  // of the same kind waits.
  EXPECT_EQ(Query(db_, "select failures from scheme_state where id=3").Cell(0, 0), "3");

  boards_.SetStatus(1, 200);
  boards_.SetArticles(1, {{2, Utf8ToGbk("新帖")}});
  const std::string lines = Pass({3});
  EXPECT_NE(lines.find("\r\n方案3已恢复正常：匹配1条，新增1篇"), std::string::npos) << lines;
  EXPECT_FALSE(IsFailing(health_.Of(3)));
  EXPECT_EQ(health_.Of(3).lastNew, "t");
  EXPECT_EQ(Pass({3}).find("方案3"), std::string::npos);

  // The stored article waits for the alert with its site and address.
  const NewsNotice notice = news_.Take();
  ASSERT_EQ(notice.count, 1);
  EXPECT_EQ(notice.shown[0].schemeId, 3);
  EXPECT_EQ(GbkToUtf8(notice.shown[0].site), "论坛A");
  EXPECT_EQ(GbkToUtf8(notice.shown[0].title), "新帖");
  EXPECT_EQ(notice.shown[0].url, "http://bbs.example/thread-2.html");
}

TEST_F(HealthAndPausesTest, ASiteThatAsksForAPauseIsLeftAloneUntilItEnds) {
  // Both schemes watch boards of one site; the first board answers 429 with Retry-After.
  boards_.SetStatus(1, 429);
  boards_.SetHeaderLines(1, "Retry-After: 120");
  boards_.SetArticles(2, {{1, "B1"}});
  const std::string site = SiteOf(boards_.BoardUrl(1));
  const std::string until = GbkToUtf8(TimestampText(Clock::to_time_t(kStart) + 120));
  const std::string skipped = "已跳过：站点 " + site + " 要求暂停访问，" + until + " 前不再访问";

  std::string lines = Pass({3, 5});
  EXPECT_EQ(boards_.Requests(1), 1);
  EXPECT_NE(lines.find("\r\n任务5" + skipped), std::string::npos) << lines;
  EXPECT_EQ(GbkToUtf8(health_.Of(3).outcome), "HTTP 429");
  EXPECT_EQ(health_.Of(5).pausedUntil, Utf8ToGbk(until));

  // While the pause lasts nothing is asked of the site, and a skip is no check.
  const int asked = boards_.Requests(1) + boards_.Requests(2);
  lines = Pass({3, 5});
  EXPECT_EQ(boards_.Requests(1) + boards_.Requests(2), asked);
  EXPECT_NE(lines.find("\r\n任务3" + skipped), std::string::npos) << lines;
  EXPECT_NE(lines.find("\r\n任务5" + skipped), std::string::npos) << lines;
  EXPECT_EQ(lines.find("已结束"), std::string::npos) << lines;
  EXPECT_EQ(health_.Of(3).failures, 1);

  // Once it has ended, both are asked again.
  boards_.SetStatus(1, 200);
  boards_.SetArticles(1, {{1, "A1"}});
  now_ = kStart + seconds(120);
  lines = Pass({3, 5});
  EXPECT_EQ(lines.find("跳过"), std::string::npos) << lines;
  EXPECT_EQ(boards_.Requests(1), 2);
  EXPECT_EQ(health_.Of(3).failures, 0);
  EXPECT_EQ(health_.Of(5).pausedUntil, "");
  EXPECT_EQ(std::stoi(Query(db_, "select count(*) from info where planid=5").Cell(0, 0)), 1);
}

}  // namespace
}  // namespace qw
