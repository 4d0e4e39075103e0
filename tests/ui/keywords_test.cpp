// Keywords from the windows: a round whose new articles the keywords mute or watch (chime and desktop
// notification, against a notification service on the test's own session bus), the marks in the article list,
// the editor's 关键词 saved with the scheme and marking the test's hits, everyone's lists in 高级设置.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include "extract/pipeline.h"
#include "notification_service.h"
#include "storage/database.h"
#include "storage/scheme_options.h"
#include "support/board_server.h"
#include "support/http_test_server.h"
#include "text/encoding.h"
#include "ui/main/article_list.h"
#include "ui/main/gbk_text.h"
#include "ui/main/keyword_look.h"
#include "ui/options/advanced_tab.h"
#include "ui/options/global_keywords_box.h"
#include "ui/options/keywords_box.h"
#include "ui/options/options_window.h"
#include "ui/options/scheme_editor.h"
#include "ui/options/scheme_list.h"
#include "ui_harness.h"

using namespace qw;
using namespace qw::test;

namespace {

std::string G(const char* utf8) { return Utf8ToGbk(utf8); }

template <typename T>
T& Control(QWidget& window, const char* name) {
  T* control = window.findChild<T*>(QString::fromUtf8(name));
  if (control == nullptr) qFatal("no control %s", name);
  return *control;
}

// The options of every scheme, read beside the program.
std::map<int, SchemeOptions> OptionsOnDisk(const ProgramDir& dir) {
  Connection connection;
  OpenDatabase(connection, dir.Database());
  return ReadAllSchemeOptions(connection);
}

// A board whose three threads are listed between <ul id="threads"> and </ul>.
std::string BoardPage() {
  std::string page = "<html><body><ul id=\"threads\">";
  int id = 103;
  for (const char* title : {"显卡降价", "内存条到货", "显卡广告"}) {
    page += "<li><a href=\"thread-" + std::to_string(id--) + ".html\">" + G(title) + "</a></li>";
  }
  return page + "</ul></body></html>";
}

// A longer board, in which 自动识别 finds the repeated article links.
std::string LongBoardPage() {
  std::string page = "<html><head><title>board</title></head><body><ul class=\"threads\">\r\n";
  for (int i = 8; i >= 1; --i) {
    const std::string title = i % 3 == 0 ? "显卡讨论" : i % 4 == 0 ? "广告帖" : "闲聊";
    page += "<li><a href=\"thread-" + std::to_string(500 + i) + "-1-1.html\">" + G(title.c_str()) +
            std::to_string(i) + "</a></li>\r\n";
  }
  return page + "</ul></body></html>";
}

// The options window over a program directory with the categories 新闻 and 论坛, and the boards above.
class OptionsFixture {
 public:
  OptionsFixture()
      : server_([](const ReceivedRequest& request) {
          return MakeResponse(200, request.raw.find("GET /long.html") == 0 ? LongBoardPage() : BoardPage());
        }) {
    dir.WriteSettings({"类别=<新闻><论坛>"});
    dir.CreateDatabase();
  }

  ui::OptionsWindow& Open(int tab) {
    if (!harness) harness = StartedWindow(dir);
    window = std::make_unique<ui::OptionsWindow>(
        ui::OptionsContext{harness->Store(), dir.Database(), harness->Window().Settings(),
                           harness->Window().Sql(), [](const QString&) {}, FetchLimits{}},
        tab);
    return *window;
  }

  template <typename T>
  T& Find(const char* name) {
    return Control<T>(*window, name);
  }
  ui::SchemeEditor& Editor() { return window->Editor(); }
  const ui::MessageRequest& LastMessage() const { return harness->messages.back(); }

  void FillBoardScheme() {
    Find<QLineEdit>("编辑框_站名").setText(QStringLiteral("本地论坛"));
    Find<QLineEdit>("编辑框_网址").setText(QString::fromStdString(server_.Url("/forum.html")));
    Find<QLineEdit>("采集前").setText(QStringLiteral("<ul id=\"threads\">"));
    Find<QLineEdit>("采集后").setText(QStringLiteral("</ul>"));
    Find<QComboBox>("正则框").setEditText(QStringLiteral(R"re(<a href="(.*?)">(.*?)</a>)re"));
  }

