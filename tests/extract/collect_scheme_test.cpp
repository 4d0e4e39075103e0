#include "extract/collect_scheme.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "log/status_log.h"
#include "storage/database.h"
#include "storage/scheme_cache.h"
#include "storage/sql_literal.h"
#include "storage/sql_runner.h"
#include "support/http_test_server.h"
#include "support/starter_schema.h"
#include "support/statement_trace.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

constexpr char kStamp[] = "2026-12-9 10:0 0";

struct Article {
  int id;
  std::string title;  // GBK
};

// A forum list page in GBK: the newest article first unless the caller orders otherwise.
std::string ListPage(const std::vector<Article>& articles) {
  std::string page = "<html><head><title>board</title></head>\r\n<body><ul id=\"list\">\r\n";
  for (const Article& a : articles) {
    page += "<li><a href=\"thread-" + std::to_string(a.id) + ".html\">" + a.title + "</a></li>\r\n";
  }
  return page + "</ul></body></html>\r\n";
}

class CollectSchemeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(OpenDatabase(db_, dir_ / "mavo.sdb", /*create=*/true), OpenResult::Opened);
    ASSERT_TRUE(Execute(db_, test::StarterSchema()));
    context_.pauseAfterStore = [this] { ++pauses_; };
    context_.timestamp = [] { return std::string(kStamp); };
  }

  // Serves the current page to every request.
  void Serve(std::string page) {
    std::lock_guard lock(pageMutex_);
    page_ = std::move(page);
  }

  // Adds a scheme watching the test server's list page and loads it into the cache; returns its id.
  int AddScheme(int mode, std::string lastId = "NULL", std::string arttile = "NULL") {
    const std::string url = server_.Url("/forum-1.html");
    const std::string sql =
        "insert into "
        "rule(class,code,name,url,cookie,ua,arttile,buquan,regular,\"before\",\"after\",tindex,uindex,"
        "oindex,isdo,lastid,type) values(1,'1','" +
        SqlQuoted(QW_GBK("测试版块")) + "','" + url + "','sid=1','qw-test'," + arttile +
        ",'http://bbs.example/thread-[1].html'," + "'<a href=\"thread-(\\d+)\\.html\">([^<]+)</a>','" +
        QW_GBK("<ul id=#引号list#引号>") + "','</ul>','2','1','1','1'," + lastId + ",'" +
        std::to_string(mode) + "')";
    EXPECT_TRUE(Execute(db_, sql)) << LastError(db_);
    RefreshSchemeCache(db_, cache_);
    return ToInteger(Query(db_, "select max(id) from rule").Cell(0, 0));
  }

  std::vector<std::string> StoredTitles() {
    std::vector<std::string> titles;
    for (const auto& row : Query(db_, "select title from info order by id").rows) titles.push_back(row[0]);
    return titles;
  }

  std::string RuleCell(int id, const char* column) {
    return Query(db_, std::string("select ") + column + " from rule where id=" + std::to_string(id))
        .Cell(0, 0);
  }

  void Collect(int id) { CollectScheme(id, context_); }

  test::TempDir dir_;
  Connection db_;
  DatabaseBusy busy_;
  MemoryStatusLog log_;
  SqlRunner sql_{db_, busy_, log_};
  SchemeCache cache_;
  std::atomic<bool> flag_{false};
  int pauses_ = 0;
  CompletedSchemes completed_;
  CollectContext context_{cache_, sql_, log_, flag_, completed_};
  std::mutex pageMutex_;
  std::string page_;
  test::HttpTestServer server_{[this](const test::ReceivedRequest&) {
    std::lock_guard lock(pageMutex_);
    return test::MakeResponse(200, page_, "Set-Cookie: seen=yes; path=/");
  }};
};

