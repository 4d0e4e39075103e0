// The desktop notification at the end of a round, against a notification service on the test's own session
// bus: what it says, that a click brings the window back and acknowledges the alert, its switch, one-off
// passes told by the next round, and the tray's balloon where there is no service.

#include <QPushButton>
#include <QtTest>

#include "notification_service.h"
#include "support/board_server.h"
#include "text/encoding.h"
#include "ui/main/alert.h"
#include "ui/main/article_list.h"
#include "ui/main/monitor_controller.h"
#include "ui/main/tray_icon.h"
#include "ui_harness.h"

using namespace qw;
using namespace qw::test;

namespace {

// 论坛 holds A [3], ticked, watching board 1.
struct Board {
  explicit Board(ProgramDir& dir, std::vector<std::string> settings = {}) {
    settings.push_back("类别=<论坛>");
    settings.push_back("图标提醒=1");
    dir.WriteSettings(settings);
    dir.CreateDatabase();
    dir.SqlBytes(server.SchemeInsert(3, 1, "A", 1, 0, true));
  }
  // n articles, newest first: T<n> ... T1.
  void Articles(int n, const std::string& firstTitle = "T1") {
    std::vector<BoardArticle> articles;
    for (int i = n; i >= 1; --i) articles.push_back({i, i == 1 ? firstTitle : "T" + std::to_string(i)});
    server.SetArticles(1, articles);
  }
  BoardServer server;
};

}  // namespace

class NotificationTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    InstallQtPump();
    QVERIFY2(bus_.Ready(), "dbus-daemon did not start");
  }

  void aRoundNamesItsArticlesAndAClickBringsTheWindowBack_data() {
    QTest::addColumn<bool>("markup");
    QTest::newRow("plain body") << false;
    QTest::newRow("body with markup") << true;
  }

  void aRoundNamesItsArticlesAndAClickBringsTheWindowBack() {
    QFETCH(bool, markup);
    QStringList capabilities{"body", "actions"};
    if (markup) capabilities << "body-markup";
    NotificationRecorder service(bus_, capabilities);
    QVERIFY(service.Registered());
    ProgramDir dir;
    Board board(dir);
    board.Articles(7, "A&B>1");
    Harness harness(dir, true, FastTiming(), false,
                    [this] { return bus_.Connect(QStringLiteral("program")); });
    ui::MainWindow& window = harness.Window();
    window.Start();
    window.RunButton().click();
    QTRY_COMPARE(service.received.size(), std::size_t{1});
    QTRY_VERIFY(window.Alerts().Pending());

    // One notification for the round: its articles in the order stored, five by name.
    const ReceivedNotification& shown = service.received[0];
    QCOMPARE(shown.app, QStringLiteral("Quillwatch"));
    QCOMPARE(shown.summary, QStringLiteral("发现 7 篇新文章"));
    const QString first = markup ? QStringLiteral("A：A&amp;B&gt;1") : QStringLiteral("A：A&B>1");
    QCOMPARE(shown.body, QStringList({first, "A：T2", "A：T3", "A：T4", "A：T5", "……还有 2 篇"}).join('\n'));
    QVERIFY(shown.actions.contains(QStringLiteral("default")));
    QCOMPARE(shown.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("quillwatch"));
    // The next rounds store nothing and notify nothing.
    QTRY_VERIFY(harness.StatusText().startsWith(QStringLiteral("\n任务3已结束")));
    QTRY_VERIFY(harness.StatusText().contains(QStringLiteral("本轮执行完毕")));
    QCOMPARE(service.received.size(), std::size_t{1});

    // A click on it: the window is back, the alert acknowledged as a tray click does, the notification
    // closed.
    QVERIFY(!window.isVisible());
    service.Click(shown.id);
    QTRY_VERIFY(!window.Alerts().Pending());
    QVERIFY(window.isVisible());
    QCOMPARE(window.Tray().Tooltip(), QStringLiteral("Mavo监控"));
    QCOMPARE(window.Articles().topLevelItemCount(), 7);
    QTRY_COMPARE(service.closed, std::vector<uint>{shown.id});
    window.RunButton().click();
  }

  void theSwitchAndOneOffPasses() {
    NotificationRecorder service(bus_, {"body", "actions"});
    ProgramDir dir;
    Board board(dir, {"桌面通知=0", "语音提醒=1"});
    board.Articles(2);
    Harness harness(dir, true, FastTiming(), false,
                    [this] { return bus_.Connect(QStringLiteral("program")); });
    ui::MainWindow& window = harness.Window();
    window.Start();

    // A one-off pass alerts nothing; switched off, the next round rings but shows no notification.
    window.findChild<QAbstractButton*>(QStringLiteral("获取"))->click();
    QTRY_COMPARE(window.Monitor().ActiveWorkers(), 0);
    window.RunButton().click();
    QTRY_COMPARE(harness.chimes, 1);
    window.RunButton().click();
    QTRY_COMPARE(window.Monitor().ActiveWorkers(), 0);
    QTest::qWait(100);
    QVERIFY(service.received.empty());

    // Switched on: a one-off pass's articles are told by the next round, which found nothing itself.
    window.Switches().ToggleDesktop(window.Settings());
    board.Articles(4);
    window.findChild<QAbstractButton*>(QStringLiteral("获取"))->click();
    QTRY_COMPARE(window.Monitor().ActiveWorkers(), 0);
    QTest::qWait(100);
    QVERIFY(service.received.empty());
    window.RunButton().click();
    QTRY_COMPARE(service.received.size(), std::size_t{1});
    QCOMPARE(service.received[0].summary, QStringLiteral("发现 2 篇新文章"));
    QCOMPARE(service.received[0].body, QStringLiteral("A：T3\nA：T4"));
    window.RunButton().click();
    QTRY_COMPARE(window.Monitor().ActiveWorkers(), 0);
  }

  void withoutAServiceTheTrayShowsIt() {
    // The bus is there, but no notification service on it.
    ProgramDir dir;
    Board board(dir);
    board.Articles(1);
    Harness harness(dir, true, FastTiming(), false,
                    [this] { return bus_.Connect(QStringLiteral("program")); });
    ui::MainWindow& window = harness.Window();
    window.Start();
    window.RunButton().click();
    QTRY_COMPARE(window.Tray().LastMessage(), QStringLiteral("发现 1 篇新文章\nA：T1"));
    window.RunButton().click();
    // A click on the balloon acknowledges the alert.
    QTRY_VERIFY(window.Alerts().Pending());
    emit window.Tray().messageClicked();
    QVERIFY(!window.Alerts().Pending());
    QVERIFY(window.isVisible());
  }

 private:
  TestBus bus_;
};

QTEST_MAIN(NotificationTest)
#include "notification_test.moc"
