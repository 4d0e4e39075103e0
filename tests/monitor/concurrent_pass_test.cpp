// Passes whose pages are fetched ahead, over boards on several local hosts.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "extract/collect_scheme.h"
#include "monitor/fetch_ahead.h"
#include "monitor/monitor_worker.h"
#include "monitor/scheme_locks.h"
#include "log/status_log.h"
#include "monitor/stoppable_log.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"
#include "storage/sql_runner.h"
#include "support/board_server.h"
#include "support/sanitizers.h"
#include "support/starter_schema.h"
#include "support/statement_trace.h"
#include "support/temp_dir.h"
#include "support/waits.h"
#include "text/encoding.h"

namespace qw {
namespace {

using std::chrono::milliseconds;
constexpr char kStamp[] = "2026-12-11 8:0 0";

using test::Eventually;

// What the program holds for a pass: a fresh database with the given schemes, its cache, a worker's log.
struct Program {
  explicit Program(const std::string& schemes) {
    EXPECT_EQ(OpenDatabase(db, dir / "mavo.sdb", true), OpenResult::Opened);
    EXPECT_TRUE(Execute(db, test::StarterSchema() + schemes)) << LastError(db);
    RefreshSchemeCache(db, cache);
    // Ends the fetch of a server that never answers, well after the slow ones have.
    context.fetchLimits.stallTimeout = milliseconds(800);
    context.timestamp = [] { return std::string(kStamp); };
    // A short pause lets the fetches ahead run while articles are stored.
    context.pauseAfterStore = [] { std::this_thread::sleep_for(milliseconds(5)); };
  }

  void RunConcurrently(const std::vector<int>& queue) {
    RunMonitorWorker(kPassAll, queue, 0, context, stop.get_token());
  }

  // The pass as the worker ran it before pages were fetched ahead.
  void RunSerially(const std::vector<int>& queue) {
    SqlRunner sql(db, busy, log, stop.get_token());
    CollectContext collect{cache,
                           sql,
                           log,
                           flag,
                           completed,
                           context.fetchLimits,
                           stop.get_token(),
                           context.pauseAfterStore,
                           context.timestamp};
    for (const int id : queue) {
      std::optional<SchemeLocks::Hold> hold;
      ASSERT_TRUE(locks.Acquire(id, {}, hold));
      CollectScheme(id, collect);
    }
  }

  int Stored(const std::string& where = "1") {
    return std::stoi(Query(db, "select count(*) from info where " + where).Cell(0, 0));
  }

  test::TempDir dir;
  Connection db;
  DatabaseBusy busy;
  SchemeCache cache;
  SchemeLocks locks;
  CompletedSchemes completed;
  std::atomic<bool> flag{false};
  MemoryStatusLog memory;
  std::stop_source stop;
  StoppableLog log{memory, stop};
  MonitorContext context{cache, db, busy, log, flag, locks, completed};
};

// Boards on local hosts: 127.0.0.2 answers slowly, the boards that come later in the queue sooner, and one
// of its boards sets a cookie; 127.0.0.3 redirects to a board of 127.0.0.2; 127.0.0.4 never answers; nothing
// listens at 127.0.0.5:1.
class ScriptedBoardsTest : public ::testing::Test {
 protected:
  ScriptedBoardsTest() {
    slow_.SetArticles(1, {{3, "C"}, {2, "B"}, {1, "A"}});
    slow_.SetDelay(1, milliseconds(300));
    slow_.SetArticles(2, {{2, "B2"}, {1, "B1"}});
    slow_.SetHeaderLines(2, "Set-Cookie: seen=2; path=/");
    slow_.SetDelay(2, milliseconds(250));
    slow_.SetArticles(3, {{4, "I4"}, {9, "I9"}, {2, "I2"}});
    slow_.SetDelay(3, milliseconds(200));
    slow_.SetDelay(4, milliseconds(100));  // an empty list
    slow_.SetArticles(5, {{2, "refused"}, {1, "kept"}});
    slow_.SetArticles(6, {{1, "X1"}, {2, "X2"}});
    slow_.SetArticles(7, {{5, "R5"}});
    redirecting_.SetRedirect(1, slow_.BoardUrl(7));
    dead_.SetDelay(1, std::chrono::minutes(1));
  }

