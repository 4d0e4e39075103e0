// 自动识别 in the options window against local boards: the editor filled with the best proposal and its hits
// shown as a test shows them, the proposals in the drop-down, the lock, a page where nothing repeats, a dead
// server; then the first-scheme path: the category 默认 made by the save, the tree refreshing itself, and a
// first pass storing exactly the hits the editor showed.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>
#include <set>

#include "storage/database.h"
#include "support/board_server.h"
#include "support/http_test_server.h"
#include "support/processes.h"
#include "support/script_board_server.h"
#include "text/encoding.h"
#include "ui/main/category_tree.h"
#include "ui/main/gbk_text.h"
#include "ui/options/options_window.h"
#include "ui/options/scheme_editor.h"
#include "ui/options/scheme_list.h"
#include "ui/options/scheme_proposer.h"
#include "ui_harness.h"

using namespace qw;
using namespace qw::test;

namespace {

// A GBK board after a common forum engine: two pinned threads and a separator, then the board's threads,
// each linked from an icon, its title and its reply count; a column of hot threads beside it.
std::string BoardPage(int threads) {
  std::string rows;
  for (int t : {11, 12}) {
    rows += "<tbody id=\"stickthread_" + std::to_string(t) + "\"><tr><td><img src=\"pin_1.gif\"></td><th><a href=\"thread-" +
            std::to_string(t) + "-1-1.html\" class=\"s xst\">置顶：本版规则第" + std::to_string(t) + "条</a></th></tr></tbody>\r\n";
  }
  rows += "<tbody id=\"separatorline\"><tr><th>版块主题</th></tr></tbody>\r\n";
  for (int i = threads; i >= 1; --i) {
    const std::string t = std::to_string(1000 + i);
    rows += "<tbody id=\"normalthread_" + t + "\"><tr><td><a href=\"thread-" + t + "-1-1.html\"><img src=\"new.gif\"></a></td>"
            "<th><a href=\"thread-" + t + "-1-1.html\" class=\"s xst\">帖子标题：第" + std::to_string(i) + "个讨论's \"话题\"</a></th>"
            "<td><a href=\"space-uid-" + std::to_string(i % 3) + ".html\">网友" + std::to_string(i % 3) + "</a></td>"
            "<td><a href=\"thread-" + t + "-1-1.html\" class=\"xi2\">" + std::to_string(i * 3) + "</a></td></tr></tbody>\r\n";
  }
  std::string hot;
  for (int i = 0; i < 4; ++i) hot += "<li><a href=\"thread-" + std::to_string(900 + i) + "-1-1.html\">热门帖子第" + std::to_string(i) + "个</a></li>";
  return Utf8ToGbk("<html><head><meta charset=\"gbk\"><title>灌水区</title></head><body><div id=\"nv\"><a href=\"forum.php\">论坛</a>"
                   "<a href=\"home.php\">家园</a></div><table id=\"threadlisttableid\">\r\n" + rows +
                   "</table><div class=\"sd\"><ul class=\"hot\">" + hot + "</ul></div></body></html>");
}

std::string PlainPage() {
  return Utf8ToGbk("<html><body><h1>关于我们</h1><p>这是一个普通页面，<a href=\"/contact.html\">联系</a>。</p></body></html>");
}

template <typename T>
T& Control(QWidget& window, const char* name) {
  T* control = window.findChild<T*>(QString::fromUtf8(name));
  if (control == nullptr) qFatal("no control %s", name);
  return *control;
}

class Fixture {
 public:
  explicit Fixture(std::string categories = "<论坛>")
      : server_([this](const ReceivedRequest& request) {
          if (request.raw.find("GET /plain.html") == 0) return MakeResponse(200, PlainPage());
          return MakeResponse(200, page_);
        }) {
    page_ = BoardPage(6);
    if (!categories.empty()) dir.WriteSettings({"类别=" + categories});
    dir.CreateDatabase();
  }

