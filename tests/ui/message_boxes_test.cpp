// The real message box, as every part of the program shows it.

#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "ui/main/message_boxes.h"

using namespace qw;

class MessageBoxesTest : public QObject {
  Q_OBJECT

 private slots:
  void markupInTheTextIsShownAsItIs() {
    // The save message of a scheme whose markers and expression are markup.
    const QString text = QStringLiteral(
        "SQL语句：insert into rule(\"before\",\"after\",regular) values('<tbody id=\"normalthread',"
        "'</table>','<a href=\"(.*?)\">(<b>.*?</b>)</a>')");
    QString shownText;
    Qt::TextFormat shownFormat = Qt::AutoText;
    QString shownCaption;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      shownCaption = box->windowTitle();
      shownText = box->text();
      shownFormat = box->textFormat();
      box->accept();
    });
    ui::ShowMessage(nullptr, text, QStringLiteral("方案新建成功！"));
    QCOMPARE(shownCaption, QStringLiteral("方案新建成功！"));
    QCOMPARE(shownText, text);
    QCOMPARE(shownFormat, Qt::PlainText);
  }
};

QTEST_MAIN(MessageBoxesTest)
#include "message_boxes_test.moc"
