// A scheme's health: what a check amounts to, the failures in a row and the two turns the log tells, and
// keeping it in a table of its own that a database may lack or refuse to write.
#include "health/health_book.h"

#include <gtest/gtest.h>

#include <string>

#include "extract/collect_scheme.h"
#include "storage/database.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace qw {
namespace {

TEST(SchemeHealthTest, WhatACheckAmountsTo) {
  struct Case {
    const char* what;
    SchemeOutcome outcome;
    const char* text;
    bool failed;
  };
  SchemeOutcome found;
  found.fetch.status = 200;
  found.hits = 12;
  found.stored = {{"A", "a"}, {"B", "b"}};
  SchemeOutcome steady;
  steady.fetch.status = 200;
  steady.nothingNew = true;
  SchemeOutcome unreachable;
  unreachable.fetch.error = Utf8ToGbk("无法连接服务器");
  SchemeOutcome forbidden;
  forbidden.fetch.status = 403;
  forbidden.hits = 3;  // an error page is no success, whatever it holds
  SchemeOutcome empty;
  empty.fetch.status = 200;
  empty.regionEmpty = true;
  SchemeOutcome unmatched;
  unmatched.fetch.status = 200;
  SchemeOutcome unsettled;  // through the browser, which has no status to give
  unsettled.hits = 4;
  unsettled.renderDeadlineHit = true;
  SchemeOutcome unrendered;
  unrendered.fetch.error = Utf8ToGbk("浏览器渲染失败：渲染程序在期限内没有回应");
  const Case cases[] = {
      {"hits", found, "匹配12条，新增2篇", false},
      {"steady", steady, "无新文章", false},
      {"no connection", unreachable, "无法连接服务器", true},
      {"403", forbidden, "HTTP 403", true},
      {"no region", empty, "采集区域为空", true},
      {"no hit", unmatched, "匹配结果为0", true},
      {"rendered at the deadline", unsettled, "匹配4条，新增0篇（浏览器渲染到期限）", false},
      {"no rendered page", unrendered, "浏览器渲染失败：渲染程序在期限内没有回应", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CheckResult result = ResultOf(c.outcome);
    EXPECT_EQ(GbkToUtf8(result.outcome), c.text);
    EXPECT_EQ(result.failed, c.failed);
    EXPECT_EQ(result.stored, static_cast<int>(c.outcome.stored.size()));
  }
}

CheckResult Failed(const char* why) { return {Utf8ToGbk(why), true, 0}; }
CheckResult Succeeded(int stored) { return {Utf8ToGbk("匹配5条"), false, stored}; }

TEST(HealthBookTest, TurnsFailingAtTheThirdFailureInARowAndRecoversOnce) {
  HealthBook book;
  EXPECT_EQ(GbkToUtf8(HealthSummary(book.Of(4))), "尚未检查");
  EXPECT_EQ(book.Record(4, Succeeded(2), "t1"), HealthTurn::kNone);
  EXPECT_EQ(book.Record(4, Failed("HTTP 500"), "t2"), HealthTurn::kNone);
  EXPECT_EQ(book.Record(4, Succeeded(0), "t3"), HealthTurn::kNone);  // two short of failing: no turn
  EXPECT_EQ(book.Record(4, Failed("HTTP 500"), "t4"), HealthTurn::kNone);
  EXPECT_EQ(book.Record(4, Failed("HTTP 500"), "t5"), HealthTurn::kNone);
  EXPECT_FALSE(IsFailing(book.Of(4)));
  EXPECT_EQ(book.Record(4, Failed("匹配结果为0"), "t6"), HealthTurn::kFailing);
  EXPECT_EQ(book.Record(4, Failed("匹配结果为0"), "t7"), HealthTurn::kNone);  // told once
  const SchemeHealth failing = book.Of(4);
  EXPECT_TRUE(IsFailing(failing));
  EXPECT_EQ(failing.failures, 4);
  EXPECT_EQ(GbkToUtf8(HealthSummary(failing)),
            "上次检查：t7\n结果：匹配结果为0\n连续失败：4 次\n上次有新文章：t1");

  book.Paused(4, "t9");
  EXPECT_EQ(GbkToUtf8(HealthSummary(book.Of(4))),
            "上次检查：t7\n结果：匹配结果为0\n连续失败：4 次\n上次有新文章：t1\n站点要求暂停访问，t9 前跳过");
  EXPECT_EQ(book.Record(4, Succeeded(0), "t8"), HealthTurn::kRecovered);
  const SchemeHealth recovered = book.Of(4);
  EXPECT_EQ(recovered.failures, 0);
  EXPECT_EQ(recovered.pausedUntil, "");
  EXPECT_EQ(recovered.lastNew, "t1");
  EXPECT_EQ(book.Record(4, Succeeded(1), "t9"), HealthTurn::kNone);
  EXPECT_EQ(book.Of(4).lastNew, "t9");
}

class HealthStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(OpenDatabase(db_, dir_ / "mavo.sdb", true), OpenResult::Opened);
    ASSERT_TRUE(Execute(db_, test::StarterSchema()));
  }