  std::string Url(const char* path) const { return server_.Url(path); }

  ProgramDir dir;
  std::unique_ptr<Harness> harness;
  std::unique_ptr<ui::OptionsWindow> window;

 private:
  HttpTestServer server_;
};

enum class Look { kPlain, kWatched, kMuted };

Look LookOf(const QTreeWidgetItem& row) {
  if (row.font(0).bold() && row.background(0).color() == ui::WatchedBackground()) return Look::kWatched;
  if (row.foreground(0).color() == ui::MutedForeground()) return Look::kMuted;
  return Look::kPlain;
}

QList<Look> Looks(const QTreeWidget& list) {
  QList<Look> looks;
  for (int r = 0; r < list.topLevelItemCount(); ++r) looks << LookOf(*list.topLevelItem(r));
  return looks;
}

}  // namespace

class KeywordsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    InstallQtPump();
    QVERIFY2(bus_.Ready(), "dbus-daemon did not start");
  }

  void aRoundWhoseNewArticlesAreMutedStoresThemWithoutAnAlert() {
    ProgramDir dir;
    // Everyone mutes 广告; scheme A watches 显卡.
    dir.WriteSettings({"类别=<论坛>", "语音提醒=1", "图标提醒=1", "屏蔽词=<广告>"});
    dir.CreateDatabase();
    BoardServer boards;
    dir.SqlBytes(boards.SchemeInsert(3, 1, "A", 1, 0, true));
    dir.SqlBytes(
        "create table scheme_options(id INTEGER NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL, "
        "PRIMARY KEY(id, name));insert into scheme_options values(3,'watch','" +
        G("显卡") + "');");
    boards.SetArticles(1, {{1, G("显卡广告")}});
    NotificationRecorder service(bus_, {"body", "actions"});
    QVERIFY(service.Registered());
    Harness harness(dir, true, FastTiming(), false, [this] { return bus_.Connect(QStringLiteral("program")); });
    ui::MainWindow& window = harness.Window();
    window.Start();
    window.RunButton().click();
    // The second round has begun: the first has ended and passed its alert by.
    QTRY_VERIFY(boards.Requests(1) >= 2);
    QTRY_VERIFY(harness.StatusText().contains(QStringLiteral("本轮执行完毕")));
    QCOMPARE(harness.chimes, 0);
    QVERIFY(!window.Alerts().Pending());
    QVERIFY(!harness.StatusText().contains(QStringLiteral("发现有新内容")));

    // A title no watch word matches is stored as quietly; one that matches rings, and its notification says
    // which keyword it matched.
    boards.SetArticles(1, {{2, G("内存条到货")}, {1, G("显卡广告")}});
    QTRY_VERIFY(boards.Requests(1) >= 4);
    QCOMPARE(harness.chimes, 0);
    boards.SetArticles(1, {{3, G("显卡降价")}, {2, G("内存条到货")}, {1, G("显卡广告")}});
    QTRY_COMPARE(harness.chimes, 1);
    QVERIFY(window.Alerts().Pending());
    QTRY_COMPARE(service.received.size(), std::size_t{1});
    QCOMPARE(service.received[0].summary, QStringLiteral("发现 1 篇新文章"));
    QCOMPARE(service.received[0].body, QStringLiteral("A：显卡降价（关注词：显卡）"));
    window.RunButton().click();
    QTRY_COMPARE(window.Monitor().ActiveWorkers(), 0);
    QCOMPARE(service.received.size(), std::size_t{1});

    // Every article is stored; the list shows what the keywords made of each, the watched view the one.
    ui::ArticleList& list = window.Articles();
    list.ListArticles(ui::kAllArticles);
    QCOMPARE(list.topLevelItemCount(), 3);
    QCOMPARE(Looks(list), (QList<Look>{Look::kWatched, Look::kPlain, Look::kMuted}));
    QCOMPARE(list.topLevelItem(2)->toolTip(ui::ArticleList::kTitle), QStringLiteral("屏蔽词：广告"));
    Control<QToolButton>(window, "关注按钮").click();
    QCOMPARE(list.topLevelItemCount(), 1);
    QCOMPARE(list.topLevelItem(0)->text(ui::ArticleList::kTitle), QStringLiteral("显卡降价"));
  }

  void theEditorSavesTheKeywordsWithTheSchemeAndMarksTheTest() {
    OptionsFixture f;
    f.Open(ui::OptionsWindow::kEditorTab);
    ui::KeywordsBox& keywords = f.Editor().Keywords();
    auto& results = f.Find<QTreeWidget>("测试列表框");
    f.FillBoardScheme();
    keywords.WatchBox().setPlainText(QStringLiteral("内存\n\n  /^显卡降/  \n"));
    keywords.MuteBox().setPlainText(QStringLiteral("广告"));
    f.Editor().TestRule();
    QCOMPARE(results.topLevelItemCount(), 3);
    // Without 标题索引 nothing says which group is the title.
    QCOMPARE(Looks(results), (QList<Look>{Look::kPlain, Look::kPlain, Look::kPlain}));
    QVERIFY(keywords.Note().contains(QStringLiteral("标题索引")));
    f.Find<QLineEdit>("tindex框").setText(QStringLiteral("2"));
    QTRY_COMPARE(Looks(results), (QList<Look>{Look::kWatched, Look::kWatched, Look::kMuted}));
    QCOMPARE(results.topLevelItem(0)->toolTip(2), QStringLiteral("关注词：/^显卡降/"));
    QCOMPARE(keywords.Note(), QStringLiteral("测试结果 3 条：关注 2 条，屏蔽 1 条"));
    // The marks follow the lists as they are edited.
    keywords.WatchBox().setPlainText(QStringLiteral("/^显卡降/"));
    QTRY_COMPARE(Looks(results), (QList<Look>{Look::kWatched, Look::kPlain, Look::kMuted}));
    QCOMPARE(keywords.Note(), QStringLiteral("测试结果 3 条：关注 1 条，屏蔽 1 条，另有 1 条不提醒"));

    f.Find<QPushButton>("按钮_保存配置").click();
    QCOMPARE(f.LastMessage().caption, QStringLiteral("方案新建成功！"));
    QCOMPARE(OptionsOnDisk(f.dir),
             (std::map<int, SchemeOptions>{{1, {{"mute", G("广告")}, {"watch", G("/^显卡降/")}}}}));
    QCOMPARE(keywords.WatchBox().toPlainText(), QString());  // the editor is new again

    // Editing shows the lists; a save keeps the options other features set and drops an emptied list.
    f.dir.Sql("insert into scheme_options values(1,'render','1');");
    f.window->List().FillSchemeList();
    f.window->List().setCurrentItem(f.window->List().topLevelItem(0));
    f.window->List().EditAction()->trigger();
    QCOMPARE(keywords.WatchBox().toPlainText(), QStringLiteral("/^显卡降/"));
    keywords.MuteBox().clear();
    f.Editor().SaveScheme();
    QCOMPARE(f.LastMessage().caption, QStringLiteral("方案新建成功！"));
    QCOMPARE(OptionsOnDisk(f.dir),
             (std::map<int, SchemeOptions>{{1, {{"render", "1"}, {"watch", G("/^显卡降/")}}}}));

    // A copy takes them all along.
    f.window->List().setCurrentItem(f.window->List().topLevelItem(0));
    f.window->List().CopyAction()->trigger();
    f.Editor().SaveScheme();
    QCOMPARE(OptionsOnDisk(f.dir).at(2), (SchemeOptions{{"render", "1"}, {"watch", G("/^显卡降/")}}));
  }

  void identifyingThePageMarksItsHitsToo() {
    OptionsFixture f;
    f.Open(ui::OptionsWindow::kEditorTab);
    ui::KeywordsBox& keywords = f.Editor().Keywords();
    keywords.WatchBox().setPlainText(QStringLiteral("显卡"));
    keywords.MuteBox().setPlainText(QStringLiteral("广告"));
    f.Find<QLineEdit>("编辑框_网址").setText(QString::fromStdString(f.Url("/long.html")));
    f.Find<QPushButton>("按钮_自动识别").click();
    auto& results = f.Find<QTreeWidget>("测试列表框");
    QCOMPARE(results.topLevelItemCount(), 8);
    // The proposal names the title's group, so the marks come with its hits: 显卡讨论6 and 3 watched,
    // 广告帖8 and 4 muted.
    QList<Look> expected;
    for (int i = 8; i >= 1; --i)
      expected << (i % 3 == 0 ? Look::kWatched : i % 4 == 0 ? Look::kMuted : Look::kPlain);
    QCOMPARE(Looks(results), expected);
    QCOMPARE(keywords.Note(), QStringLiteral("测试结果 8 条：关注 2 条，屏蔽 2 条，另有 4 条不提醒"));
  }

  void aBadExpressionIsRefusedWithTheEnginesWordsAndNothingIsSaved() {
    OptionsFixture f;
    f.Open(ui::OptionsWindow::kEditorTab);
    ui::KeywordsBox& keywords = f.Editor().Keywords();
    f.Find<QLineEdit>("编辑框_站名").setText(QStringLiteral("本地论坛"));
    keywords.WatchBox().setPlainText(QStringLiteral("显卡"));
    keywords.MuteBox().setPlainText(QStringLiteral("广告\n\n/(广告/"));
    f.Editor().SaveScheme();
    QCOMPARE(f.LastMessage().caption, QStringLiteral("关键词有误，未保存！"));
    QCOMPARE(f.LastMessage().icon, ui::MessageIcon::Warning);
    QCOMPARE(f.LastMessage().text, QStringLiteral("屏蔽词第 3 行“/(广告/”不是有效的正则表达式：") +
                                       ui::FromGbk(*PatternError(G("(广告"))));
    Connection connection;
    OpenDatabase(connection, f.dir.Database());
    QCOMPARE(Query(connection, "select count(*) from rule").Cell(0, 0), std::string("0"));
    QCOMPARE(f.Find<QLineEdit>("编辑框_站名").text(), QStringLiteral("本地论坛"));
    QCOMPARE(keywords.MuteBox().toPlainText(), QStringLiteral("广告\n\n/(广告/"));
  }

  void everyonesListsAreSavedInTheSettingsAndJoinTheTestsMarks() {
    OptionsFixture f;
    f.Open(ui::OptionsWindow::kAdvancedTab);
    ui::GlobalKeywordsBox& everyone = f.window->Advanced().Keywords();
    auto& save = f.Find<QPushButton>("保存关键词");
    everyone.Box().WatchBox().setPlainText(QStringLiteral("/[/"));
    save.click();
    QCOMPARE(f.LastMessage().caption, QStringLiteral("关键词有误，未保存！"));

    // Entries too many for one settings value are refused, and nothing is written.
    QString many;
    for (int i = 0; i < 2000; ++i) many += QStringLiteral("关键词%1\n").arg(i);
    everyone.Box().WatchBox().setPlainText(many);
    save.click();
    QVERIFY(f.LastMessage().text.startsWith(QStringLiteral("保存失败，关注词最多 10239 字节")));
    QVERIFY(f.harness->Window().Settings().ReadSetting(G("关注词")).empty());

    everyone.Box().WatchBox().setPlainText(QStringLiteral("内存\n<b>\n"));
    everyone.Box().MuteBox().setPlainText(QStringLiteral(" 广告 "));
    save.click();
    QCOMPARE(f.LastMessage().caption, QStringLiteral("　保存成功！"));
    QCOMPARE(f.harness->Window().Settings().ReadSetting(G("关注词")), G("<内存><%3Cb%3E>"));
    QCOMPARE(everyone.Box().MuteBox().toPlainText(), QStringLiteral("广告"));

    // The editor's test takes them with the scheme's own.
    f.window->Tabs().setCurrentIndex(ui::OptionsWindow::kEditorTab);
    f.FillBoardScheme();
    f.Find<QLineEdit>("tindex框").setText(QStringLiteral("2"));
    f.Editor().TestRule();
    QCOMPARE(Looks(f.Find<QTreeWidget>("测试列表框")),
             (QList<Look>{Look::kPlain, Look::kWatched, Look::kMuted}));

    // A window opened later shows them.
    f.window.reset();
    f.Open(ui::OptionsWindow::kAdvancedTab);
    QCOMPARE(f.window->Advanced().Keywords().Box().WatchBox().toPlainText(), QStringLiteral("内存\n<b>"));
  }

 private:
  TestBus bus_;
};

QTEST_MAIN(KeywordsTest)
#include "keywords_test.moc"