TEST_F(CollectSchemeTest, NewSchemeStoresEveryHitOldestFirstAndLogsEachStep) {
  Serve(ListPage({{3, "C"}, {2, "B"}}));
  const int id = AddScheme(kNewestOnTop);
  Collect(id);

  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"B", "C"}));
  EXPECT_TRUE(flag_);
  EXPECT_EQ(pauses_, 2);
  EXPECT_EQ(cache_.Get(id, kRuleArttile), "C");
  EXPECT_EQ(RuleCell(id, "arttile"), "C");
  EXPECT_EQ(RuleCell(id, "arturl"), "http://bbs.example/thread-3.html");
  EXPECT_EQ(RuleCell(id, "lasttime"), kStamp);

  const std::string name = QW_GBK("测试版块");
  const std::string insert =
      "\r\ninsert into info(planname,planid,title,url,other,addtime,issoucang) values('" + name + "'," +
      std::to_string(id) + ",'";
  const std::string ok = QW_GBK("SQL成功！");
  const std::string expected =
      QW_GBK("源码中末发现最后文章标记！") + insert + "B','http://bbs.example/thread-2.html','2','" + kStamp +
      "',0)" + ok + insert + "C','http://bbs.example/thread-3.html','3','" + kStamp + "',0)" + ok +
      "\r\nupdate rule set arttile='C',arturl='http://bbs.example/thread-3.html',lasttime='" + kStamp +
      "',lastid=0 where id=" + std::to_string(id) + ok + QW_GBK("\r\n任务") + std::to_string(id) +
      QW_GBK("已结束----") + kStamp;
  EXPECT_EQ(log_.Text(), expected);
}

TEST_F(CollectSchemeTest, NewestOnTopStoresOnlyWhatIsAboveTheMarker) {
  Serve(ListPage({{3, "C"}, {2, "B"}}));
  const int id = AddScheme(kNewestOnTop);
  Collect(id);
  flag_ = false;

  Serve(ListPage({{5, "E"}, {4, "D"}, {3, "C"}, {2, "B"}}));
  Collect(id);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"B", "C", "D", "E"}));
  EXPECT_EQ(cache_.Get(id, kRuleArttile), "E");
  EXPECT_TRUE(flag_);

  // Nothing new: the marker stands at the start of the region, no hit, no update, flag untouched.
  flag_ = false;
  const std::string before = log_.Text();
  Collect(id);
  EXPECT_EQ(StoredTitles().size(), 4u);
  EXPECT_FALSE(flag_);
  EXPECT_EQ(log_.Text().substr(before.size()),
            QW_GBK("\r\n任务") + std::to_string(id) + QW_GBK("已结束----") + kStamp);
}

TEST_F(CollectSchemeTest, NewestAtBottomNeverStoresAnArticleTwice) {
  Serve(ListPage({{1, "A"}, {2, "B"}}));
  const int id = AddScheme(kNewestAtBottom);
  Collect(id);
  EXPECT_EQ(cache_.Get(id, kRuleArttile), "B");

  Serve(ListPage({{1, "A"}, {2, "B"}, {3, "C"}, {4, "D"}}));
  Collect(id);
  Collect(id);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"B", "A", "D", "C"}));
}

TEST_F(CollectSchemeTest, RisingIdStoresOnlyIdsAboveLastId) {
  Serve(ListPage({{118, "old"}, {125, "newest"}, {121, "newer"}}));
  const int id = AddScheme(kRisingId, "120");
  Collect(id);

  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"newer", "newest"}));
  EXPECT_EQ(RuleCell(id, "lastid"), "125");
  EXPECT_EQ(cache_.Get(id, kRuleLastid), "125");
  EXPECT_EQ(RuleCell(id, "arturl"), "http://bbs.example/thread-125.html");
  EXPECT_EQ(RuleCell(id, "arttile"), "old");
  EXPECT_EQ(log_.Text().find(QW_GBK("源码中末发现最后文章标记！")), std::string::npos);

  // No id above 125 now: nothing stored, the scheme untouched, the flag not raised.
  flag_ = false;
  Execute(db_, "update rule set lasttime='untouched' where id=" + std::to_string(id));
  Collect(id);
  EXPECT_EQ(StoredTitles().size(), 2u);
  EXPECT_FALSE(flag_);
  EXPECT_EQ(RuleCell(id, "lasttime"), "untouched");
}

TEST_F(CollectSchemeTest, TitlesThatLookLikeSqlAreStoredExactly) {
  // A quote byte right after a GBK lead byte, quotes, a backslash, a semicolon and a statement of its own.
  const std::string hostile = QW_GBK("标题") + "\x81'" + "it's; drop table info; -- \\ '";
  Serve(ListPage({{7, hostile}}));
  const int id = AddScheme(kNewestOnTop);
  Collect(id);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{hostile}));
  EXPECT_EQ(RuleCell(id, "arttile"), hostile);
  EXPECT_EQ(log_.Text().find(QW_GBK("SQL出错")), std::string::npos);
}