  ui::OptionsWindow& Open(std::string renderer = QW_RENDER_BIN) {
    if (!harness) harness = StartedWindow(dir);
    FetchLimits limits;
    limits.connectTimeout = std::chrono::milliseconds(2000);
    limits.stallTimeout = std::chrono::milliseconds(600);
    limits.totalTimeout = std::chrono::milliseconds(5000);
    ui::MainWindow& main = harness->Window();
    ui::OptionsContext context{harness->Store(), dir.Database(), main.Settings(), main.Sql(),
                               [&main](const QString& address) { main.OpenWebAddress(address); }, limits,
                               [&main] { main.SchemesChangedInOptions(); }};
    context.render.helperPath = std::move(renderer);
    window = std::make_unique<ui::OptionsWindow>(std::move(context), ui::OptionsWindow::kEditorTab);
    return *window;
  }

  template <typename T>
  T& Find(const char* name) {
    return Control<T>(*window, name);
  }
  std::string Url(const char* path = "/forum-2-1.html") const { return server_.Url(path); }
  void Identify(const std::string& url) {
    Find<QLineEdit>("编辑框_网址").setText(QString::fromStdString(url));
    Find<QPushButton>("按钮_自动识别").click();
  }
  QString LastMessage() const { return harness->messages.empty() ? QString() : harness->messages.back().text; }
  QStringList Column(int k) {
    QStringList texts;
    auto& list = Find<QTreeWidget>("测试列表框");
    for (int i = 0; i < list.topLevelItemCount(); ++i) texts << list.topLevelItem(i)->text(k);
    return texts;
  }

  ProgramDir dir;
  std::unique_ptr<Harness> harness;
  std::unique_ptr<ui::OptionsWindow> window;

 private:
  std::string page_;
  HttpTestServer server_;
};

}  // namespace

class SchemeProposerTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtPump(); }

  void fillsTheEditorAndOffersTheOthers() {
    Fixture f;
    f.Open();
    auto& save = f.Find<QPushButton>("按钮_保存配置");
    auto& dataItems = f.Find<QGroupBox>("分组框1");
    f.Find<QCheckBox>("gbk").setChecked(false);  // the page says it is GBK
    f.Identify(f.Url());

    QVERIFY2(f.LastMessage().startsWith(QStringLiteral("自动识别成功：取到　6条文章！")), qPrintable(f.LastMessage()));
    QVERIFY(f.Find<QCheckBox>("gbk").isChecked());
    // Past the pinned threads, by the board's own markup.
    QCOMPARE(f.Find<QLineEdit>("采集前").text(), QStringLiteral("id=\"separatorline\""));
    QVERIFY(!f.Find<QComboBox>("正则框").currentText().isEmpty());
    QVERIFY(f.Find<QRadioButton>("单选框3").isChecked());
    QCOMPARE(f.window->Editor().EditorMode(), 8);
    QCOMPARE(f.Find<QLineEdit>("补全框").text(), QString::fromStdString(f.Url("/thread-[1]-1-1.html")));
    QCOMPARE(f.Find<QLineEdit>("uindex框").text(), QStringLiteral("1"));
    const int title = f.Find<QLineEdit>("tindex框").text().toInt();
    QCOMPARE(f.Column(title), (QStringList{"帖子标题：第6个讨论's \"话题\"", "帖子标题：第5个讨论's \"话题\"",
                                           "帖子标题：第4个讨论's \"话题\"", "帖子标题：第3个讨论's \"话题\"",
                                           "帖子标题：第2个讨论's \"话题\"", "帖子标题：第1个讨论's \"话题\""}));
    QCOMPARE(f.Column(1).first(), QStringLiteral("1006"));
    QVERIFY(f.Find<QPlainTextEdit>("测试编辑框").toPlainText().contains(QStringLiteral("normalthread_1006")));
    QVERIFY(!f.Find<QPlainTextEdit>("测试编辑框").toPlainText().contains(QStringLiteral("stickthread")));
    QVERIFY(save.isEnabled());
    QVERIFY(dataItems.isEnabled());

    // The proposals, best first; picking another fills the editor with it and shows its hits.
    auto& candidates = f.Find<QComboBox>("候选框");
    QVERIFY(candidates.isEnabled());
    QVERIFY(candidates.count() >= 2);
    QCOMPARE(candidates.itemText(0), QStringLiteral("候选 1：6 条，帖子标题：第6个讨论's \"话题…"));
    const QString best = f.Find<QComboBox>("正则框").currentText();
    const int messages = static_cast<int>(f.harness->messages.size());
    emit candidates.activated(1);
    QVERIFY(f.Find<QComboBox>("正则框").currentText() != best);
    QCOMPARE(f.Find<QTreeWidget>("测试列表框").topLevelItemCount(), candidates.itemText(1).section(QStringLiteral("："), 1).section(QStringLiteral(" "), 0, 0).toInt());
    QCOMPARE(static_cast<int>(f.harness->messages.size()), messages);
    QVERIFY(save.isEnabled());
    emit candidates.activated(0);
    QCOMPARE(f.Find<QComboBox>("正则框").currentText(), best);

    // A changed address must pass a test again before it is saved.
    f.Find<QLineEdit>("编辑框_网址").setText(QString::fromStdString(f.Url("/forum-3-1.html")));
    QVERIFY(!save.isEnabled());
  }

  void nothingRepeatsLeavesTheFields() {
    Fixture f;
    f.Open();
    f.Find<QLineEdit>("采集前").setText(QStringLiteral("<ul"));
    f.Find<QComboBox>("正则框").setEditText(QStringLiteral("<li>(.*?)</li>"));
    f.Identify(f.Url("/plain.html"));
    QVERIFY(f.LastMessage().startsWith(QStringLiteral("页面中没有找到重复出现的文章链接")));
    QCOMPARE(f.Find<QLineEdit>("采集前").text(), QStringLiteral("<ul"));
    QCOMPARE(f.Find<QComboBox>("正则框").currentText(), QStringLiteral("<li>(.*?)</li>"));
    QVERIFY(!f.Find<QPushButton>("按钮_保存配置").isEnabled());
    QVERIFY(!f.Find<QComboBox>("候选框").isEnabled());

    // No address, or one that may not be watched: said so, nothing fetched.
    f.Identify("");
    QCOMPARE(f.LastMessage(), QStringLiteral("请先填写监控网址！"));
    f.Identify("http://bbs.quillwatch.org/forum.php");
    QCOMPARE(f.LastMessage(), QStringLiteral("此站不允许监控!"));
  }

  void aPageBuiltByScriptsIsIdentifiedThroughTheBrowser() {
    ScriptBoardServer boards;
    std::vector<BoardArticle> articles;
    for (int id = 6; id >= 1; --id) articles.push_back({id, Utf8ToGbk("脚本帖子") + std::to_string(id)});
    boards.SetArticles(1, articles);
    Fixture f;
    f.Open();
    // Fetched, the shell has no list to find.
    f.Identify(boards.BoardUrl(1));
    QVERIFY2(f.LastMessage().startsWith(QStringLiteral("页面中没有找到重复出现的文章链接")),
             qPrintable(f.LastMessage()));
    f.Find<QCheckBox>("浏览器渲染").setChecked(true);
    f.Identify(boards.BoardUrl(1));
    QVERIFY2(f.LastMessage().startsWith(QStringLiteral("自动识别成功：取到　6条文章！")),
             qPrintable(f.LastMessage()));
    QVERIFY(f.Column(0).join(QString()).contains(QStringLiteral("脚本帖子6")));
    QCOMPARE(f.Find<QTreeWidget>("测试列表框").topLevelItemCount(), 6);
    QVERIFY(f.Find<QPushButton>("按钮_保存配置").isEnabled());
    QVERIFY(ChildrenNamed("quillwatch-render").empty());

    // Without its helper, the browser's reason shows where a failed fetch's would.
    f.window.reset();
    f.Open((f.dir.Path() / "missing-helper").string());
    f.Find<QCheckBox>("浏览器渲染").setChecked(true);
    f.Identify(boards.BoardUrl(1));
    const QString shown = f.Find<QPlainTextEdit>("测试编辑框").toPlainText();
    QVERIFY2(shown.startsWith(QStringLiteral("浏览器渲染失败：找不到渲染程序 ")), qPrintable(shown));
  }

  void deadServerSaysSoAsTheTesterDoes() {
    HttpTestServer silent(HttpTestServer::NeverAnswer());
    Fixture f;
    f.Open();
    f.harness->messages.clear();
    f.Identify(silent.Url("/list"));
    QCOMPARE(f.Find<QPlainTextEdit>("测试编辑框").toPlainText(),
             QStringLiteral("出错！截取源码为空，请检查方案的采集区域！"));
    QVERIFY(f.harness->messages.empty());
    QVERIFY(!f.Find<QPushButton>("按钮_保存配置").isEnabled());
    QVERIFY(!f.Find<QComboBox>("候选框").isEnabled());
  }

  void firstSchemeReachesTheTreeAndItsFirstPass() {
    Fixture f("");  // a fresh program directory: no category at all
    f.Open();
    QCOMPARE(f.harness->Window().Tree().ItemCount(), 0);
    f.Identify(f.Url());
    const int title = f.Find<QLineEdit>("tindex框").text().toInt();
    const QStringList shown = f.Column(title);
    QCOMPARE(shown.size(), 6);
    f.Find<QLineEdit>("编辑框_站名").setText(QStringLiteral("本地论坛"));
    f.Find<QPushButton>("按钮_保存配置").click();
    QCOMPARE(f.harness->messages.back().caption, QStringLiteral("方案新建成功！"));

    // 默认 made and the scheme filed under it; the tree shows both at once.
    QCOMPARE(ui::FromGbk(SettingsFile(f.dir.Settings()).ReadSetting(CategoriesKey())), QStringLiteral("<默认>"));
    ui::CategoryTree& tree = f.harness->Window().Tree();
    QCOMPARE(tree.ItemCount(), 2);
    QCOMPARE(tree.ItemAt(0)->text(0), QStringLiteral("默认"));
    QCOMPARE(tree.ItemAt(1)->text(0), QStringLiteral("本地论坛 [1]"));
    QVERIFY(tree.ItemAt(0)->isExpanded());
    QCOMPARE(f.Find<QComboBox>("组合框1").itemText(0), QStringLiteral("默认"));

    // Ticked and collected once: the pass stores exactly the hits the editor showed.
    tree.SetCheckDown(1, true);
    f.harness->Window().Monitor().CollectClicked();
    QTRY_COMPARE_WITH_TIMEOUT(f.harness->Window().Monitor().ActiveWorkers(), 0, 20000);
    Connection db;
    OpenDatabase(db, f.dir.Database());
    std::multiset<QString> stored;
    for (const auto& row : Query(db, "select title, url from info").rows) {
      stored.insert(ui::FromGbk(row[0]));
      QVERIFY(ui::FromGbk(row[1]).startsWith(QString::fromStdString(f.Url("/thread-10"))));
    }
    QCOMPARE(stored, std::multiset<QString>(shown.begin(), shown.end()));

    // A deletion reaches the tree too.
    f.window->List().setCurrentItem(f.window->List().topLevelItem(0));
    f.window->List().DeleteSelected();
    QCOMPARE(tree.ItemCount(), 1);
  }

  void aRunningPassKeepsTheTreeAsItIs() {
    BoardServer slow;
    slow.SetArticles(1, {{1, "a"}});
    slow.SetDelay(1, std::chrono::milliseconds(3000));
    Fixture f;
    f.dir.Sql(slow.SchemeInsert(1, 1, "慢", 1, 0, true));
    f.Open();
    ui::MainWindow& main = f.harness->Window();
    QCOMPARE(main.Tree().ItemCount(), 2);
    main.Monitor().CollectClicked();
    QCOMPARE(main.Monitor().ActiveWorkers(), 1);
    f.Identify(f.Url());
    f.Find<QLineEdit>("编辑框_站名").setText(QStringLiteral("新方案"));
    f.Find<QPushButton>("按钮_保存配置").click();
    QCOMPARE(main.Tree().ItemCount(), 2);
    QVERIFY(f.harness->StatusText().contains(QStringLiteral("方案已更改，监控进行中，将在下次“刷新方案列表”后生效。")));
    main.Monitor().StopAll();
    QTRY_COMPARE(main.Monitor().ActiveWorkers(), 0);
  }
};

QTEST_MAIN(SchemeProposerTest)
#include "scheme_proposer_test.moc"
