// The article list: its views and their statements, the detail line, favourites and opening addresses.

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <atomic>
#include <thread>

#include "storage/database.h"
#include "storage/database_busy.h"
#include "text/encoding.h"
#include "ui/main/article_list.h"
#include "ui/main/keyword_look.h"
#include "ui/main/mini_homepage.h"
#include "ui/main/status_box.h"
#include "ui_harness.h"

using namespace qw;
using namespace qw::test;

namespace {

// 250 articles: the even ids from scheme 12, the odd ones from scheme 5; every tenth a favourite.
void ManyArticles(ProgramDir& dir) {
  dir.WriteSettings({"类别=<论坛>"});
  dir.CreateDatabase();
  std::string sql = "begin;";
  for (int id = 1; id <= 250; ++id) {
    const int scheme = id % 2 == 0 ? 12 : 5;
    sql += "insert into info(id, planname, planid, title, url, other, addtime, issoucang) values(" +
           std::to_string(id) + ", '站" + std::to_string(scheme) + "', " + std::to_string(scheme) + ", '标题" +
           std::to_string(id) + "', 'http://x.example/" + std::to_string(id) + "', '" +
           (id == 250 ? std::string() : "备" + std::to_string(id)) + "', '2016-10-21 9:5 7', " +
           (id % 10 == 0 ? "1" : "0") + ");";
  }
  dir.Sql(sql + "commit;");
}

QStringList Column(ui::ArticleList& list, int column) {
  QStringList cells;
  for (int r = 0; r < list.topLevelItemCount(); ++r) cells << list.topLevelItem(r)->text(column);
  return cells;
}

QPoint RowCentre(ui::ArticleList& list, int row) {
  return list.visualItemRect(list.topLevelItem(row)).center();
}

}  // namespace

class ArticleListTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtPump(); }

  void statementOfEachView_data() {
    QTest::addColumn<int>("view");
    QTest::addColumn<QString>("statement");
    QTest::newRow("all") << 0 << "select * from info where 1 order by id desc LIMIT 100";
    QTest::newRow("favourites") << -999 << "select * from info where issoucang=1 order by id desc LIMIT 100";
    QTest::newRow("scheme 12") << 12 << "select * from info where planid=\"12\" order by id desc LIMIT 100";
    QTest::newRow("watched")
        << -998
        << "select info.* from keyword_marks join info on info.id=keyword_marks.id where "
           "keyword_marks.mark=1 order by keyword_marks.id desc LIMIT 100";
  }

  void statementOfEachView() {
    QFETCH(int, view);
    QFETCH(QString, statement);
    QCOMPARE(QString::fromStdString(ui::ArticleList::ArticleStatement(view)), statement);
  }

  void viewsShowTheNewestHundred() {
    ProgramDir dir;
    ManyArticles(dir);
    auto harness = StartedWindow(dir);
    ui::ArticleList& list = harness->Window().Articles();
    list.ListArticles(ui::kAllArticles);
    QCOMPARE(list.topLevelItemCount(), 100);
    QCOMPARE(list.topLevelItem(0)->text(ui::ArticleList::kId), QStringLiteral("250"));
    QCOMPARE(list.topLevelItem(99)->text(ui::ArticleList::kId), QStringLiteral("151"));
    QVERIFY(list.selectedItems().isEmpty());
    // The cells in their column order: id, site, title, link, time, state (hidden), spare.
    QStringList cells;
    for (int c = 0; c < ui::ArticleList::kColumnCount; ++c) cells << list.topLevelItem(1)->text(c);
    QCOMPARE(cells, (QStringList{"249", "站5", "标题249", "http://x.example/249", "2016-10-21 9:5 7", "0", "备249"}));
    QVERIFY(list.isColumnHidden(ui::ArticleList::kState));
    QCOMPARE(list.headerItem()->text(2), QStringLiteral("帖子标题"));

    list.ListArticles(12);
    QCOMPARE(list.topLevelItemCount(), 100);
    const QStringList sites = Column(list, ui::ArticleList::kSite);
    QCOMPARE(QSet<QString>(sites.begin(), sites.end()), (QSet<QString>{"站12"}));
    QCOMPARE(list.topLevelItem(99)->text(ui::ArticleList::kId), QStringLiteral("52"));

    list.ListArticles(ui::kFavourites);
    QCOMPARE(list.topLevelItemCount(), 25);
    QCOMPARE(list.topLevelItem(0)->text(ui::ArticleList::kId), QStringLiteral("250"));
    dir.Sql("update info set issoucang=0");
    list.ListArticles(ui::kFavourites);
    QCOMPARE(list.topLevelItemCount(), 0);
  }

  void keywordMarksStandOutAndTheWatchedViewListsOnlyWatchedArticles() {
    ProgramDir dir;
    ManyArticles(dir);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    ui::ArticleList& list = window.Articles();
    auto* watchedButton = window.findChild<QToolButton*>(QStringLiteral("关注按钮"));
    QVERIFY(watchedButton != nullptr);

    // A database without the marks' table: no row stands out and the watched view is empty.
    list.ListArticles(ui::kAllArticles);
    QCOMPARE(list.topLevelItemCount(), 100);
    QVERIFY(!list.topLevelItem(0)->font(ui::ArticleList::kTitle).bold());
    QCOMPARE(list.RowMark(0).mark, KeywordMark::kNone);
    watchedButton->click();
    QCOMPARE(list.topLevelItemCount(), 0);

    // Every third article watched, every fifth muted (15 both ways: muted wins when stored, so never both).
    std::string marks =
        "create table keyword_marks(mark INTEGER NOT NULL, id INTEGER NOT NULL, keyword TEXT, "
        "PRIMARY KEY(mark, id)) WITHOUT ROWID;";
    for (int id = 1; id <= 250; ++id) {
      if (id % 5 == 0) {
        marks += "insert into keyword_marks values(2," + std::to_string(id) + ",'广告');";
      } else if (id % 3 == 0) {
        marks += "insert into keyword_marks values(1," + std::to_string(id) + ",'/标题\\d+/');";
      }
    }
    dir.Sql(marks);
    list.ListArticles(ui::kAllArticles);
    for (int r = 0; r < list.topLevelItemCount(); ++r) {
      const int id = list.topLevelItem(r)->text(ui::ArticleList::kId).toInt();
      const KeywordMark expected = id % 5 == 0   ? KeywordMark::kMuted
                                   : id % 3 == 0 ? KeywordMark::kWatched
                                                 : KeywordMark::kNone;
      QCOMPARE(list.RowMark(r).mark, expected);
      QTreeWidgetItem* row = list.topLevelItem(r);
      for (int c = 0; c < ui::ArticleList::kColumnCount; ++c) {
        QCOMPARE(row->font(c).bold(), expected == KeywordMark::kWatched);
        QCOMPARE(row->background(c).color() == ui::WatchedBackground(), expected == KeywordMark::kWatched);
        QCOMPARE(row->foreground(c).color() == ui::MutedForeground(), expected == KeywordMark::kMuted);
      }
      if (expected == KeywordMark::kWatched) {
        QCOMPARE(row->toolTip(ui::ArticleList::kTitle), QStringLiteral("关注词：/标题\\d+/"));
      }
      if (expected == KeywordMark::kMuted)
        QCOMPARE(row->toolTip(ui::ArticleList::kTitle), QStringLiteral("屏蔽词：广告"));
    }

    // 关注: the newest hundred watched articles, newest first, highlighted like everywhere.
    watchedButton->click();
    QCOMPARE(list.topLevelItemCount(), 67);  // multiples of 3 up to 250 that are no multiples of 5
    QCOMPARE(list.topLevelItem(0)->text(ui::ArticleList::kId), QStringLiteral("249"));
    QCOMPARE(list.topLevelItem(66)->text(ui::ArticleList::kId), QStringLiteral("3"));
    QCOMPARE(list.topLevelItem(0)->text(ui::ArticleList::kTitle), QStringLiteral("标题249"));
    QVERIFY(list.topLevelItem(0)->font(ui::ArticleList::kTitle).bold());
    // A mark whose article is gone lists nothing.
    dir.Sql("delete from info where id=249");
    list.ListArticles(ui::kWatchedArticles);
    QCOMPARE(list.topLevelItem(0)->text(ui::ArticleList::kId), QStringLiteral("246"));
  }

  void theFirstViewClosesTheMiniHomepageOnce() {
    ProgramDir dir;
    ManyArticles(dir);
    // A homepage of the user's own, so the page is a web view.
    dir.WriteSettings({"类别=<论坛>", "主页=http://127.0.0.1:9/"});
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    const QString line = QStringLiteral("\n迷你首页已关闭，可点左上角开关重新打开！");
    QCOMPARE(harness->views.alive, 1);
    window.findChild<QToolButton*>(QStringLiteral("全部文章按钮"))->click();
    QVERIFY(!window.Homepage().IsOpen());
    QCOMPARE(harness->views.alive, 0);  // no page view is kept while closed
    QCOMPARE(harness->StatusText().count(line), 1);
    window.findChild<QToolButton*>(QStringLiteral("收藏按钮"))->click();
    QCOMPARE(harness->StatusText().count(line), 1);
    // The switch brings the page back, requested anew.
    window.Homepage().Switch()->click();
    QVERIFY(window.Homepage().IsOpen());
    QCOMPARE(harness->views.loads.size(), std::size_t{2});
    QCOMPARE(harness->views.alive, 1);
  }

  void clicksWriteTheDetailLine() {
    ProgramDir dir;
    ManyArticles(dir);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    QVERIFY(harness->Show());
    ui::ArticleList& list = window.Articles();
    list.ListArticles(ui::kAllArticles);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 0));
    QCOMPARE(harness->StatusText(),
             QStringLiteral("文章ID：250；所属站点：站12；文章标题：标题250；链接：http://x.example/250；"
                            "更新时间：2016-10-21 9:5 7；状态：1；备注："));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 1));
    QVERIFY(harness->StatusText().endsWith(QStringLiteral("；备注：备249")));
    // Empty space below the rows: nothing selected, the labels alone.
    dir.Sql("update info set issoucang=0 where id<>250");
    list.ListArticles(ui::kFavourites);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, list.viewport()->height() - 5));
    QVERIFY(list.selectedItems().isEmpty());
    QCOMPARE(harness->StatusText(),
             QStringLiteral("文章ID：；所属站点：；文章标题：；链接：；更新时间：；状态：；备注："));
  }

  void favouritesAreMarkedThroughTheSqlRunner() {
    ProgramDir dir;
    ManyArticles(dir);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    QVERIFY(harness->Show());
    ui::ArticleList& list = window.Articles();
    dir.Sql("update info set issoucang=0 where id<>250");
    list.ListArticles(ui::kFavourites);
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, RowCentre(list, 0));
    QVERIFY(list.FavouriteAction()->isEnabled());
    list.Menu()->hide();

    // Below the rows: no row is selected any more.
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, QPoint(20, list.viewport()->height() - 5));
    QVERIFY(list.Menu()->isVisible());
    QVERIFY(!list.FavouriteAction()->isEnabled());
    QStringList items;
    for (QAction* action : list.Menu()->actions()) items << action->text() + (action->isEnabled() ? "+" : "-");
    QCOMPARE(items, (QStringList{"收藏文章-", "删除文章-", "清空列表-"}));
    list.Menu()->hide();
    list.ListArticles(ui::kAllArticles);

    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, RowCentre(list, 1));
    QVERIFY(list.FavouriteAction()->isEnabled());
    list.Menu()->hide();
    list.FavouriteAction()->trigger();
    QVERIFY(harness->StatusText().endsWith(QStringLiteral("\nupdate info set issoucang=1 where id=249SQL成功！")));
    QCOMPARE(list.topLevelItem(1)->text(ui::ArticleList::kState), QStringLiteral("0"));  // not refilled
    ResultTable marked = Query(harness->Store().mainConnection, "select issoucang from info where id=249");
    QCOMPARE(marked.Cell(0, 0), std::string("1"));
    // Again on the marked article: the statement runs again and succeeds.
    list.FavouriteAction()->trigger();
    QCOMPARE(harness->StatusText().count(QStringLiteral("where id=249SQL成功！")), 2);
  }

  void aViewWaitsForTheBusyConnectionWithTheWindowAlive() {
    ProgramDir dir;
    ManyArticles(dir);
    auto harness = StartedWindow(dir);
    Storage& storage = harness->Store();
    ui::ArticleList& list = harness->Window().Articles();
    // A statement of a worker holds the flag.
    std::atomic<bool> held{false};
    std::thread worker([&] {
      held = storage.busy.TryAcquire();
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      Execute(storage.mainConnection, "insert into info(id, title) values(251, 'late')");
      storage.busy.Release();
    });
    QTRY_VERIFY(held);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &list, [&] { ++ticks; });
    timer.start(10);
    QElapsedTimer clock;
    clock.start();
    list.ListArticles(ui::kAllArticles);
    worker.join();
    QVERIFY(clock.elapsed() >= 150);
    QVERIFY(ticks >= 5);  // events were handled during the wait
    QCOMPARE(list.topLevelItem(0)->text(ui::ArticleList::kId), QStringLiteral("251"));
  }

  void onlyWebAddressesAreOpened_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("opened");  // empty: refused
    QTest::newRow("http") << "http://x.example/a?b=1" << "http://x.example/a?b=1";
    QTest::newRow("https, capitals") << "HTTPS://x.example/" << "https://x.example/";
    QTest::newRow("no scheme") << "www.x.example/a" << "http://www.x.example/a";
    QTest::newRow("host and port") << "x.example:8080/a" << "http://x.example:8080/a";
    QTest::newRow("javascript") << "javascript:alert(1)" << "";
    QTest::newRow("file") << "file:///etc/passwd" << "";
    QTest::newRow("mailto") << "mailto:a@x.example" << "";
    QTest::newRow("handler") << "steam://run/1" << "";
    QTest::newRow("empty template") << "[]" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("line break") << "http://x.example/\r\nfile:///" << "";
  }

  void onlyWebAddressesAreOpened() {
    QFETCH(QString, address);
    QFETCH(QString, opened);
    ProgramDir dir;
    ManyArticles(dir);
    auto harness = StartedWindow(dir);
    harness->Window().OpenWebAddress(address);
    if (opened.isEmpty()) {
      QVERIFY(harness->opened.empty());
      QVERIFY(harness->StatusText().contains(QStringLiteral("未打开")));
    } else {
      QCOMPARE(harness->opened, (std::vector<QUrl>{QUrl(opened)}));
    }
  }

  void doubleClickOpensTheRowsAddress() {
    ProgramDir dir;
    ManyArticles(dir);
    dir.Sql("update info set url='javascript:alert(1)' where id=249");
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    QVERIFY(harness->Show());
    ui::ArticleList& list = window.Articles();
    list.ListArticles(ui::kAllArticles);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 0));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 1));
    QCOMPARE(harness->opened, (std::vector<QUrl>{QUrl("http://x.example/250")}));
    QVERIFY(harness->StatusText().contains(QStringLiteral("javascript:alert(1)")));
  }

  void hostileTitlesKeepTheirBytes() {
    ProgramDir dir;
    ManyArticles(dir);
    const std::string title = std::string("a\x81\xff'\"") + "\x01" + std::string(5000, 't');
    dir.SqlBytes("insert into info(id, planname, title) values(300, 'p', '" + std::string("a\x81\xff''\"\x01") +
                 std::string(5000, 't') + "')");
    auto harness = StartedWindow(dir);
    ui::ArticleList& list = harness->Window().Articles();
    list.ListArticles(ui::kAllArticles);
    QCOMPARE(list.CellText(0, ui::ArticleList::kTitle), title);
    QVERIFY(list.topLevelItem(0)->text(ui::ArticleList::kTitle).contains(QChar(0xFFFD)));
    list.setCurrentItem(list.topLevelItem(0));
    list.WriteDetailLine();
    QVERIFY(harness->StatusText().contains(QString(5000, 't')));
  }
};

QTEST_MAIN(ArticleListTest)
#include "article_list_test.moc"