  std::string Schemes() const {
    return slow_.SchemeInsert(11, 1, "S1", 1, kNewestOnTop, true) +
           slow_.SchemeInsert(12, 1, "S2", 2, kNewestOnTop, true) +
           redirecting_.SchemeInsert(13, 1, "R1", 1, kNewestOnTop, true) +
           slow_.SchemeInsert(14, 1, "S3", 3, kRisingId, true) +
           "update rule set lastid=3 where id=14;" +  // I4 and I9 are new, I2 is not
           dead_.SchemeInsert(15, 1, "D1", 1, kNewestOnTop, true) +
           slow_.SchemeInsert(16, 1, "N1", 1, kNewestOnTop, true) +
           "update rule set url='http://127.0.0.5:1/board-1.html' where id=16;" +
           slow_.SchemeInsert(17, 1, "S4", 4, kNewestOnTop, true) +
           slow_.SchemeInsert(18, 1, "S5", 5, kNewestOnTop, true) +
           slow_.SchemeInsert(19, 1, "S6", 6, kNewestAtBottom, true) +
           // An article the database refuses keeps its scheme's passes looking hits up before storing them.
           "create trigger refuse before insert on info when new.title='refused' "
           "begin select raise(abort, 'refused by test'); end;";
  }

  struct PassRecord {
    std::string log;
    std::vector<std::string> statements;
    std::vector<std::string> schemes;  // arttile, lastid and cookie of each queued scheme, from the cache
  };

  PassRecord RunPass(bool concurrently) {
    Program program(Schemes());
    PassRecord record;
    {
      test::StatementTrace trace;
      if (concurrently) {
        program.RunConcurrently(kQueue);
      } else {
        program.RunSerially(kQueue);
      }
      record.statements = trace.Statements();
    }
    record.log = program.memory.Text();
    for (const int id : kQueue) {
      record.schemes.push_back(program.cache.Get(id, kRuleArttile) + "|" +
                               program.cache.Get(id, kRuleLastid) + "|" + program.cache.Get(id, kRuleCookie));
    }
    return record;
  }

