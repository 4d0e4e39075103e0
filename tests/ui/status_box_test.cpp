// The status box: calls from any thread carried out on the window's thread, in call order, each whole.

#include <QtTest>
#include <mutex>
#include <thread>
#include <vector>

#include "text/encoding.h"
#include "ui/main/status_box.h"
#include "ui_harness.h"

using namespace qw;

class StatusBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { test::InstallQtPump(); }

  void linesFromManyThreadsKeepTheirCallOrder() {
    ui::StatusBox box;
    constexpr int kThreads = 4;
    constexpr int kLines = 500;
    // The shared lock makes the call order known: a line's number is its place in that order.
    std::mutex order;
    int next = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
      workers.emplace_back([&] {
        for (int i = 0; i < kLines; ++i) {
          std::lock_guard lock(order);
          box.AppendStatusLine("\r\n" + std::to_string(next++) + Utf8ToGbk(" 第一段") + Utf8ToGbk("，第二段"));
        }
      });
    }
    // The window's own calls take their place in the same order.
    for (int i = 0; i < 50; ++i) {
      std::lock_guard lock(order);
      box.AppendStatusLine("\r\n" + std::to_string(next++) + Utf8ToGbk(" 第一段，第二段"));
    }
    for (std::thread& worker : workers) worker.join();
    QTRY_COMPARE(box.toPlainText().count(QLatin1Char('\n')), kThreads * kLines + 50);
    const QStringList lines = box.toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), kThreads * kLines + 51);
    for (int i = 1; i < lines.size(); ++i) {
      QCOMPARE(lines[i], QString::number(i - 1) + QStringLiteral(" 第一段，第二段"));
    }
  }

  void aWindowCallComesAfterTheWorkerCallsBeforeIt() {
    ui::StatusBox box;
    std::thread([&] {
      box.AppendStatusLine("w1");
      box.SetStatusText("r");
      box.AppendStatusLine("w2");
    }).join();
    box.AppendStatusLine("u");  // no event handled in between
    QCOMPARE(box.toPlainText(), QStringLiteral("rw2u"));
  }

  void lineBreaksAndReplacement() {
    ui::StatusBox box;
    box.SetStatusText("");
    box.AppendStatusLine("\r\nabc");
    box.AppendStatusLine(Utf8ToGbk("出错！截取源码为空，请检查方案的采集区域！"));
    QCOMPARE(box.toPlainText(), QStringLiteral("\nabc出错！截取源码为空，请检查方案的采集区域！"));
    box.SetStatusText("x\x81");
    QCOMPARE(box.toPlainText(), QStringLiteral("x") + QChar(0xFFFD));
    QVERIFY(!box.isUndoRedoEnabled());
  }
};

QTEST_MAIN(StatusBoxTest)
#include "status_box_test.moc"
