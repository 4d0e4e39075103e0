// The real web view of the mini homepage: when its page cannot be reached it shows the program's own quick
// start instead of the engine's error page. The address is a local port where nothing listens.

#include <QTcpServer>
#include <QWebEngineView>
#include <QtTest>

#include "ui/homepage/web_engine_view.h"

class WebViewTest : public QObject {
  Q_OBJECT

 private slots:
  void anUnreachablePageGivesTheQuickStart() {
    // A port that was free a moment ago: the connection is refused at once.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QUrl address(QStringLiteral("http://127.0.0.1:%1/zt/softnews.php").arg(probe.serverPort()));
    probe.close();

    QWidget window;
    std::unique_ptr<qw::ui::HomepageView> view = qw::ui::WebEngineHomepageViews()(&window);
    auto* engine = qobject_cast<QWebEngineView*>(view->Widget());
    QVERIFY(engine != nullptr);
    view->Load(address);
    QCOMPARE(view->Url(), address);
    QTRY_COMPARE_WITH_TIMEOUT(engine->title(), QStringLiteral("Quillwatch 快速上手"), 30000);
  }
};

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  WebViewTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "web_view_test.moc"
