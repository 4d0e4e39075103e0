// The options window against a real program directory and a local board: the scheme list and its menu, the
// editor's lock, loads and saves, the rule tester's outcomes, the categories and the SQL box.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>
#include <filesystem>

#include "storage/database.h"
#include "storage/scheme_options.h"
#include "support/http_test_server.h"
#include "support/processes.h"
#include "support/script_board_server.h"
#include "text/encoding.h"
#include "ui/main/gbk_text.h"
#include "ui/options/advanced_tab.h"
#include "ui/options/hint_line.h"
#include "ui/options/options_window.h"
#include "ui/options/scheme_editor.h"
#include "ui/options/scheme_list.h"
#include "ui_harness.h"

using namespace qw;
using namespace qw::test;

namespace {

constexpr char kBoardPath[] = "/forum-2-1.html";
constexpr char kLinkExpression[] = R"re(<a href="(.*?)">(.*?)</a>)re";

// A GBK board of count threads, newest first, between the list markers.
std::string BoardPage(int count) {
  std::string page = "<html><head><title>board</title></head><body>\r\n<ul id=\"threads\">\r\n";
  for (int i = count; i >= 1; --i) {
    page += "<li><a href=\"thread-" + std::to_string(100 + i) + ".html\">" + Utf8ToGbk("帖子") +
            std::to_string(i) + "</a></li>\r\n";
  }
  page += "</ul></body></html>";
  return page;
}

// Every row of rule, read beside the program, in UTF-8.
std::vector<std::vector<QString>> RuleRows(const ProgramDir& dir, const std::string& columns = "*") {
  Connection connection;
  OpenDatabase(connection, dir.Database());
  std::vector<std::vector<QString>> rows;
  for (const auto& fields : Query(connection, "select " + columns + " from rule order by id").rows) {
    std::vector<QString> row;
    for (const std::string& field : fields) row.push_back(ui::FromGbk(field));
    rows.push_back(row);
  }
  return rows;
}

template <typename T>
T& Control(QWidget& window, const char* name) {
  T* control = window.findChild<T*>(QString::fromUtf8(name));
  if (control == nullptr) qFatal("no control %s", name);
  return *control;
}

// A program directory with the categories 新闻 and 论坛, a started main window and a board page.
class Fixture {
 public:
  explicit Fixture(bool withDatabase = true, int threads = 3)
      : server_([this](const ReceivedRequest&) { return MakeResponse(200, page_); }) {
    page_ = BoardPage(threads);
    dir.WriteSettings({"类别=<新闻><论坛>"});
    if (withDatabase) dir.CreateDatabase();
  }

  ui::OptionsWindow& Open(int tab = ui::OptionsWindow::kSchemeListTab, std::string renderer = QW_RENDER_BIN) {
    if (!harness) harness = StartedWindow(dir);
    FetchLimits limits;
    limits.connectTimeout = std::chrono::milliseconds(2000);
    limits.stallTimeout = std::chrono::milliseconds(600);
    limits.totalTimeout = std::chrono::milliseconds(5000);
    ui::OptionsContext context{harness->Store(),
                               dir.Database(),
                               harness->Window().Settings(),
                               harness->Window().Sql(),
                               [this](const QString& address) { harness->Window().OpenWebAddress(address); },
                               limits};
    context.render.helperPath = std::move(renderer);
    window = std::make_unique<ui::OptionsWindow>(std::move(context), tab);
    return *window;
  }

  std::string BoardUrl() const { return server_.Url(kBoardPath); }
  void SetPage(std::string page) { page_ = std::move(page); }

  template <typename T>
  T& Find(const char* name) {
    return Control<T>(*window, name);
  }
  ui::SchemeEditor& Editor() { return window->Editor(); }
  ui::SchemeList& List() { return window->List(); }
  QStringList Messages() const {
    QStringList texts;
    for (const ui::MessageRequest& m : harness->messages) texts << m.text;
    return texts;
  }
  const ui::MessageRequest& LastMessage() const { return harness->messages.back(); }

  // The capture settings of the board, with the address and the expression that find its threads.
  void FillBoardScheme(const QString& name) {
    Find<QLineEdit>("编辑框_站名").setText(name);
    Find<QLineEdit>("编辑框_网址").setText(QString::fromStdString(BoardUrl()));
    Find<QLineEdit>("采集前").setText(QStringLiteral("<ul id=\"threads\">"));
    Find<QLineEdit>("采集后").setText(QStringLiteral("</ul>"));
    Find<QComboBox>("正则框").setEditText(QString::fromUtf8(kLinkExpression));
  }
  void SelectRow(int i) { List().setCurrentItem(List().topLevelItem(i)); }

  ProgramDir dir;
  std::unique_ptr<Harness> harness;
  std::unique_ptr<ui::OptionsWindow> window;

 private:
  std::string page_;
  HttpTestServer server_;
};

QStringList HeaderTitles(QTreeWidget& list) {
  QStringList titles;
  for (int k = 0; k < list.columnCount(); ++k) titles << list.headerItem()->text(k);
  return titles;
}

}  // namespace

class OptionsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtPump(); }

  void openingFillsListBoxesAndTab() {
    Fixture f;
    f.dir.Sql(
        "insert into rule(id, class, name, isdo) values(3, 2, 'A', '1');"
        "insert into rule(id, class, name, isdo) values(5, 1, 'B', NULL);");
    ui::OptionsWindow& window = f.Open(7);
    QCOMPARE(window.windowTitle(), QStringLiteral("选项"));
    QCOMPARE(window.size(), QSize(724, 458));
    QCOMPARE(window.Tabs().currentIndex(), 2);
    QCOMPARE(window.Tabs().tabText(0), QStringLiteral("方案列表"));

    ui::SchemeList& list = f.List();
    QCOMPARE(list.columnCount(), 20);
    QCOMPARE(HeaderTitles(list).first(), QStringLiteral("0id"));
    QCOMPARE(HeaderTitles(list).at(2), QStringLiteral("2code"));
    QCOMPARE(HeaderTitles(list).last(), QStringLiteral("19type"));
    QCOMPARE(list.columnWidth(5), 80);
    QCOMPARE(list.topLevelItemCount(), 2);
    QCOMPARE(list.topLevelItem(0)->text(3), QStringLiteral("A"));
    QCOMPARE(list.topLevelItem(0)->checkState(0), Qt::Checked);
    QCOMPARE(list.topLevelItem(1)->checkState(0), Qt::Unchecked);

    auto& category = f.Find<QComboBox>("组合框1");
    QCOMPARE(category.count(), 2);
    QCOMPARE(category.itemText(1), QStringLiteral("论坛"));
    QCOMPARE(category.itemData(1).toInt(), 2);
    QCOMPARE(category.currentIndex(), -1);
    QCOMPARE(category.currentText(), QStringLiteral("请选择分类"));
    QCOMPARE(window.Advanced().CategoryEditor().toPlainText(), QStringLiteral("新闻\n论坛\n"));
    QVERIFY(f.harness->messages.empty());
  }

  void emptyTableAndMissingDatabase() {
    Fixture empty;
    empty.Open(1);
    QCOMPARE(empty.window->Tabs().currentIndex(), 1);
    QCOMPARE(empty.List().columnCount(), 20);
    QCOMPARE(empty.List().topLevelItemCount(), 0);

    Fixture missing(false);
    missing.harness = StartedWindow(missing.dir);
    missing.harness->messages.clear();
    missing.Open();
    QCOMPARE(missing.List().columnCount(), 0);
    QCOMPARE(missing.Messages(), QStringList{"数据库打开失败！"});
    QCOMPARE(missing.LastMessage().caption, QStringLiteral("信息："));
    QVERIFY(!std::filesystem::exists(missing.dir.Database()));
  }

  void menuFollowsTheSelection() {
    Fixture f;
    f.dir.Sql("insert into rule(id, name, isdo) values(3, 'A', '1');");
    f.Open();
    ui::SchemeList& list = f.List();
    list.clearSelection();
    list.PrepareMenu();
    for (QAction* action :
         {list.EditAction(), list.CopyAction(), list.DeleteAction(), list.DefaultTickAction()}) {
      QVERIFY(!action->isEnabled());
    }
    QVERIFY(list.Menu()->actions().first()->isEnabled());
    QCOMPARE(list.Menu()->actions().first()->text(), QStringLiteral("新建监控方案"));

    f.SelectRow(0);
    list.PrepareMenu();
    for (QAction* action :
         {list.EditAction(), list.CopyAction(), list.DeleteAction(), list.DefaultTickAction()}) {
      QVERIFY(action->isEnabled());
    }
    QVERIFY(list.DefaultTickAction()->isChecked());
  }

  void defaultTickFlips_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("after");
    QTest::newRow("ticked") << "'1'"
                            << "0";
    QTest::newRow("empty") << "''"
                           << "1";
    QTest::newRow("null") << "NULL"
                          << "1";
    QTest::newRow("zero") << "'0'"
                          << "1";
    QTest::newRow("other number") << "'2'"
                                  << "0";
  }
  void defaultTickFlips() {
    QFETCH(QString, stored);
    QFETCH(QString, after);
    Fixture f;
    f.dir.Sql("insert into rule(id, name, isdo) values(4, 'A', " + stored.toStdString() + ");");
    f.Open();
    f.SelectRow(0);
    f.List().DefaultTickAction()->trigger();
    QCOMPARE(RuleRows(f.dir, "isdo").at(0).at(0), after);
    QCOMPARE(f.List().topLevelItem(0)->text(17), after);
    QVERIFY(f.harness->messages.empty());
  }

  void deleteRemovesAtOnceAndKeepsArticles() {
    Fixture f;
    f.dir.Sql(
        "insert into rule(id, name) values(3, 'A');insert into rule(id, name) values(4, 'B');"
        "insert into info(planname, planid, title) values('A', 3, 'x');");
    Connection outside;
    QCOMPARE(OpenDatabase(outside, f.dir.Database()), OpenResult::Opened);
    QVERIFY(SaveSchemeOptions(outside, 3, {{"render", "1"}}));
    QVERIFY(SaveSchemeOptions(outside, 4, {{"mute", "x"}}));
    f.Open();
    f.SelectRow(0);
    f.List().DeleteAction()->trigger();
    QCOMPARE(f.List().topLevelItemCount(), 1);
    QCOMPARE(f.List().topLevelItem(0)->text(0), QStringLiteral("4"));
    QCOMPARE(RuleRows(f.dir, "id").size(), 1u);
    // Its options go with it, the other scheme's stay.
    QCOMPARE(ReadAllSchemeOptions(outside), (std::map<int, SchemeOptions>{{4, {{"mute", "x"}}}}));
    QVERIFY(f.harness->messages.empty());
    // The main window learns of it at its next refresh only.
    QVERIFY(f.harness->Store().schemes.Has(3));
  }

  void createTestAndSave() {
    Fixture f;
    f.Open(1);
    ui::SchemeEditor& editor = f.Editor();
    auto& save = f.Find<QPushButton>("按钮_保存配置");
    auto& dataItems = f.Find<QGroupBox>("分组框1");
    QCOMPARE(save.text(), QStringLiteral("新建规则"));
    QVERIFY(!save.isEnabled());
    QVERIFY(!dataItems.isEnabled());
    QCOMPARE(f.Find<QLineEdit>("采集前").text(), QStringLiteral("<html"));
    QCOMPARE(f.Find<QLineEdit>("补全框").text(), QStringLiteral("[]"));
    QCOMPARE(f.Find<QLineEdit>("项目编号框").text(), QStringLiteral("0"));
    QCOMPARE(f.Find<QComboBox>("正则框").count(), 4);
    QVERIFY(f.Find<QComboBox>("正则框").itemText(0).startsWith(QStringLiteral("*　必填，(\\d*)代表数字")));
    QVERIFY(
        f.Find<QPlainTextEdit>("测试编辑框").toPlainText().startsWith(QStringLiteral("流程：\n“采集配置”")));

    f.FillBoardScheme(QStringLiteral("本地论坛"));
    editor.TestRule();
    auto& results = f.Find<QTreeWidget>("测试列表框");
    QCOMPARE(HeaderTitles(results), (QStringList{"索引 0", "索引 1", "索引 2"}));
    QCOMPARE(results.topLevelItemCount(), 3);
    QCOMPARE(results.topLevelItem(0)->text(1), QStringLiteral("thread-103.html"));
    QCOMPARE(results.topLevelItem(2)->text(2), QStringLiteral("帖子1"));
    QCOMPARE(f.Messages().last(), QStringLiteral("成功取到　3条文章！"));
    QVERIFY(f.Find<QPlainTextEdit>("测试编辑框").toPlainText().contains(QStringLiteral("帖子2")));
    QVERIFY(save.isEnabled());
    QVERIFY(dataItems.isEnabled());

    f.Find<QLineEdit>("tindex框").setText(QStringLiteral("2"));
    f.Find<QLineEdit>("补全框").setText(QStringLiteral("http://board.example/[1]"));
    f.Find<QComboBox>("组合框1").setCurrentIndex(1);
    f.Find<QCheckBox>("gbk").setChecked(false);
    save.click();
    QCOMPARE(f.LastMessage().caption, QStringLiteral("方案新建成功！"));
    QVERIFY(f.LastMessage().text.startsWith(QStringLiteral("SQL语句：insert into rule(isdo,code,url,")));
    QVERIFY(f.LastMessage().text.contains(QStringLiteral("values('0','0','http://127.0.0.1:")));

    const auto rows =
        RuleRows(f.dir, "class,code,name,url,before,after,regular,buquan,tindex,uindex,oindex,isdo,type,ua");
    QCOMPARE(rows.size(), 1u);
    QCOMPARE(rows[0], (std::vector<QString>{"2", "0", "本地论坛", QString::fromStdString(f.BoardUrl()),
                                            "<ul id=\"threads\">", "</ul>", kLinkExpression,
                                            "http://board.example/[1]", "2", "0", "", "0", "0",
                                            ui::DefaultSchemeAgent()}));
    // The editor is new again, with empty markers, and the list shows the scheme.
    QCOMPARE(f.Find<QLineEdit>("采集前").text(), QString());
    QCOMPARE(f.Find<QLineEdit>("补全框").text(), QString());
    QCOMPARE(f.Find<QLineEdit>("uindex框").text(), QStringLiteral("1"));
    QVERIFY(!save.isEnabled());
    QVERIFY(dataItems.isEnabled());
    QCOMPARE(f.List().topLevelItemCount(), 1);
  }

  void editAndCopyKeepWhatTheyShould() {
    Fixture f;
    f.dir.Sql(
        "insert into rule(id, class, code, name, url, cookie, ua, arttile, arturl, lasttime, buquan, "
        "regular, "
        "before, after, tindex, uindex, oindex, isdo, lastid, type) values(9, 2, '1', '老板块', "
        "'http://x/list', "
        "'sid=1', 'Agent/1', '旧标题', 'http://x/1', '2026-1-1', '[1]', 'a(.*)b', '<ul', '</ul>', '1', '3', "
        "'2', '1', 42, '8');");
    f.Open();
    f.SelectRow(0);
    f.List().EditAction()->trigger();
    QCOMPARE(f.window->Tabs().currentIndex(), 1);
    auto& save = f.Find<QPushButton>("按钮_保存配置");
    QCOMPARE(save.text(), QStringLiteral("更新规则"));
    QCOMPARE(f.Find<QLineEdit>("项目编号框").text(), QStringLiteral("9"));
    QCOMPARE(f.Find<QComboBox>("组合框1").currentText(), QStringLiteral("论坛"));
    QVERIFY(f.Find<QRadioButton>("单选框3").isChecked());
    QVERIFY(f.Find<QLineEdit>("uindex框").isEnabledTo(&f.Find<QGroupBox>("分组框1")));
    QVERIFY(!save.isEnabled());

    // Typed values reach the row as typed: quotes, a statement separator, a backslash and GBK text.
    const QString hostile = QStringLiteral("O'Neil\"; DROP TABLE rule;-- \\ 论坛'");
    f.Find<QLineEdit>("编辑框_站名").setText(hostile);
    f.Find<QLineEdit>("cookie框").setText(QStringLiteral("a='1'"));
    f.Find<QLineEdit>("tindex框").setText(QStringLiteral("1 or 1=1"));
    f.Editor().SetEditorMode(2);
    QVERIFY(!f.Find<QLineEdit>("uindex框").isEnabledTo(&f.Find<QGroupBox>("分组框1")));
    f.Editor().SaveScheme();
    QCOMPARE(f.LastMessage().caption, QStringLiteral("方案新建成功！"));
    QVERIFY(f.LastMessage().text.startsWith(
        QStringLiteral("SQL语句：update rule set code='1',url='http://x/list'")));
    QVERIFY(f.LastMessage().text.endsWith(QStringLiteral("' where id=9")));
    QVERIFY(f.LastMessage().text.contains(QStringLiteral(",uindex=3,oindex=2,")));
    auto rows = RuleRows(f.dir, "name,cookie,tindex,uindex,type,isdo,arttile,arturl,lasttime,lastid");
    QCOMPARE(rows.size(), 1u);
    QCOMPARE(rows[0], (std::vector<QString>{hostile, "a='1'", "1 or 1=1", "3", "2", "1", "旧标题",
                                            "http://x/1", "2026-1-1", "42"}));

    // A copy keeps the fields but the id, the agent and the id index; its category stays picked.
    f.SelectRow(0);
    f.List().CopyAction()->trigger();
    QCOMPARE(f.Find<QLineEdit>("项目编号框").text(), QStringLiteral("0"));
    QCOMPARE(save.text(), QStringLiteral("新建规则"));
    QCOMPARE(f.Find<QComboBox>("组合框1").currentText(), QStringLiteral("请选择分类"));
    QCOMPARE(f.Find<QComboBox>("组合框1").currentIndex(), 1);
    f.Editor().SaveScheme();
    rows = RuleRows(f.dir, "id,class,name,ua,uindex,isdo,arttile");
    QCOMPARE(rows.size(), 2u);
    QCOMPARE(rows[0][0], QStringLiteral("9"));
    QCOMPARE(rows[0][3], QStringLiteral("Agent/1"));
    QCOMPARE(rows[1], (std::vector<QString>{"10", "2", hostile, ui::DefaultSchemeAgent(), "1", "0", ""}));
  }

  void updateWithEmptyIndexesAndFailedSave() {
    Fixture f;
    f.dir.Sql("insert into rule(id, class, name, tindex, oindex, type) values(2, 1, 'A', '', '', '0');");
    f.Open();
    f.SelectRow(0);
    f.List().EditAction()->trigger();
    f.Editor().SaveScheme();
    QCOMPARE(f.LastMessage().caption, QStringLiteral("方案新建成功！"));
    QVERIFY(f.LastMessage().text.contains(QStringLiteral(",tindex='',uindex=0,oindex='',")));
    QCOMPARE(RuleRows(f.dir, "tindex,uindex,oindex").at(0), (std::vector<QString>{"", "0", ""}));

    // A save that fails keeps what was typed.
    f.SelectRow(0);
    f.List().EditAction()->trigger();
    f.Find<QLineEdit>("编辑框_站名").setText(QStringLiteral("新名字"));
    f.harness->Store().optionsConnection.Close();
    f.Editor().SaveScheme();
    QCOMPARE(f.LastMessage().caption, QStringLiteral("创建失败！"));
    QCOMPARE(f.Find<QLineEdit>("编辑框_站名").text(), QStringLiteral("新名字"));
    QCOMPARE(f.Find<QLineEdit>("项目编号框").text(), QStringLiteral("2"));
    QCOMPARE(f.Find<QPushButton>("按钮_保存配置").text(), QStringLiteral("更新规则"));
  }

  void saveLocksAgainOnAddressOrExpression() {
    Fixture f;
    f.Open(1);
    f.FillBoardScheme(QStringLiteral("A"));
    auto& save = f.Find<QPushButton>("按钮_保存配置");
    f.Editor().TestRule();
    QVERIFY(save.isEnabled());
    f.Find<QLineEdit>("tindex框").setText(QStringLiteral("2"));
    f.Find<QLineEdit>("补全框").setText(QStringLiteral("[1]"));
    QVERIFY(save.isEnabled());
    f.Find<QLineEdit>("编辑框_网址").setText(QString::fromStdString(f.BoardUrl() + "?page=1"));
    QVERIFY(!save.isEnabled());
    f.Editor().TestRule();
    QVERIFY(save.isEnabled());
    QTest::keyClick(f.Find<QComboBox>("正则框").lineEdit(), Qt::Key_Space);
    QVERIFY(!save.isEnabled());
    f.Editor().TestRule();
    f.Find<QComboBox>("正则框").setCurrentIndex(2);
    QVERIFY(!save.isEnabled());
    QVERIFY(f.Find<QGroupBox>("分组框1").isEnabled());
  }

  void returnInAFieldSavesNothing() {
    Fixture f;
    ui::OptionsWindow& window = f.Open(1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    f.FillBoardScheme(QStringLiteral("半成品"));
    f.Editor().TestRule();
    QVERIFY(f.Find<QPushButton>("按钮_保存配置").isEnabled());
    const std::size_t shown = f.harness->messages.size();
    for (const char* field : {"编辑框_站名", "编辑框_网址", "采集前", "tindex框"}) {
      auto& edit = f.Find<QLineEdit>(field);
      edit.setFocus();
      QTest::keyClick(&edit, Qt::Key_Return);
      QTest::keyClick(&edit, Qt::Key_Enter);
    }
    QCOMPARE(f.harness->messages.size(), shown);
    QVERIFY(RuleRows(f.dir, "name").empty());
    QVERIFY(window.isVisible());
  }

  void leavingTheExpressionBoxLocksNothing() {
    // A page that the second of the offered expressions matches, tested with that expression typed in.
    Fixture f;
    f.SetPage(
        "<html><body><a href=\"t1.html\" onclick=\"atarget(this)\" class=\"xst\" >T1</a></body></html>");
    f.Open(1);
    auto& expression = f.Find<QComboBox>("正则框");
    auto& save = f.Find<QPushButton>("按钮_保存配置");
    f.Find<QLineEdit>("编辑框_网址").setText(QString::fromStdString(f.BoardUrl()));
    expression.setEditText(expression.itemText(2));
    f.Editor().TestRule();
    QVERIFY(save.isEnabled());
    // Leaving the box ends its editing; Qt then takes the typed text for the offered item it equals.
    emit expression.lineEdit()->editingFinished();
    QVERIFY(save.isEnabled());
    // Another offered expression picked is a change.
    expression.setCurrentIndex(3);
    QVERIFY(!save.isEnabled());
  }

  void theWindowsSizeIsItsOuterSize() {
    Fixture f;
    ui::OptionsWindow& window = f.Open();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.frameGeometry().size(), QSize(ui::OptionsWindow::kWidth, ui::OptionsWindow::kHeight));
  }

  void modesAndIdIndex() {
    Fixture f;
    f.dir.Sql("insert into rule(id, name, uindex, type) values(1, 'A', '4', '5');");
    f.Open();
    f.SelectRow(0);
    f.List().EditAction()->trigger();
    // An unknown mode shows as 时间倒序 and is written back as it was.
    QVERIFY(f.Find<QRadioButton>("单选框1").isChecked());
    QCOMPARE(f.Editor().EditorMode(), 5);
    auto& idIndex = f.Find<QLineEdit>("uindex框");
    QVERIFY(!idIndex.isEnabledTo(idIndex.parentWidget()));
    f.Editor().SaveScheme();
    QCOMPARE(RuleRows(f.dir, "type,uindex").at(0), (std::vector<QString>{"5", "4"}));

    // Once a test unlocks the data items: the radio buttons set the mode, and an id index left empty becomes
    // 0 when the box loses the focus.
    f.FillBoardScheme(QStringLiteral("A"));
    f.Editor().TestRule();
    f.Find<QRadioButton>("单选框3").click();
    QCOMPARE(f.Editor().EditorMode(), 8);
    QVERIFY(idIndex.isEnabledTo(idIndex.parentWidget()));
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    idIndex.setFocus();
    idIndex.clear();
    f.Find<QLineEdit>("tindex框").setFocus();
    QCOMPARE(idIndex.text(), QStringLiteral("0"));
  }

  void typedCategoryIsRefused() {
    Fixture f;
    f.Open(1);
    auto& category = f.Find<QComboBox>("组合框1");
    QTest::keyClicks(category.lineEdit(), "x");
    QCOMPARE(category.currentText(), QStringLiteral("请选择分类"));
    QCOMPARE(f.LastMessage().text, QStringLiteral("请下拉将方案归类，　高级设置　中可管理分类"));
    QCOMPARE(f.LastMessage().icon, ui::MessageIcon::Warning);
    // Saving with nothing picked files the scheme under the first category.
    f.Editor().SaveScheme();
    QCOMPARE(RuleRows(f.dir, "class").at(0).at(0), QStringLiteral("1"));
  }

  void hintsFollowTheFocus() {
    Fixture f;
    f.Open(1);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    auto& hint = f.Find<ui::HintLine>("测试提示");
    QCOMPARE(hint.HintText(), QStringLiteral("提示：规则测试 正确后，才能更改数据项"));
    f.Find<QLineEdit>("编辑框_站名").setFocus();
    QCOMPARE(hint.HintText(), QStringLiteral("方案的标识，示例：天涯论坛_休闲版块"));
    f.Find<QLineEdit>("oindex框").setFocus();  // shows no hint of its own
    QCOMPARE(hint.HintText(), QStringLiteral("方案的标识，示例：天涯论坛_休闲版块"));
    f.Find<QComboBox>("正则框").setFocus();
    QCOMPARE(hint.HintText(), QStringLiteral("重要！匹配文章的正则表达式，"));
    QVERIFY(hint.text().contains(QStringLiteral("获取帮助")));

    // The help is the program's own, opened beside the options window; nothing goes to the browser.
    emit hint.linkActivated(hint.LinkAddress());
    auto* help = f.window->findChild<QDialog*>(QStringLiteral("使用帮助"));
    QVERIFY(help != nullptr && help->isVisible());
    QVERIFY(help->findChild<QTextBrowser*>()->toPlainText().contains(QStringLiteral("编写正则表达式")));
    QVERIFY(f.harness->opened.empty());
    // Any other link leaves the program through the main window's check: web addresses only.
    emit hint.linkActivated(QStringLiteral("file:///etc/passwd"));
    emit hint.linkActivated(QStringLiteral("http://bbs.example/help"));
    QCOMPARE(f.harness->opened.size(), 1u);
    QCOMPARE(f.harness->opened.front().toString(), QStringLiteral("http://bbs.example/help"));
  }

  void testerOutcomes() {
    Fixture f(true, 30);
    f.Open(1);
    auto& results = f.Find<QTreeWidget>("测试列表框");
    auto& output = f.Find<QPlainTextEdit>("测试编辑框");
    auto& expression = f.Find<QComboBox>("正则框");
    auto& url = f.Find<QLineEdit>("编辑框_网址");

    f.FillBoardScheme(QStringLiteral("A"));
    expression.setEditText(QString());
    f.Editor().TestRule();
    QCOMPARE(f.LastMessage().text, QStringLiteral("正则匹配规则不能为空!"));
    QCOMPARE(f.LastMessage().icon, ui::MessageIcon::Critical);

    expression.setEditText(QStringLiteral("<a href=\"thread-\\d+.html\">"));
    url.setText(QStringLiteral("http://bbs.quillwatch.org/forum.php"));
    f.Editor().TestRule();
    QCOMPARE(f.LastMessage().text, QStringLiteral("此站不允许监控!"));

    // Thirty hits in page order, one column for an expression without groups.
    url.setText(QString::fromStdString(f.BoardUrl()));
    f.Editor().TestRule();
    QCOMPARE(HeaderTitles(results), QStringList{"索引 0"});
    QCOMPARE(results.topLevelItemCount(), 30);
    QCOMPARE(results.topLevelItem(0)->text(0), QStringLiteral("<a href=\"thread-130.html\">"));
    QCOMPARE(f.LastMessage().text, QStringLiteral("成功取到　30条文章！"));

    // A missing marker changes the output box only.
    const int messages = static_cast<int>(f.harness->messages.size());
    f.Find<QLineEdit>("采集前").setText(QStringLiteral("<table"));
    f.Editor().TestRule();
    QCOMPARE(output.toPlainText(), QStringLiteral("出错！截取源码为空，请检查方案的采集区域！"));
    QCOMPARE(results.topLevelItemCount(), 30);
    QCOMPARE(static_cast<int>(f.harness->messages.size()), messages);

    // Markers found but nothing matches (or the expression does not compile): the list is emptied.
    f.Find<QLineEdit>("采集前").setText(QStringLiteral("<ul"));
    for (const QString& pattern : {QStringLiteral("<table>"), QStringLiteral("(unclosed")}) {
      expression.setEditText(pattern);
      f.Editor().TestRule();
      QCOMPARE(results.columnCount(), 0);
      QCOMPARE(results.topLevelItemCount(), 0);
      QCOMPARE(f.LastMessage().text, QStringLiteral("匹配结果为0,请检查正则匹配规则!"));
      QVERIFY(output.toPlainText().contains(QStringLiteral("thread-101.html")));
    }
  }

  void browserRenderingIsTestedSavedAndKept() {
    ScriptBoardServer boards;
    std::vector<BoardArticle> articles;
    for (int id = 40; id >= 1; --id) articles.push_back({id, Utf8ToGbk("帖子") + std::to_string(id)});
    boards.SetArticles(1, articles);
    Fixture f;
    f.Open(1);
    auto& render = f.Find<QCheckBox>("浏览器渲染");
    auto& output = f.Find<QPlainTextEdit>("测试编辑框");
    QVERIFY(!render.isChecked());
    f.Find<QLineEdit>("编辑框_站名").setText(QStringLiteral("脚本论坛"));
    f.Find<QLineEdit>("编辑框_网址").setText(QString::fromStdString(boards.BoardUrl(1)));
    f.Find<QCheckBox>("gbk").setChecked(false);
    f.Find<QLineEdit>("采集前").setText(QStringLiteral("<ul id=\"list\">"));
    f.Find<QLineEdit>("采集后").setText(QStringLiteral("</ul>"));
    f.Find<QComboBox>("正则框").setEditText(
        QStringLiteral(R"re(<a href="thread-(\d+)-1-1\.html">([^<]+)</a>)re"));

    // Fetched, the shell has no articles; through the browser its script builds all forty.
    f.Editor().TestRule();
    QCOMPARE(output.toPlainText(), QStringLiteral("出错！截取源码为空，请检查方案的采集区域！"));
    render.setChecked(true);
    f.Editor().TestRule();
    QCOMPARE(f.LastMessage().text, QStringLiteral("成功取到　40条文章！"));
    QCOMPARE(f.Find<QTreeWidget>("测试列表框").topLevelItem(0)->text(2), QStringLiteral("帖子40"));
    // The test's renderer ended with it.
    QVERIFY(ChildrenNamed("quillwatch-render").empty());

    f.Find<QLineEdit>("tindex框").setText(QStringLiteral("2"));
    f.Find<QPushButton>("按钮_保存配置").click();
    QCOMPARE(f.LastMessage().caption, QStringLiteral("方案新建成功！"));
    auto options = [&f] {
      Connection connection;
      OpenDatabase(connection, f.dir.Database());
      return Query(connection, "select id,name,value from scheme_options order by id").rows;
    };
    QCOMPARE(options(), (std::vector<std::vector<std::string>>{{"1", "render", "1"}}));
    QVERIFY(!render.isChecked());

    // Edited, the scheme shows its tick; a copy keeps it; unticked and saved, the option goes.
    f.SelectRow(0);
    f.List().CopyAction()->trigger();
    QVERIFY(render.isChecked());
    f.Editor().SaveScheme();
    f.SelectRow(0);
    f.List().EditAction()->trigger();
    QVERIFY(render.isChecked());
    render.setChecked(false);
    f.Editor().SaveScheme();
    QCOMPARE(options(), (std::vector<std::vector<std::string>>{{"2", "render", "1"}}));

    // Options a deleted scheme left behind under the id the next scheme gets are not the new scheme's.
    f.dir.Sql("insert into scheme_options(id,name,value) values(3,'render','1')");
    f.List().loadRequested(ui::LoadMode::New, {});
    QVERIFY(!render.isChecked());
    f.Find<QLineEdit>("编辑框_站名").setText(QStringLiteral("普通论坛"));
    f.Editor().SaveScheme();
    QCOMPARE(RuleRows(f.dir, "id").back().at(0), QStringLiteral("3"));
    QCOMPARE(options(), (std::vector<std::vector<std::string>>{{"2", "render", "1"}}));

    // Without its helper the browser gives a reason, not an empty region.
    f.window.reset();
    f.Open(1, (f.dir.Path() / "missing-helper").string());
    f.SelectRow(1);
    f.List().EditAction()->trigger();
    f.Editor().TestRule();
    const QString shown = f.Find<QPlainTextEdit>("测试编辑框").toPlainText();
    QVERIFY2(shown.startsWith(QStringLiteral("浏览器渲染失败：找不到渲染程序 ")), qPrintable(shown));
  }

  void largeRegionIsShownCut() {
    Fixture f;
    std::string page = BoardPage(3);
    page.insert(page.find("</ul>"), std::string(3u << 20, 'x'));
    f.SetPage(page);
    f.Open(1);
    f.FillBoardScheme(QStringLiteral("A"));
    f.Editor().TestRule();
    const QString shown = f.Find<QPlainTextEdit>("测试编辑框").toPlainText();
    QVERIFY(shown.size() < (2 << 20));
    QVERIFY(shown.endsWith(QStringLiteral("字节，此处只显示前 1048576 字节）")));
    QCOMPARE(f.LastMessage().text, QStringLiteral("成功取到　3条文章！"));
  }

  void deadServerKeepsTheWindowPainting() {
    HttpTestServer silent(HttpTestServer::NeverAnswer());
    Fixture f;
    f.Open(1);
    f.FillBoardScheme(QStringLiteral("A"));
    f.Find<QLineEdit>("编辑框_网址").setText(QString::fromStdString(silent.Url("/list")));
    std::atomic<int> ticks{0};
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(50);
    f.Editor().TestRule();
    QCOMPARE(f.Find<QPlainTextEdit>("测试编辑框").toPlainText(),
             QStringLiteral("出错！截取源码为空，请检查方案的采集区域！"));
    // Timers ran while the fetch waited out its stall limit.
    QVERIFY(ticks.load() >= 5);

    // The program's exit abandons a test at once, leaving the output as it was.
    f.Find<QPlainTextEdit>("测试编辑框").setPlainText(QStringLiteral("before"));
    QTimer::singleShot(100, [] { QCoreApplication::exit(0); });
    QElapsedTimer clock;
    clock.start();
    f.Editor().TestRule();
    QVERIFY(clock.elapsed() < 500);
    QCOMPARE(f.Find<QPlainTextEdit>("测试编辑框").toPlainText(), QStringLiteral("before"));
    // An exit holds until the application's own loop has run; run it once for the tests that follow.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
  }

  void categoriesSave_data() {
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty line dropped") << "新闻\n\n论坛"
                                        << "<新闻><论坛>";
    QTest::newRow("trailing break") << "a\n\nb\n"
                                    << "<a><b>";
    QTest::newRow("empty editor") << ""
                                  << "";
    QTest::newRow("only spaces") << "  "
                                 << "<  >";
  }
  void categoriesSave() {
    QFETCH(QString, lines);
    QFETCH(QString, stored);
    Fixture f;
    f.Open(2);
    f.window->Advanced().CategoryEditor().setPlainText(lines);
    f.window->Advanced().SaveCategories();
    QCOMPARE(f.LastMessage().text, QStringLiteral("本设置将在软件下次启动时生效！"));
    QCOMPARE(f.LastMessage().caption, QStringLiteral("　保存成功！"));
    QCOMPARE(f.LastMessage().icon, ui::MessageIcon::Information);
    QCOMPARE(ui::FromGbk(SettingsFile(f.dir.Settings()).ReadSetting(CategoriesKey())), stored);
    // The window keeps the old list until the main window refreshes.
    QCOMPARE(f.Find<QComboBox>("组合框1").count(), 2);
  }

  void categoriesSaveFailures() {
    Fixture f;
    f.Open(2);
    ui::AdvancedTab& advanced = f.window->Advanced();
    // More than the settings reader takes back: refused rather than cut on the next read.
    QString many;
    for (int i = 0; i < 10000; ++i) many += QStringLiteral("分类%1\n").arg(i);
    advanced.CategoryEditor().setPlainText(many);
    advanced.SaveCategories();
    QVERIFY(f.LastMessage().text.startsWith(QStringLiteral("保存失败，")));
    QCOMPARE(ui::FromGbk(SettingsFile(f.dir.Settings()).ReadSetting(CategoriesKey())),
             QStringLiteral("<新闻><论坛>"));

    std::filesystem::remove(f.dir.Settings());
    std::filesystem::create_directory(f.dir.Settings());
    advanced.CategoryEditor().setPlainText(QStringLiteral("新闻"));
    advanced.SaveCategories();
    QCOMPARE(f.LastMessage().text, QStringLiteral("保存失败，请重试！"));
    QCOMPARE(f.LastMessage().caption, QStringLiteral("信息："));
    QCOMPARE(advanced.CategoryEditor().toPlainText(), QStringLiteral("新闻"));
  }

  void mainWindowOpensTheRealWindow() {
    Fixture f;
    f.dir.Sql("insert into rule(id, class, name) values(3, 2, 'A');");
    Harness harness(f.dir, true, FastTiming(), true);
    harness.Window().Start();
    QVERIFY(harness.Show());
    int seenTab = -1;
    int seenRows = -1;
    QTimer::singleShot(0, [&] {
      auto* window = qobject_cast<ui::OptionsWindow*>(QApplication::activeModalWidget());
      if (window == nullptr) return;
      seenTab = window->Tabs().currentIndex();
      seenRows = window->List().topLevelItemCount();
      window->close();
    });
    harness.Window().OpenOptions(3);  // 选项设置
    QCOMPARE(seenTab, 2);
    QCOMPARE(seenRows, 1);
  }

  void maintenanceSql() {
    Fixture f;
    f.dir.Sql("insert into info(id, title, issoucang) values(671, 'x', 0);");
    f.Open(2);
    ui::AdvancedTab& advanced = f.window->Advanced();
    QCOMPARE(advanced.SqlBox().toPlainText(), QStringLiteral("update info set issoucang=1 where id=671"));
    advanced.RunMaintenanceSql();
    QCOMPARE(f.LastMessage().text, QStringLiteral("SQL成功！"));
    QCOMPARE(f.LastMessage().caption, QStringLiteral("SQL执行结果"));
    QVERIFY(f.harness->StatusText().contains(QStringLiteral("update info set issoucang=1 where id=671")));

    advanced.SqlBox().setPlainText(
        QStringLiteral("update info set title='a' where id=671; update info set issoucang=2 where id=671"));
    advanced.RunMaintenanceSql();
    QCOMPARE(f.LastMessage().text, QStringLiteral("SQL成功！"));
    Connection connection;
    OpenDatabase(connection, f.dir.Database());
    QCOMPARE(Query(connection, "select title, issoucang from info").rows.at(0),
             (std::vector<std::string>{"a", "2"}));

    advanced.SqlBox().clear();
    advanced.RunMaintenanceSql();
    QVERIFY(f.LastMessage().text.startsWith(QStringLiteral("SQL出错：")));
    QVERIFY(f.LastMessage().text.endsWith(QStringLiteral("，请重启软件！")));

    advanced.SqlBox().setPlainText(QStringLiteral("updat info"));
    advanced.RunMaintenanceSql();
    QVERIFY(f.LastMessage().text.contains(QStringLiteral("syntax error")));
  }
};

QTEST_MAIN(OptionsWindowTest)
#include "options_window_test.moc"
