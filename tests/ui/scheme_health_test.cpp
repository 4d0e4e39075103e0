// Each scheme's health as the window shows it: the tooltip and warning icon of its tree item, the lines when
// it turns failing and when it recovers, a site that asks for a pause, and a database that lacks the health's
// table or refuses to write it.

#include <QAbstractButton>
#include <QTextBrowser>
#include <QtTest>

#include "storage/database.h"
#include "support/board_server.h"
#include "ui/main/category_tree.h"
#include "ui/main/monitor_controller.h"
#include "ui/main/status_box.h"
#include "ui_harness.h"

using namespace qw;
using namespace qw::test;

namespace {

// 论坛 holds A [3] (board 1) and B [5] (board 2); tree indexes 1 and 2.
struct Boards {
  explicit Boards(ProgramDir& dir) {
    dir.WriteSettings({"类别=<论坛>"});
    dir.CreateDatabase();
    dir.SqlBytes(server.SchemeInsert(3, 1, "A", 1, 0, true) + server.SchemeInsert(5, 1, "B", 2, 0, true));
    server.SetArticles(2, {{1, "B1"}});
  }
  BoardServer server;
};

constexpr int kItemA = 1;
constexpr int kItemB = 2;

// A one-off pass over every scheme, waited for.
void Pass(ui::MainWindow& window) {
  window.findChild<QAbstractButton*>(QStringLiteral("获取"))->click();
  QTRY_COMPARE(window.Monitor().ActiveWorkers(), 0);
  // The health reaches the tree through the window's queue.
  QCoreApplication::processEvents();
}

QString Tooltip(ui::MainWindow& window, int index) { return window.Tree().ItemAt(index)->toolTip(0); }

bool TableKept(const ProgramDir& dir) {
  Connection connection;
  OpenDatabase(connection, dir.Database());
  return Query(connection, "select 1 from sqlite_master where name='scheme_state'").RowCount() == 1;
}

}  // namespace

class SchemeHealthTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtPump(); }

  void failingThreeTimesThenRecovering() {
    ProgramDir dir;
    Boards boards(dir);
    boards.server.SetStatus(1, 500);
    {
      auto harness = StartedWindow(dir);
      ui::MainWindow& window = harness->Window();
      QCOMPARE(Tooltip(window, kItemA), QStringLiteral("尚未检查"));
      QVERIFY(!TableKept(dir));  // a database of an older version: the table comes with the first write
      const QString turned = QStringLiteral("\n方案3已连续3次失败：HTTP 500");
      for (int pass = 1; pass <= 4; ++pass) {
        Pass(window);
        QTRY_VERIFY(Tooltip(window, kItemA).contains(QStringLiteral("连续失败：%1 次").arg(pass)));
        QCOMPARE(window.Tree().ItemFailing(kItemA), pass >= 3);
        QCOMPARE(harness->StatusText().count(turned), pass >= 3 ? 1 : 0);
      }
      QVERIFY(TableKept(dir));
      // The start page, made anew when the window is shown, lists the failing scheme with its reason.
      auto* page = window.findChild<QTextBrowser*>(QStringLiteral("网页框"));
      QVERIFY(page != nullptr && !page->toPlainText().contains(QStringLiteral("需要注意的方案")));
      QVERIFY(harness->Show());
      QTRY_VERIFY(page->toPlainText().contains(QStringLiteral("A [3]：HTTP 500（连续失败 4 次")));
      QCOMPARE(
          Tooltip(window, kItemA),
          QStringLiteral("上次检查：%1\n结果：HTTP 500\n连续失败：4 次\n上次有新文章：无").arg(kTestStamp));
      QVERIFY(!window.Tree().ItemFailing(kItemB));
      QVERIFY(Tooltip(window, kItemB).contains(QStringLiteral("结果：无新文章")));

      boards.server.SetStatus(1, 200);
      boards.server.SetArticles(1, {{1, "A1"}});
      Pass(window);
      QTRY_VERIFY(!window.Tree().ItemFailing(kItemA));
      QVERIFY(harness->StatusText().contains(QStringLiteral("\n方案3已恢复正常：匹配1条，新增1篇")));
      QCOMPARE(Tooltip(window, kItemA),
               QStringLiteral("上次检查：%1\n结果：匹配1条，新增1篇\n上次有新文章：%1").arg(kTestStamp));
      boards.server.SetStatus(1, 404);
      for (int pass = 1; pass <= 3; ++pass) Pass(window);
      QTRY_VERIFY(window.Tree().ItemFailing(kItemA));
    }
    // Kept across a restart: the tree shows it before any check.
    auto restarted = StartedWindow(dir);
    QVERIFY(restarted->Window().Tree().ItemFailing(kItemA));
    QVERIFY(Tooltip(restarted->Window(), kItemA).contains(QStringLiteral("结果：HTTP 404")));
  }

  void aSiteThatAsksForAPause() {
    ProgramDir dir;
    Boards boards(dir);
    boards.server.SetStatus(1, 429);
    boards.server.SetHeaderLines(1, "Retry-After: 120");
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    Pass(window);
    QTRY_VERIFY(Tooltip(window, kItemA).contains(QStringLiteral("结果：HTTP 429")));
    // B lives on the same site: skipped with a line, and its health says why.
    const QString site = QString::fromStdString(boards.server.BoardUrl(1)).section('/', 2, 2);
    const QRegularExpression skipped(
        QStringLiteral("\n任务5已跳过：站点 %1 要求暂停访问，\\S+ \\S+ \\S+ 前不再访问")
            .arg(QRegularExpression::escape(site)));
    QVERIFY2(harness->StatusText().contains(skipped), qPrintable(harness->StatusText()));
    QTRY_VERIFY(Tooltip(window, kItemB).contains(QStringLiteral("站点要求暂停访问")));

    // While the pause lasts, the site is asked nothing.
    const int asked = boards.server.Requests(1) + boards.server.Requests(2);
    Pass(window);
    QCOMPARE(boards.server.Requests(1) + boards.server.Requests(2), asked);
    QVERIFY(harness->StatusText().contains(QStringLiteral("\n任务3已跳过：站点 ")));
  }

  void aDatabaseThatRefusesWritesStillWorks() {
    ProgramDir dir;
    Boards boards(dir);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    // Opened read-only from now on; the table does not exist yet either.
    QVERIFY(Execute(harness->Store().mainConnection, "PRAGMA query_only=1"));
    for (int pass = 1; pass <= 2; ++pass) Pass(window);
    // The health lives on in memory; the refusal is told once.
    QTRY_VERIFY(Tooltip(window, kItemB).contains(QStringLiteral("结果：匹配1条，新增0篇")));
    QCOMPARE(harness->StatusText().count(QStringLiteral("\n方案状态未能保存到数据库：")), 1);
    QVERIFY(harness->StatusText().contains(QStringLiteral("SQL出错")));
    QVERIFY(!TableKept(dir));
  }
};

QTEST_MAIN(SchemeHealthTest)
#include "scheme_health_test.moc"
