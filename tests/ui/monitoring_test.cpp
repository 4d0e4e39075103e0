// Monitoring from the window: the 运行 toggle and its frequency check, one-off passes, the cycle's lines,
// stopping, the new-article alert and its acknowledgement.

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <sqlite3.h>

#include <atomic>
#include <thread>

#include "storage/database.h"
#include "storage/sql_runner.h"
#include "support/board_server.h"
#include "text/encoding.h"
#include "ui/main/alert.h"
#include "ui/main/article_list.h"
#include "ui/main/category_tree.h"
#include "ui/main/mini_homepage.h"
#include "ui/main/monitor_controller.h"
#include "ui/main/status_box.h"
#include "ui_harness.h"

using namespace qw;
using namespace qw::test;

namespace {

// 新闻 holds B [5] (unticked, board 2); 论坛 holds A [3] and C [7] (ticked, boards 1 and 3).
struct Boards {
  explicit Boards(ProgramDir& dir, std::vector<std::string> settings = {}) {
    settings.push_back("类别=<新闻><论坛>");
    dir.WriteSettings(settings);
    dir.CreateDatabase();
    dir.SqlBytes(server.SchemeInsert(3, 2, "A", 1, 0, true) + server.SchemeInsert(5, 1, "B", 2, 0, false) +
                 server.SchemeInsert(7, 2, "C", 3, 0, true));
  }
  BoardServer server;
};

QPushButton& Run(ui::MainWindow& window) { return window.RunButton(); }

void Click(ui::MainWindow& window, const char* name) {
  window.findChild<QAbstractButton*>(QString::fromUtf8(name))->click();
}

// The "任务N已结束" lines of the log, in order.
QStringList EndedSchemes(const QString& log) {
  QStringList ids;
  static const QRegularExpression ended(QStringLiteral("任务(\\d+)已结束"));
  for (auto it = ended.globalMatch(log); it.hasNext();) ids << it.next().captured(1);
  return ids;
}

}  // namespace

class MonitoringTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    InstallQtPump();
    QVERIFY(QFile::exists(QStringLiteral(":/assets/chime.wav")));
  }

  void frequencyIsCheckedFirst_data() {
    QTest::addColumn<QString>("frequency");
    QTest::newRow("nine") << "9";
    QTest::newRow("not a number") << "abc";
    QTest::newRow("beyond 32-bit milliseconds") << "2147484";
  }

  void frequencyIsCheckedFirst() {
    QFETCH(QString, frequency);
    ProgramDir dir;
    Boards boards(dir);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    for (const bool running : {false, true}) {
      if (running) {
        window.FrequencyBox().setText("10");
        Run(window).click();
        QCOMPARE(Run(window).text(), QStringLiteral("停止监控"));
      }
      harness->messages.clear();
      window.FrequencyBox().setText(frequency);
      Run(window).click();
      QCOMPARE(harness->messages.size(), std::size_t{1});
      QCOMPARE(harness->messages[0].text, QStringLiteral("监控频率不能低于 10 秒"));
      QCOMPARE(harness->messages[0].icon, ui::MessageIcon::None);
      QCOMPARE(window.FrequencyBox().text(), QStringLiteral("10"));
      QCOMPARE(Run(window).text(), running ? QStringLiteral("停止监控") : QStringLiteral("监控勾选"));
    }
    Run(window).click();
    QCOMPARE(Run(window).text(), QStringLiteral("监控勾选"));
    QTRY_COMPARE(window.Monitor().ActiveWorkers(), 0);
  }

  void anEmptyQueueLeavesTheCaptionRunning() {
    ProgramDir dir;
    Boards boards(dir);
    dir.Sql("update rule set isdo='0'");
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    Run(window).click();
    QCOMPARE(Run(window).text(), QStringLiteral("停止监控"));
    QCOMPARE(harness->messages.size(), std::size_t{1});
    QCOMPARE(harness->messages[0].text, QStringLiteral("执行队列为空！"));
    QCOMPARE(window.Monitor().ActiveWorkers(), 0);
    Run(window).click();
    QCOMPARE(Run(window).text(), QStringLiteral("监控勾选"));
    QCOMPARE(harness->messages.size(), std::size_t{1});
  }

  void aCycleWritesItsLinesAndAlerts() {
    ProgramDir dir;
    Boards boards(dir, {"语音提醒=1", "图标提醒=1"});
    boards.server.SetArticles(1, {{2, "A2"}, {1, "A1"}});
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    window.Articles().ListArticles(ui::kAllArticles);  // the homepage's line out of the way
    window.Status().SetStatusText("");
    Run(window).click();
    QTRY_VERIFY(harness->StatusText().contains(QStringLiteral("发现有新内容")));
    const QString stamp = QString::fromLatin1(kTestStamp);
    const QString insert =
        QStringLiteral("insert into info(planname,planid,title,url,other,addtime,issoucang) values('A',3,'");
    const QStringList expected = {
        "",
        insert + "A1','http://bbs.example/thread-1.html','1','" + stamp + "',0)SQL成功！",
        insert + "A2','http://bbs.example/thread-2.html','2','" + stamp + "',0)SQL成功！",
        "update rule set arttile='A2',arturl='http://bbs.example/thread-2.html',lasttime='" + stamp +
            "',lastid=0 where id=3SQL成功！",
        "任务3已结束----" + stamp + "源码中末发现最后文章标记！出错！截取源码为空，请检查方案的采集区域！",
        "任务7已结束----" + stamp,
        "本轮执行完毕！----" + stamp,
        "发现有新内容，已发出提醒通知！----" + stamp,
    };
    // The first line runs on from the empty text; the first scheme's marker line precedes its inserts.
    QStringList lines = harness->StatusText().split('\n');
    QCOMPARE(lines.value(0), QStringLiteral("源码中末发现最后文章标记！"));
    lines[0] = "";
    QCOMPARE(lines.mid(0, expected.size()), expected);
    QTRY_VERIFY(window.Alerts().Pending());
    QCOMPARE(harness->chimes, 1);
    QCOMPARE(window.Tray().Tooltip(), QStringLiteral("有新的消息！"));

    // The wait, then an emptied log and a second cycle with nothing new: no second alert.
    QTRY_VERIFY(harness->StatusText().startsWith(QStringLiteral("\n任务3已结束")));
    QTRY_VERIFY(harness->StatusText().contains(QStringLiteral("本轮执行完毕")));
    QCOMPARE(harness->chimes, 1);

    // Coming back: the icon returns, the list shows the newest articles.
    window.Articles().clear();
    QApplication::setActiveWindow(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    QTRY_VERIFY(!window.Alerts().Pending());
    QCOMPARE(window.Tray().Tooltip(), QStringLiteral("Mavo监控"));
    QCOMPARE(window.Articles().topLevelItemCount(), 2);

    // A stop during the wait ends the worker at once; the log keeps the last cycle's lines.
    QTRY_VERIFY(harness->StatusText().contains(QStringLiteral("本轮执行完毕")));
    Run(window).click();
    QCOMPARE(Run(window).text(), QStringLiteral("监控勾选"));
    const QString kept = harness->StatusText();
    QTRY_COMPARE(window.Monitor().ActiveWorkers(), 0);
    QTest::qWait(150);
    QCOMPARE(harness->StatusText(), kept);
  }

  void oneOffPassesTakeTheirSchemesInTreeOrder() {
    ProgramDir dir;
    Boards boards(dir);
    // One cycle, then a long wait: the requests below are the one-off pass's alone.
    ui::MonitorTiming timing = FastTiming();
    timing.interval = [](std::int32_t) { return 60000; };
    auto harness = StartedWindow(dir, true, timing);
    ui::MainWindow& window = harness->Window();
    // Stopped: every scheme, once, in tree order, no cycle line.
    Click(window, "超级按钮1");
    QTRY_COMPARE(window.Monitor().ActiveWorkers(), 0);
    QCOMPARE(EndedSchemes(harness->StatusText()), (QStringList{"5", "3", "7"}));
    QVERIFY(!harness->StatusText().contains(QStringLiteral("本轮执行完毕")));

    // Running over 3 and 7: a one-off pass takes the unticked 5 alone.
    window.FrequencyBox().setText("100");
    Run(window).click();
    QTRY_COMPARE(boards.server.Requests(3), 2);
    const int before = boards.server.Requests(1);
    Click(window, "获取");
    QTRY_COMPARE(boards.server.Requests(2), 2);
    QCOMPARE(boards.server.Requests(1), before);
    Run(window).click();
    QTRY_COMPARE(window.Monitor().ActiveWorkers(), 0);
  }

  void aOneOffFindGivesNoAlertUntilACycleEnds() {
    ProgramDir dir;
    Boards boards(dir);
    boards.server.SetArticles(2, {{1, "B1"}});
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    Click(window, "获取");
    QTRY_COMPARE(window.Monitor().ActiveWorkers(), 0);
    QVERIFY(window.Alerts().NewArticleFlag());
    QVERIFY(!window.Alerts().Pending());
    Run(window).click();
    QTRY_VERIFY(window.Alerts().Pending());
    QVERIFY(!window.Alerts().NewArticleFlag());
    Run(window).click();
  }

  void theSwitchesChooseSoundAndIcon_data() {
    QTest::addColumn<bool>("sound");
    QTest::addColumn<bool>("icon");
    QTest::newRow("both") << true << true;
    QTest::newRow("sound only") << true << false;
    QTest::newRow("icon only") << false << true;
    QTest::newRow("neither") << false << false;
  }

  void theSwitchesChooseSoundAndIcon() {
    QFETCH(bool, sound);
    QFETCH(bool, icon);
    ProgramDir dir;
    Boards boards(dir, {std::string("语音提醒=") + (sound ? "1" : "0"), std::string("图标提醒=") + (icon ? "1" : "0")});
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    ui::Alert& alert = window.Alerts();
    // Two alerts before the user comes back: two chimes, two lines, one acknowledgement.
    alert.NotifyNewContent(window.Status(), kTestStamp);
    alert.NotifyNewContent(window.Status(), kTestStamp);
    QVERIFY(alert.Pending());
    QCOMPARE(harness->chimes, sound ? 2 : 0);
    QCOMPARE(window.Tray().Tooltip(), icon ? QStringLiteral("有新的消息！") : QStringLiteral("Mavo监控"));
    QCOMPARE(harness->StatusText().count(QStringLiteral("发现有新内容，已发出提醒通知！----")), 2);
    emit window.Tray().leftClicked();
    QVERIFY(!alert.Pending());
    QCOMPARE(window.Tray().Tooltip(), QStringLiteral("Mavo监控"));
    QVERIFY(!window.Homepage().IsOpen());  // the newest articles replaced it
    const QString afterFirst = harness->StatusText();
    emit window.Tray().leftClicked();  // nothing pending: nothing reloaded, no line
    QCOMPARE(harness->StatusText(), afterFirst);
  }

  void withoutATrayTheWindowTitleCarriesTheAlert() {
    ProgramDir dir;
    Boards boards(dir, {"图标提醒=1"});
    auto harness = StartedWindow(dir, /*trayAvailable=*/false);
    ui::MainWindow& window = harness->Window();
    const QString title = window.windowTitle();
    window.Alerts().NotifyNewContent(window.Status(), kTestStamp);
    QVERIFY(window.windowTitle().startsWith(QStringLiteral("【有新文章】")));
    window.Alerts().AcknowledgeAlert();
    QCOMPARE(window.windowTitle(), title);
  }

  void comingBackDuringTheWindowsOwnStatementFillsTheListOnceItEnds() {
    ProgramDir dir;
    Boards boards(dir, {"图标提醒=1"});
    dir.Sql("insert into info(id, planid, title) values(1, 3, 'first')");
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    window.Alerts().NotifyNewContent(window.Status(), kTestStamp);
    QTRY_VERIFY(window.Alerts().Pending());

    // Another program holds the write lock, so a statement of the window waits for it, handling the
    // window's events meanwhile.
    sqlite3* outside = nullptr;
    QCOMPARE(sqlite3_open_v2(dir.Database().c_str(), &outside, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(outside, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    // Inside that wait the user comes back to the window; later the other program lets go.
    QTimer::singleShot(100, &window, [&window] {
      QEvent activate(QEvent::WindowActivate);
      QCoreApplication::sendEvent(&window, &activate);
    });
    QTimer::singleShot(400, &window, [outside] { sqlite3_exec(outside, "commit", nullptr, nullptr, nullptr); });
    // A deadlock would hold this thread for good; the watchdog ends the test program instead.
    std::atomic<bool> returned{false};
    std::thread watchdog([&returned] {
      for (int i = 0; i < 2000 && !returned; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!returned) qFatal("the window's statement never returned");
    });
    const SqlResult result = window.Sql().Run("update info set issoucang=1 where id=1");
    returned = true;
    watchdog.join();
    sqlite3_close(outside);

    QVERIFY(result.ok);
    QVERIFY(!window.Alerts().Pending());
    QTRY_COMPARE(window.Articles().topLevelItemCount(), 1);
    QCOMPARE(window.Articles().topLevelItem(0)->text(ui::ArticleList::kTitle), QStringLiteral("first"));
  }

  void endingTheProgramStopsBusyWorkersWithinASecond() {
    ProgramDir dir;
    Boards boards(dir);
    for (int board = 1; board <= 3; ++board) {
      std::vector<BoardArticle> many;
      for (int i = 200; i >= 1; --i) many.push_back({i, "T" + std::to_string(i)});
      boards.server.SetArticles(board, many);
    }
    // The real 400 ms pause after each stored article, so the workers are deep in their passes.
    ui::MonitorTiming slow = FastTiming();
    slow.pauseAfterStore = {};
    auto harness = StartedWindow(dir, true, slow);
    ui::MainWindow& window = harness->Window();
    Run(window).click();
    Click(window, "获取");
    Click(window, "获取");
    QTRY_VERIFY(harness->StatusText().count(QStringLiteral("SQL成功")) >= 2);
    QCOMPARE(window.Monitor().ActiveWorkers(), 3);
    QElapsedTimer clock;
    clock.start();
    window.Quit();
    harness.reset();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    // Each article stored is stored once.
    auto reopened = StartedWindow(dir);
    const ResultTable twice = Query(reopened->Store().mainConnection,
                                    "select count(*) from info group by planid, title having count(*) > 1");
    QCOMPARE(twice.RowCount(), 0);
  }
};

QTEST_MAIN(MonitoringTest)
#include "monitoring_test.moc"
