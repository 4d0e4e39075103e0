// Rounds over schemes with keywords: every article is stored, the keywords decide which alert and record
// their mark beside the article.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "extract/collect_scheme.h"
#include "log/status_log.h"
#include "monitor/monitor_worker.h"
#include "monitor/scheme_locks.h"
#include "monitor/stoppable_log.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/keyword_marks.h"
#include "storage/scheme_cache.h"
#include "storage/scheme_options.h"
#include "support/board_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "support/waits.h"
#include "support/worker_fixture.h"
#include "text/encoding.h"

namespace qw {
namespace {

std::string G(const char* utf8) { return Utf8ToGbk(utf8); }

class KeywordRoundTest : public test::WorkerFixture {
 protected:
  void SetUp() override {
    ASSERT_EQ(OpenDatabase(db_, dir_ / "mavo.sdb", true), OpenResult::Opened);
    ASSERT_TRUE(Execute(db_, test::StarterSchema()));
    // Scheme 3 watches board 1 with keywords of its own, scheme 5 board 2 with none.
    ASSERT_TRUE(Execute(
        db_, boards_.SchemeInsert(3, 1, "A", 1, 0, true) + boards_.SchemeInsert(5, 1, "B", 2, 0, true)));
    ASSERT_TRUE(SaveSchemeOptions(db_, 3, {{"watch", G("显卡\r\n/^rtx/")}, {"mute", G("广告")}}));
    RefreshSchemeCache(db_, cache_);
    context_.pauseAfterStore = [] {};
    context_.timestamp = [] { return std::string("2026-12-10 9:5 7"); };
    context_.notifyNewContent = [this](StatusLog&) {
      ++notified_;
      flag_ = false;
    };
  }

  // One pass over the queue, as 取全部方案文章 runs it.
  void Pass(const std::vector<int>& queue) {
    RunMonitorWorker(kPassAll, queue, 0, context_, stop_.get_token());
  }

  std::string Cell(const std::string& query) { return Query(db_, query).Cell(0, 0); }

  std::atomic<int> notified_{0};
  test::BoardServer boards_;
};

TEST_F(KeywordRoundTest, ARoundWhoseOnlyNewArticleIsMutedStoresItWithoutAnAlert) {
  boards_.SetArticles(1, {{1, G("显卡广告")}});
  std::thread worker([&] { RunMonitorWorker(kPassMonitoring, {3}, 20, context_, stop_.get_token()); });
  // The second round has begun, so the first has ended and decided about its alert.
  ASSERT_TRUE(test::Eventually([&] { return boards_.Requests(1) >= 2; }));
  EXPECT_EQ(notified_, 0);
  EXPECT_EQ(Cell("select count(*) from info"), "1");
  EXPECT_EQ(Cell("select mark||keyword from keyword_marks"), "2" + G("广告"));

  // A watched article in a later round alerts.
  boards_.SetArticles(1, {{2, G("RTX 显卡降价")}, {1, G("显卡广告")}});
  EXPECT_TRUE(test::Eventually([&] { return notified_ == 1; }));
  log_.Stop();
  worker.join();
  EXPECT_EQ(Cell("select count(*) from info"), "2");
}

TEST_F(KeywordRoundTest, WithWatchWordsOnlyMatchingArticlesAlertAndEachMarkIsRecordedWithItsArticle) {
  boards_.SetArticles(1, {{3, G("内存降价")}, {2, G("出售二手显卡")}, {1, G("rtx 5090 到货")}});
  boards_.SetArticles(2, {{1, G("显卡广告")}});
  // Scheme 3 stores all three; two match a watch word each.
  Pass({3});
  EXPECT_EQ(Cell("select count(*) from info"), "3");
  EXPECT_TRUE(flag_);
  const ResultTable marks = Query(db_,
                                  "select info.title, mark, keyword from keyword_marks join info on "
                                  "info.id=keyword_marks.id order by info.id");
  ASSERT_EQ(marks.RowCount(), 2);
  EXPECT_EQ(marks.rows[0], (std::vector<std::string>{G("rtx 5090 到货"), "1", "/^rtx/"}));
  EXPECT_EQ(marks.rows[1], (std::vector<std::string>{G("出售二手显卡"), "1", G("显卡")}));
  // The mark runs in the insert's own statement text, as its status line shows.
  EXPECT_NE(memory_.Text().find(
                "insert or replace into keyword_marks(mark,id,keyword) values(1,last_insert_rowid(),'" +
                G("显卡") + "')" + G("SQL成功！")),
            std::string::npos);

  // An article that matches no watch word is stored and marked with nothing, and alerts nobody.
  flag_ = false;
  boards_.SetArticles(1, {{4, G("主板降价")}, {3, G("内存降价")}});
  Pass({3});
  EXPECT_EQ(Cell("select count(*) from info where title='" + G("主板降价") + "'"), "1");
  EXPECT_FALSE(flag_);

  // Without keywords of its own, scheme 5 follows everyone's lists.
  context_.everyoneKeywords = [] { return KeywordLists{"", G("广告")}; };
  Pass({5});
  EXPECT_EQ(Cell("select count(*) from info where planid=5"), "1");
  EXPECT_FALSE(flag_);
  EXPECT_EQ(Cell("select keyword from keyword_marks order by id desc limit 1"), G("广告"));
}

TEST_F(KeywordRoundTest, RoundsWithoutKeywordsLeaveTheDatabaseWithoutTheirTable) {
  ASSERT_TRUE(SaveSchemeOptions(db_, 3, {}));
  RefreshSchemeCache(db_, cache_);
  boards_.SetArticles(1, {{1, G("显卡广告")}});
  Pass({3, 5});
  EXPECT_TRUE(flag_);
  EXPECT_FALSE(HasKeywordMarks(db_));
  EXPECT_EQ(memory_.Text().find("keyword_marks"), std::string::npos);
}

TEST_F(KeywordRoundTest, ADatabaseThatCannotTakeTheMarksStillStoresEveryArticleAndAlertsByKeywords) {
  // A view of the table's name stands where the table would be made.
  ASSERT_TRUE(Execute(db_, "create view keyword_marks as select 1 as mark, 1 as id, '' as keyword"));
  boards_.SetArticles(1, {{2, G("显卡降价")}, {1, G("内存降价")}});
  Pass({3});
  EXPECT_EQ(Cell("select count(*) from info"), "2");
  EXPECT_TRUE(flag_);
  EXPECT_EQ(memory_.Text().find(G("SQL出错")), std::string::npos) << GbkToUtf8(memory_.Text());

  // A table that refuses a mark: the article is stored without it.
  ASSERT_TRUE(Execute(db_, "drop view keyword_marks"));
  ASSERT_TRUE(EnsureKeywordMarks(db_));
  ASSERT_TRUE(Execute(db_,
                      "create trigger refuse before insert on keyword_marks "
                      "begin select raise(abort, 'refused'); end"));
  flag_ = false;
  boards_.SetArticles(1, {{3, G("显卡到货")}, {2, G("显卡降价")}, {1, G("内存降价")}});
  Pass({3});
  EXPECT_EQ(Cell("select count(*) from info where title='" + G("显卡到货") + "'"), "1");
  EXPECT_EQ(Cell("select count(*) from keyword_marks"), "0");
  EXPECT_TRUE(flag_);
}

}  // namespace
}  // namespace qw