TEST_F(CollectSchemeTest, AFailedInsertKeepsTheMarkerSoTheArticleComesBack) {
  Serve(ListPage({{3, "refused"}, {2, "B"}}));
  const int id = AddScheme(kNewestOnTop);
  ASSERT_TRUE(Execute(db_,
                      "create trigger refuse before insert on info when new.title='refused' "
                      "begin select raise(abort, 'refused by test'); end"));
  Collect(id);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"B"}));
  EXPECT_EQ(cache_.Get(id, kRuleArttile), "");
  EXPECT_EQ(RuleCell(id, "arttile"), "");
  EXPECT_NE(log_.Text().find(QW_GBK("SQL出错：") + "refused by test"), std::string::npos);

  // The next pass stores the refused article and skips the one stored before.
  ASSERT_TRUE(Execute(db_, "drop trigger refuse"));
  Collect(id);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"B", "refused"}));
  EXPECT_EQ(cache_.Get(id, kRuleArttile), "refused");
}

TEST_F(CollectSchemeTest, AnArticleTheDatabaseAlwaysRefusesNeverMakesTheOthersComeTwice) {
  Serve(ListPage({{3, "C"}, {2, "refused"}, {1, "A"}}));
  const int id = AddScheme(kNewestOnTop);
  ASSERT_TRUE(Execute(db_,
                      "create trigger refuse before insert on info when new.title='refused' "
                      "begin select raise(abort, 'refused by test'); end"));
  Collect(id);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"A", "C"}));
  for (int cycle = 0; cycle < 3; ++cycle) {
    flag_ = false;
    Collect(id);
    EXPECT_FALSE(flag_);  // nothing new was stored: no alert
  }
  // A new article on top is stored once, and alerts; the refused one is still offered, still alone.
  Serve(ListPage({{4, "D"}, {3, "C"}, {2, "refused"}, {1, "A"}}));
  Collect(id);
  EXPECT_TRUE(flag_);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"A", "C", "D"}));
  EXPECT_EQ(RuleCell(id, "arttile"), "");
  ASSERT_TRUE(Execute(db_, "drop trigger refuse"));
  Collect(id);
  Collect(id);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"A", "C", "D", "refused"}));
  EXPECT_EQ(RuleCell(id, "arttile"), "D");
}

TEST_F(CollectSchemeTest, TheFirstPassOfARunSkipsWhatAnEarlierRunStoredBeforeItsMarkerMoved) {
  // An earlier run stored B, then ended before moving the marker.
  Serve(ListPage({{3, "C"}, {2, "B"}}));
  const int id = AddScheme(kNewestOnTop);
  ASSERT_TRUE(Execute(db_, "insert into info(planname,planid,title,url) values('x'," + std::to_string(id) +
                               ",'B','http://bbs.example/thread-2.html')"));
  Collect(id);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"B", "C"}));
  EXPECT_EQ(cache_.Get(id, kRuleArttile), "C");
}

// The look-ups a pass made before storing, as their statements.
int LookUps(const test::StatementTrace& trace) {
  int count = 0;
  for (const std::string& statement : trace.Statements()) {
    count += statement.starts_with("select count(*) from info where planid=") ? 1 : 0;
  }
  return count;
}

TEST_F(CollectSchemeTest, PassesLookHitsUpUntilOneCompletesAndAgainAfterOneIsCutShort) {
  Serve(ListPage({{3, "C"}, {2, "B"}}));
  const int id = AddScheme(kNewestOnTop);
  Collect(id);
  {
    // After a complete pass the marker is trusted: nothing is looked up.
    Serve(ListPage({{5, "E"}, {4, "D"}, {3, "C"}, {2, "B"}}));
    test::StatementTrace trace;
    Collect(id);
    EXPECT_EQ(LookUps(trace), 0);
  }
  // A stop after the first insert leaves the marker at E with F stored.
  Serve(ListPage({{7, "G"}, {6, "F"}, {5, "E"}, {4, "D"}}));
  std::stop_source stop;
  context_.stop = stop.get_token();
  context_.pauseAfterStore = [&] { stop.request_stop(); };
  Collect(id);
  ASSERT_EQ(cache_.Get(id, kRuleArttile), "E");
  context_.stop = {};
  context_.pauseAfterStore = [] {};
  {
    test::StatementTrace trace;
    Collect(id);
    EXPECT_EQ(LookUps(trace), 2);
  }
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"B", "C", "D", "E", "F", "G"}));
}