  const std::vector<int> kQueue = {11, 12, 13, 14, 15, 16, 4242, 17, 18, 19};
  test::BoardServer slow_{{"127.0.0.2"}};
  test::BoardServer redirecting_{{"127.0.0.3"}};
  test::BoardServer dead_{{"127.0.0.4"}};
};

TEST_F(ScriptedBoardsTest, AConcurrentPassLogsAndRunsExactlyWhatTheSerialPassDoes) {
  const PassRecord serial = RunPass(false);
  const PassRecord concurrent = RunPass(true);
  EXPECT_EQ(concurrent.log, serial.log);
  EXPECT_EQ(concurrent.statements, serial.statements);
  EXPECT_EQ(concurrent.schemes, serial.schemes);

  // The script reaches what it is meant to.
  EXPECT_NE(serial.log.find("values('S1',11,'A'"), std::string::npos);
  EXPECT_NE(serial.log.find("values('R1',13,'R5'"), std::string::npos);
  EXPECT_NE(serial.log.find("'I9'"), std::string::npos);
  EXPECT_NE(serial.log.find(QW_GBK("SQL出错：")), std::string::npos);
  EXPECT_NE(serial.log.find(QW_GBK("\r\n方案4242不在方案列表中")), std::string::npos);
  EXPECT_NE(serial.log.find(QW_GBK("出错！截取源码为空，请检查方案的采集区域！\r\n任务15已结束")),
            std::string::npos);
  EXPECT_NE(serial.log.find(QW_GBK("出错！截取源码为空，请检查方案的采集区域！\r\n任务16已结束")),
            std::string::npos);
  EXPECT_EQ(serial.schemes[1], "B2|0|seen=2");
  EXPECT_NE(std::find_if(serial.statements.begin(), serial.statements.end(),
                         [](const std::string& s) { return s.starts_with("select count(*) from info"); }),
            serial.statements.end());
}

TEST(ConcurrentPassTest, AStopAbortsTheTransfersInFlightAndNothingFollowsIt) {
  // Board 1 answers at once with three new articles; the others hold their answers for a minute.
  test::BoardServer boards{{"127.0.0.2"}};
  boards.SetArticles(1, {{3, "A3"}, {2, "A2"}, {1, "A1"}});
  std::string schemes;
  std::vector<int> queue;
  for (int board = 1; board <= 6; ++board) {
    schemes += boards.SchemeInsert(30 + board, 1, "S", board, kNewestOnTop, true);
    queue.push_back(30 + board);
    if (board > 1) boards.SetDelay(board, std::chrono::minutes(1));
  }
  Program program(schemes);
  program.context.fetchLimits.stallTimeout = std::chrono::minutes(2);
  std::chrono::steady_clock::time_point stopped;
  program.context.pauseAfterStore = [&] {
    // The slow pages are in flight, as many as one host allows.
    EXPECT_TRUE(Eventually([&] { return boards.Connections().Now() == kTransfersPerHost; }));
    stopped = std::chrono::steady_clock::now();
    program.log.Stop();
  };
  std::vector<std::string> statements;
  {
    test::StatementTrace trace;
    program.RunConcurrently(queue);
    statements = trace.Statements();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(5));
  ASSERT_FALSE(statements.empty());
  EXPECT_TRUE(statements.back().starts_with("insert into info")) << statements.back();
  EXPECT_EQ(program.Stored(), 1);
  EXPECT_EQ(program.memory.Text().find(QW_GBK("已结束")), std::string::npos);
  EXPECT_EQ(program.cache.Get(31, kRuleArttile), "");
  // The transfers were aborted, not left behind: the server sees every client gone.
  EXPECT_TRUE(Eventually([&] { return boards.Connections().Now() == 0; }));

  // The next pass stores the two articles the stop left, once each, and judges every scheme.
  for (int board = 2; board <= 6; ++board) boards.SetDelay(board, milliseconds(0));
  std::stop_source again;
  StoppableLog log{program.memory, again};
  MonitorContext next{program.cache, program.db, program.busy, log, program.flag, program.locks,
                      program.completed};
  next.pauseAfterStore = [] {};
  RunMonitorWorker(kPassAll, queue, 0, next, again.get_token());
  EXPECT_EQ(program.Stored(), 3);
  EXPECT_EQ(program.Stored("title='A1'"), 1);
  EXPECT_EQ(program.cache.Get(31, kRuleArttile), "A3");
  EXPECT_NE(program.memory.Text().find(QW_GBK("\r\n任务36已结束")), std::string::npos);
}

TEST(ConcurrentPassTest, AStoppedPassOpensNoFurtherConnection) {
  // Twenty boards on one host that never answers: the host's share of transfers is in flight at the stop.
  test::HttpTestServer server(test::HttpTestServer::NeverAnswer());
  test::BoardServer names;
  std::string schemes;
  std::vector<int> queue;
  for (int id = 40; id < 60; ++id) {
    schemes += names.SchemeInsert(id, 1, "S", id, kNewestOnTop, true) + "update rule set url='" +
               server.Url("/board.html") + "' where id=" + std::to_string(id) + ";";
    queue.push_back(id);
  }
  Program program(schemes);
  std::thread worker([&] { program.RunConcurrently(queue); });
  EXPECT_TRUE(Eventually([&] { return server.Connections().Now() == kTransfersPerHost; }));
  program.log.Stop();
  worker.join();
  // Every connection the pass opened was opened before the stop.
  EXPECT_EQ(server.ConnectionsOpened(), kTransfersPerHost);
}

TEST(ConcurrentPassTest, AtMostSixteenTransfersAreInFlightAndFourPerHost) {
  // Six hosts with eight boards each, in the queue host after host; every page takes 150 ms.
  test::ConnectionGauge all;
  std::vector<std::unique_ptr<test::BoardServer>> hosts;
  std::string schemes;
  std::vector<int> queue;
  for (int host = 0; host < 6; ++host) {
    hosts.push_back(std::make_unique<test::BoardServer>(
        test::ServerOptions{"127.0.0." + std::to_string(host + 2), &all}));
    for (int board = 1; board <= 8; ++board) {
      hosts.back()->SetDelay(board, milliseconds(150));
      const int id = 100 + host * 8 + board;
      schemes += hosts.back()->SchemeInsert(id, 1, "S", board, kNewestOnTop, true);
      queue.push_back(id);
    }
  }
  Program program(schemes);
  program.RunConcurrently(queue);
  EXPECT_LE(all.Peak(), kTransfersInFlight);
  for (const auto& host : hosts) {
    EXPECT_LE(host->Connections().Peak(), kTransfersPerHost);
    for (int board = 1; board <= 8; ++board) EXPECT_EQ(host->Requests(board), 1);
  }
  EXPECT_NE(program.memory.Text().find(QW_GBK("\r\n任务148已结束")), std::string::npos);
  // The limits are reached, not merely kept.
  if (test::kThreadSanitizer) GTEST_SKIP() << test::kPaceSkipReason;
  EXPECT_EQ(all.Peak(), kTransfersInFlight);
  for (const auto& host : hosts) EXPECT_EQ(host->Connections().Peak(), kTransfersPerHost);
}

TEST(ConcurrentPassTest, PagesHeldForLaterTurnsStayWithinTheirByteBudget) {
  // 4 MiB pages; another pass holds the first scheme, so the pages fetched ahead wait for their turns.
  constexpr std::size_t kPageBytes = 4u << 20;
  static const std::string response = test::MakeResponse(200, std::string(kPageBytes, 'x'));
  std::atomic<int> requests{0};
  test::HttpTestServer server([&](const test::ReceivedRequest&, test::ResponseStream& stream) {
    ++requests;
    (void)stream.Send(response);
  });
  server.KeepRequests(false);
  test::BoardServer names;
  std::string schemes;
  std::vector<int> queue;
  for (int id = 60; id < 80; ++id) {
    schemes += names.SchemeInsert(id, 1, "S", id, kNewestOnTop, true) + "update rule set url='" +
               server.Url("/board.html") + "' where id=" + std::to_string(id) + ";";
    queue.push_back(id);
  }
  Program program(schemes);
  std::optional<SchemeLocks::Hold> held;
  ASSERT_TRUE(program.locks.Acquire(60, {}, held));
  std::thread worker([&] { program.RunConcurrently(queue); });

  // Up to the budget, plus the transfers already under way when it was reached.
  const int budget = static_cast<int>(kFetchAheadBytes / kPageBytes);
  EXPECT_TRUE(Eventually([&] { return requests >= budget; }));
  EXPECT_TRUE(test::NeverWithin([&] { return requests > budget + kTransfersPerHost - 1; }, milliseconds(300)));

  held.reset();
  worker.join();
  EXPECT_EQ(requests, static_cast<int>(queue.size()));
  EXPECT_NE(program.memory.Text().find(QW_GBK("\r\n任务79已结束")), std::string::npos);
}

TEST(ConcurrentPassTest, APassThatMovesMoreThanTheByteBudgetKeepsFetchingAhead) {
  // 1 MiB pages that take 100 ms each: the pass moves half as much again as the budget, taking each page at
  // its turn, so the pages held ahead stay far below it and transfers keep overlapping to the end.
  constexpr std::size_t kPageBytes = 1u << 20;
  const int pages = static_cast<int>(kFetchAheadBytes / kPageBytes) * 3 / 2;
  static const std::string response = test::MakeResponse(200, std::string(kPageBytes, 'x'));
  std::atomic<int> requests{0};
  std::atomic<int> lateOverlap{0};
  std::unique_ptr<test::HttpTestServer> server;
  server = std::make_unique<test::HttpTestServer>(
      [&](const test::ReceivedRequest&, test::ResponseStream& stream) {
        if (++requests > pages - 8) {
          const int now = server->Connections().Now();
          for (int seen = lateOverlap; now > seen && !lateOverlap.compare_exchange_weak(seen, now);) {
          }
        }
        if (stream.HoldFor(milliseconds(100))) (void)stream.Send(response);
      });
  server->KeepRequests(false);
  test::BoardServer names;
  std::string schemes;
  std::vector<int> queue;
  for (int id = 200; id < 200 + pages; ++id) {
    schemes += names.SchemeInsert(id, 1, "S", id, kNewestOnTop, true) + "update rule set url='" +
               server->Url("/board.html") + "' where id=" + std::to_string(id) + ";";
    queue.push_back(id);
  }
  Program program(schemes);
  program.RunConcurrently(queue);
  EXPECT_EQ(requests, pages);
  // The last pages were asked for while others were in flight, as many as the host allows.
  if (test::kThreadSanitizer) GTEST_SKIP() << test::kPaceSkipReason;
  EXPECT_EQ(lateOverlap, kTransfersPerHost);
}

}  // namespace
}  // namespace qw
