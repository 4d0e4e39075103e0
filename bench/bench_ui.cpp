// The windows: start-up with a filled tree, the article list on a million articles, the status box when long.
//
//   BM_BareWindowShown         a plain Qt window shown until the screen has it (the baseline)
//   BM_StartUp                 the main window created, started (settings, database, 200 schemes in 10
//                              categories) and shown until the screen has it; the page view is a bare widget
//                              (the program's own is a helper process, started beside it)
//   BM_BareQuery/view          the view's query alone on 1,000,000 articles
//   BM_ListArticles/view       ListArticles from call to filled list: view 0 all, -999 favourites, -998
//                              watched (关注), 12 a scheme; one article in a thousand is a favourite, as many
//                              are watched and one in fifty muted
//   BM_ListArticlesNoIndex     the same on a copy of the database without the starter database's indexes
//   BM_StatusAppend/lines      one line appended to a status box that already holds `lines` lines
// Goals: BM_StartUp at most 1 s; BM_ListArticles at most 20 ms for each view.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "storage/database.h"
#include "storage/keyword_marks.h"
#include "storage/storage.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "ui/main/article_list.h"
#include "ui/main/category_tree.h"
#include "ui/main/main_window.h"
#include "ui/main/status_box.h"
#include "window_bench.h"

namespace qw {
namespace {

using bench::ExecOrAbort;
using bench::WaitUntilShown;

// 200 schemes in 10 categories.
const std::filesystem::path& BoardDirectory() {
  static test::TempDir dir;
  static const bool made = [] {
    std::string categories;
    for (int c = 1; c <= 10; ++c)
      categories.append("<").append(Utf8ToGbk("分类")).append(std::to_string(c)).append(">");
    std::ofstream(dir / "mavonet.ini", std::ios::binary)
        << Utf8ToGbk("[配置]\r\n高度=720\r\n宽度=1000\r\n") << Utf8ToGbk("类别=") << categories << "\r\n";
    std::string sql = test::StarterSchema() + "begin;";
    for (int id = 1; id <= 200; ++id) {
      sql += "insert into rule(id, class, name, url, isdo, type) values(" + std::to_string(id) + ", " +
             std::to_string((id - 1) % 10 + 1) + ", '" + Utf8ToGbk("论坛版块") + std::to_string(id) +
             "', 'http://bbs.example/forum-" + std::to_string(id) + "-1.html', '1', '0');";
    }
    ExecOrAbort(dir / "mavo.sdb", sql + "commit;");
    return true;
  }();
  (void)made;
  return dir.path();
}

// 1,000,000 articles over 200 schemes, one in a thousand a favourite; with and without the indexes.
const std::filesystem::path& ArticleDirectory(bool indexes) {
  static test::TempDir withIndexes;
  static test::TempDir withoutIndexes;
  static const bool made = [] {
    const std::string fill =
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000000) "
        "insert into info(id, planname, planid, title, url, other, addtime, issoucang) "
        "select i, 'site' || (i % 200 + 1), i % 200 + 1, 'title of article number ' || i, "
        "'http://bbs.example/thread-' || i || '-1-1.html', '', '2016-10-21 9:5 7', i % 1000 = 0 from n;";
    ExecOrAbort(withIndexes / "mavo.sdb", test::StarterSchema() + fill);
    // Keyword marks as rounds record them: one article in a thousand watched, as many as are favourites,
    // and one in fifty muted.
    {
      Connection connection;
      OpenDatabase(connection, withIndexes / "mavo.sdb");
      if (!EnsureKeywordMarks(connection)) std::abort();
    }
    ExecOrAbort(
        withIndexes / "mavo.sdb",
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000000) "
        "insert into keyword_marks(mark, id, keyword) select case when i % 1000 = 500 then 1 else 2 end, "
        "i, 'keyword' from n where i % 1000 = 500 or i % 50 = 7;");
    std::filesystem::copy_file(withIndexes / "mavo.sdb", withoutIndexes / "mavo.sdb");
    ExecOrAbort(withoutIndexes / "mavo.sdb", "drop index info_planid; drop index info_issoucang;");
    return true;
  }();
  (void)made;
  return indexes ? withIndexes.path() : withoutIndexes.path();
}

ui::WindowSeams QuietSeams(ui::HomepageViewFactory views) {
  ui::WindowSeams seams;
  seams.homepageViews = std::move(views);
  seams.openAddress = [](const QUrl&) {};
  seams.trayAvailable = [] { return false; };
  seams.notificationBus = bench::NoNotificationBus();
  seams.openOptions = [](QWidget*, int) {};
  return seams;
}

void BM_BareWindowShown(benchmark::State& state) {
  for (auto _ : state) {
    QWidget window;
    window.resize(1000, 720);
    window.show();
    WaitUntilShown(window);
  }
}
BENCHMARK(BM_BareWindowShown)->Unit(benchmark::kMillisecond)->Iterations(10);

void StartUp(benchmark::State& state, const ui::HomepageViewFactory& views) {
  const std::filesystem::path& dir = BoardDirectory();
  for (auto _ : state) {
    Storage storage;
    ui::MainWindow window(storage, dir, QuietSeams(views));
    window.Start();
    window.show();
    WaitUntilShown(window);
    if (window.Tree().ItemCount() != 210) state.SkipWithError("tree not filled");
  }
}

void BM_StartUp(benchmark::State& state) { StartUp(state, bench::BareHomepageViews()); }
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_BareQuery(benchmark::State& state) {
  Connection connection;
  OpenDatabase(connection, ArticleDirectory(true) / "mavo.sdb");
  const std::string statement = ui::ArticleList::ArticleStatement(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(Query(connection, statement));
}
BENCHMARK(BM_BareQuery)->Arg(0)->Arg(-999)->Arg(-998)->Arg(12)->Unit(benchmark::kMillisecond);

void ListArticles(benchmark::State& state, bool indexes) {
  Storage storage;
  ui::MainWindow window(storage, ArticleDirectory(indexes), QuietSeams(bench::BareHomepageViews()));
  window.Start();
  window.show();
  WaitUntilShown(window);
  const int view = static_cast<int>(state.range(0));
  for (auto _ : state) {
    window.Articles().ListArticles(view);
    if (window.Articles().topLevelItemCount() != 100) state.SkipWithError("view not filled");
  }
}

void BM_ListArticles(benchmark::State& state) { ListArticles(state, true); }
BENCHMARK(BM_ListArticles)->Arg(0)->Arg(-999)->Arg(-998)->Arg(12)->Unit(benchmark::kMillisecond);

void BM_ListArticlesNoIndex(benchmark::State& state) { ListArticles(state, false); }
BENCHMARK(BM_ListArticlesNoIndex)->Arg(0)->Arg(-999)->Arg(-998)->Arg(12)->Unit(benchmark::kMillisecond);

void BM_StatusAppend(benchmark::State& state) {
  ui::StatusBox box;
  box.resize(730, 30);
  box.show();
  WaitUntilShown(box);
  const std::string line =
      Utf8ToGbk("\r\ninsert into info(planname,planid,title) values('论坛',12,'一篇新帖子的标题')SQL成功！");
  for (int i = 0; i < state.range(0); ++i) box.AppendStatusLine(line);
  QCoreApplication::processEvents();
  for (auto _ : state) {
    box.AppendStatusLine(line);
    QCoreApplication::processEvents();  // the repaint belongs to the append
  }
}
BENCHMARK(BM_StatusAppend)->Arg(0)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qw

int main(int argc, char** argv) {
  qw::bench::WindowBenchApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
