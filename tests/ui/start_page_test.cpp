// The mini homepage's own page: the quick start without schemes; otherwise the failing schemes with their
// reason, then the 20 newest articles as links through the window's check; the user's own address in the
// web view instead; and the field that sets it.

#include <QDialog>
#include <QLineEdit>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

#include "storage/settings_file.h"
#include "ui/main/mini_homepage.h"
#include "ui/main/status_box.h"
#include "ui/options/advanced_tab.h"
#include "ui/start/start_page.h"
#include "ui_harness.h"

using namespace qw;
using namespace qw::test;

namespace {

// Two schemes under 论坛, 25 articles of B [5], the newest with an address that is no web address; A [3]
// failed its last checks in an earlier run.
void SchemesAndArticles(ProgramDir& dir, std::vector<std::string> settings = {}) {
  settings.push_back("类别=<论坛>");
  dir.WriteSettings(settings);
  dir.CreateDatabase();
  std::string sql =
      "insert into rule(id, class, name, url, isdo, type) values(3, 1, 'A', 'http://a.example/', '1', '0');"
      "insert into rule(id, class, name, url, isdo, type) values(5, 1, 'B', 'http://b.example/', '1', '0');"
      "create table scheme_state(id INTEGER PRIMARY KEY, last_check TEXT, outcome TEXT, failures INTEGER, "
      "last_new TEXT);"
      "insert into scheme_state values(3, '2026-12-9 8:0 0', '采集区域为空', 4, '');"
      "insert into scheme_state values(5, '2026-12-9 8:0 0', '无新文章', 0, '');";
  for (int id = 1; id <= 25; ++id) {
    const std::string url = id == 25 ? "javascript:alert(1)" : "http://b.example/t" + std::to_string(id);
    sql += "insert into info(id, planname, planid, title, url, other, addtime, issoucang) values(" +
           std::to_string(id) + ", 'B', 5, '帖子" + std::to_string(id) + "', '" + url +
           "', '', '2026-12-9 9:0 " + std::to_string(id) + "', 0);";
  }
  dir.Sql(sql);
}

ui::StartPage& Page(ui::MainWindow& window) {
  auto* page = dynamic_cast<ui::StartPage*>(window.Homepage().View());
  if (page == nullptr) qFatal("the homepage shows no start page");
  return *page;
}

QTextBrowser& Browser(ui::MainWindow& window) { return *qobject_cast<QTextBrowser*>(Page(window).Widget()); }

}  // namespace

class StartPageTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtPump(); }

  void withoutSchemesTheQuickStart() {
    ProgramDir dir;
    dir.CreateDatabase();
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    QVERIFY(window.Homepage().ShowsStartPage());
    QCOMPARE(harness->views.created, 0);  // no web view, no helper
    QCOMPARE(Browser(window).documentTitle(), QStringLiteral("Quillwatch 快速上手"));
    QCOMPARE(Browser(window).objectName(), QStringLiteral("网页框"));
    QVERIFY(!Page(window).Html().contains(QStringLiteral("无法打开")));
  }

  void failingSchemesThenTheNewestArticles() {
    ProgramDir dir;
    SchemesAndArticles(dir);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    const QString text = Browser(window).toPlainText();
    const int failing = text.indexOf(QStringLiteral("需要注意的方案"));
    const int newest = text.indexOf(QStringLiteral("最新文章"));
    QVERIFY2(failing >= 0 && failing < newest, qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("A [3]：采集区域为空（连续失败 4 次，上次检查 2026-12-9 8:0 0）")));
    QVERIFY(!text.contains(QStringLiteral("B [5]")));
    // The 20 newest, newest first.
    QVERIFY(text.indexOf(QStringLiteral("帖子25")) < text.indexOf(QStringLiteral("帖子24")));
    QVERIFY(text.contains(QStringLiteral("帖子6")));
    QVERIFY(!text.contains(QStringLiteral("帖子5\n")));  // each cell on a line of its own
    QCOMPARE(Page(window).Html().count(QStringLiteral("href=\"article:")), 20);

    // Links go through the window's check: a web address to the browser, anything else refused with a line.
    emit Browser(window).anchorClicked(QUrl(QStringLiteral("article:1")));
    QCOMPARE(harness->opened.size(), std::size_t{1});
    QCOMPARE(harness->opened[0].toString(), QStringLiteral("http://b.example/t24"));
    emit Browser(window).anchorClicked(QUrl(QStringLiteral("article:0")));
    QCOMPARE(harness->opened.size(), std::size_t{1});
    QVERIFY(harness->StatusText().contains(QStringLiteral("只在浏览器中打开 http 和 https 网址")));
    emit Browser(window).anchorClicked(QUrl(QStringLiteral("article:99")));
    emit Browser(window).anchorClicked(QUrl(QStringLiteral("http://elsewhere.example/")));
    QCOMPARE(harness->opened.size(), std::size_t{1});
    // Its help link opens the program's own help.
    emit Browser(window).anchorClicked(QUrl(QStringLiteral("help:start")));
    QVERIFY(window.findChild<QDialog*>(QStringLiteral("使用帮助")) != nullptr);
  }

  void theUsersOwnAddress_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("loaded");
    QTest::newRow("web address") << "http://news.example/today"
                                 << "http://news.example/today";
    QTest::newRow("without scheme") << "news.example"
                                    << "http://news.example";
    QTest::newRow("no web address") << "file:///etc/passwd"
                                    << "";
    QTest::newRow("none") << ""
                          << "";
  }

  void theUsersOwnAddress() {
    QFETCH(QString, address);
    QFETCH(QString, loaded);
    ProgramDir dir;
    SchemesAndArticles(dir, {"主页=" + address.toStdString()});
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    QCOMPARE(window.Homepage().ShowsStartPage(), loaded.isEmpty());
    if (loaded.isEmpty()) {
      QCOMPARE(harness->views.created, 0);
      return;
    }
    QCOMPARE(harness->views.loads.size(), std::size_t{1});
    QCOMPARE(harness->views.loads[0].toString(), loaded);
    // Off and on: asked anew.
    window.Homepage().Switch()->click();
    window.Homepage().Switch()->click();
    QCOMPARE(harness->views.loads.size(), std::size_t{2});
  }

  void theFieldThatSetsIt() {
    ProgramDir dir;
    dir.CreateDatabase();
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    ui::AdvancedTab tab(window.Settings(), window.Sql());
    QCOMPARE(tab.HomepageBox().text(), QString());
    const SettingsFile settings(dir.Settings());
    tab.HomepageBox().setText(QStringLiteral("javascript:alert(1)"));
    tab.SaveHomepage();
    QVERIFY(harness->messages.back().text.startsWith(QStringLiteral("主页地址无效")));
    QCOMPARE(settings.ReadSetting(HomepageKey()), std::string());
    tab.HomepageBox().setText(QStringLiteral(" http://news.example/ "));
    tab.SaveHomepage();
    QCOMPARE(harness->messages.back().caption, QStringLiteral("　保存成功！"));
    QCOMPARE(settings.ReadSetting(HomepageKey()), std::string("http://news.example/"));
    // The next opening of the homepage shows it.
    window.Homepage().Switch()->click();
    window.Homepage().Switch()->click();
    QVERIFY(!window.Homepage().ShowsStartPage());
    QCOMPARE(harness->views.loads.back().toString(), QStringLiteral("http://news.example/"));
    ui::AdvancedTab reopened(window.Settings(), window.Sql());
    QCOMPARE(reopened.HomepageBox().text(), QStringLiteral("http://news.example/"));
    reopened.HomepageBox().clear();
    reopened.SaveHomepage();
    QCOMPARE(settings.ReadSetting(HomepageKey()), std::string());
  }
};

QTEST_MAIN(StartPageTest)
#include "start_page_test.moc"