TEST_F(CollectSchemeTest, AMarkerTheDatabaseRefusedLeavesTheNextPassesLookingUp) {
  Serve(ListPage({{3, "C"}, {2, "B"}}));
  const int id = AddScheme(kNewestOnTop);
  ASSERT_TRUE(Execute(db_,
                      "create trigger refuse before update on rule "
                      "begin select raise(abort, 'refused by test'); end"));
  Collect(id);
  ASSERT_EQ(StoredTitles(), (std::vector<std::string>{"B", "C"}));
  ASSERT_EQ(RuleCell(id, "arttile"), "");
  // 刷新方案列表 brings the old marker back; the next pass offers B and C again and must not store them.
  ASSERT_TRUE(Execute(db_, "drop trigger refuse"));
  RefreshSchemeCache(db_, cache_);
  Collect(id);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"B", "C"}));
  EXPECT_EQ(RuleCell(id, "arttile"), "C");
}

TEST_F(CollectSchemeTest, AnEmptyPageStoresNothingAndSaysWhy) {
  Serve("");
  const int id = AddScheme(kNewestOnTop, "NULL", "'C'");
  Collect(id);
  EXPECT_TRUE(StoredTitles().empty());
  EXPECT_FALSE(flag_);
  EXPECT_EQ(cache_.Get(id, kRuleArttile), "C");
  EXPECT_EQ(log_.Text(),
            QW_GBK("源码中末发现最后文章标记！出错！截取源码为空，请检查方案的采集区域！\r\n任务") +
                std::to_string(id) + QW_GBK("已结束----") + kStamp);
}

TEST_F(CollectSchemeTest, TheMergedCookieStaysInTheCacheOnly) {
  Serve(ListPage({{1, "A"}}));
  const int id = AddScheme(kNewestOnTop);
  Collect(id);
  EXPECT_EQ(cache_.Get(id, kRuleCookie), "seen=yes; sid=1");
  EXPECT_EQ(RuleCell(id, "cookie"), "sid=1");
  const std::vector<test::ReceivedRequest> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].raw.find("\r\nCookie: sid=1\r\n"), std::string::npos);
}

TEST_F(CollectSchemeTest, AUtf8PageIsStoredAsGbk) {
  Serve(GbkToUtf8(ListPage({{1, QW_GBK("新帖子")}})));
  const int id = AddScheme(kNewestOnTop);
  ASSERT_TRUE(Execute(db_, "update rule set code='0' where id=" + std::to_string(id)));
  RefreshSchemeCache(db_, cache_);
  Collect(id);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{QW_GBK("新帖子")}));
}

TEST_F(CollectSchemeTest, AStopEndsThePassBetweenTwoStatementsAndWritesNothingMore) {
  Serve(ListPage({{3, "C"}, {2, "B"}, {1, "A"}}));
  const int id = AddScheme(kNewestOnTop);
  std::stop_source stop;
  context_.stop = stop.get_token();
  context_.pauseAfterStore = [&] { stop.request_stop(); };
  Collect(id);

  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"A"}));
  EXPECT_EQ(cache_.Get(id, kRuleArttile), "");
  EXPECT_EQ(log_.Text().find(QW_GBK("已结束")), std::string::npos);
  EXPECT_EQ(log_.Text().find("update rule"), std::string::npos);

  // The next pass offers all three again and stores the two the stop left.
  context_.stop = {};
  context_.pauseAfterStore = [] {};
  Collect(id);
  EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(cache_.Get(id, kRuleArttile), "C");
}

TEST_F(CollectSchemeTest, APageJudgedAfterAStopLeavesNoTrace) {
  // The page and the cookie its site set arrived, but the worker was stopped before the page's turn.
  const int id = AddScheme(kNewestOnTop);
  std::stop_source stop;
  stop.request_stop();
  context_.stop = stop.get_token();
  CollectFetchedPage(id, *cache_.Row(id), FetchedPage{ListPage({{1, "A"}}), "seen=yes; sid=1"}, context_);
  EXPECT_EQ(cache_.Get(id, kRuleCookie), "sid=1");
  EXPECT_TRUE(StoredTitles().empty());
  EXPECT_TRUE(log_.Text().empty());
}

TEST_F(CollectSchemeTest, ASchemeMissingFromTheCacheIsReported) {
  Collect(4242);
  EXPECT_NE(log_.Text().find(QW_GBK("\r\n方案4242")), std::string::npos);
  EXPECT_NE(log_.Text().find(QW_GBK("\r\n任务4242已结束----")), std::string::npos);
}

}  // namespace
}  // namespace qw