  bool HasTable() {
    return Query(db_, "select 1 from sqlite_master where name='scheme_state'").RowCount() == 1;
  }
  std::string Kept(int id, const char* column) {
    return Query(db_, std::string("select ") + column + " from scheme_state where id=" + std::to_string(id))
        .Cell(0, 0);
  }

  test::TempDir dir_;
  Connection db_;
};

TEST_F(HealthStoreTest, KeptAcrossRestartsInATableMadeAtTheFirstWrite) {
  HealthBook empty;
  empty.Load(db_);  // a database of an older version: no table, no health, nothing created
  EXPECT_TRUE(empty.All().empty());
  EXPECT_FALSE(HasTable());

  HealthBook book;
  book.Record(1, Succeeded(3), "t1");
  book.Record(2, Failed("HTTP 404"), "t1");
  book.Paused(2, "t5");
  ASSERT_TRUE(book.Save(db_, false));
  ASSERT_TRUE(HasTable());

  HealthBook restarted;
  restarted.Load(db_);
  ASSERT_EQ(restarted.All().size(), 2u);
  EXPECT_EQ(restarted.Of(1).lastNew, "t1");
  EXPECT_EQ(GbkToUtf8(restarted.Of(2).outcome), "HTTP 404");
  EXPECT_EQ(restarted.Of(2).failures, 1);
  EXPECT_EQ(restarted.Of(2).pausedUntil, "");  // a pause does not outlive the run

  // A check that only moves the time, or adds a failure of the same kind, waits for a full save; one that
  // changes what the scheme shows does not.
  book.Record(1, Succeeded(0), "t2");
  book.Record(2, Failed("HTTP 404"), "t2");
  ASSERT_TRUE(book.Save(db_, false));
  EXPECT_EQ(Kept(1, "last_check"), "t1");
  EXPECT_EQ(Kept(2, "failures"), "1");
  book.Record(2, Failed("HTTP 500"), "t3");
  ASSERT_TRUE(book.Save(db_, false));
  EXPECT_EQ(Kept(2, "failures"), "3");
  ASSERT_TRUE(book.Save(db_, true));
  EXPECT_EQ(Kept(1, "last_check"), "t2");
}

TEST_F(HealthStoreTest, ADatabaseThatRefusesWritesKeepsTheHealthInMemoryAndSaysSoOnce) {
  ASSERT_TRUE(Execute(db_, "PRAGMA query_only=1"));
  HealthBook book;
  book.Load(db_);
  EXPECT_EQ(book.Record(7, Failed("HTTP 500"), "t1"), HealthTurn::kNone);
  std::string error;
  EXPECT_FALSE(book.Save(db_, true, &error));
  EXPECT_FALSE(error.empty());
  book.Record(7, Failed("HTTP 500"), "t2");
  error.clear();
  EXPECT_FALSE(book.Save(db_, true, &error));
  EXPECT_EQ(error, "");  // said once
  EXPECT_EQ(book.Of(7).failures, 2);
  EXPECT_FALSE(HasTable());

  // Writable again: what was refused is written with the next save.
  ASSERT_TRUE(Execute(db_, "PRAGMA query_only=0"));
  EXPECT_TRUE(book.Save(db_, false));
  EXPECT_EQ(Kept(7, "failures"), "2");
}

}  // namespace
}  // namespace qw
