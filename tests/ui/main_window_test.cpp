// The main window's controls, start-up sequence, layout rule, size memory, tray and ending.

#include <sys/stat.h>

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "text/encoding.h"
#include "ui/main/article_list.h"
#include "ui/main/category_tree.h"
#include "ui/main/mini_homepage.h"
#include "ui/main/settings_menu.h"
#include "ui/main/status_box.h"
#include "ui/main/tray_icon.h"
#include "ui_harness.h"

using namespace qw;
using namespace qw::test;

namespace {

const std::vector<std::string> kTwoCategories = {"类别=<新闻><论坛>"};

void TwoSchemes(ProgramDir& dir) {
  dir.CreateDatabase();
  dir.Sql(
      "insert into rule(id, class, name, url, isdo) values(3, 2, 'A', 'http://a.example/list', '1');"
      "insert into rule(id, class, name, url, isdo) values(5, 1, 'B', 'http://b.example/list', '0');");
}

QWidget* Control(ui::MainWindow& window, const char* name) {
  return window.findChild<QWidget*>(QString::fromUtf8(name));
}

// Position in the parent's stacking order: a higher number lies on top.
int StackPosition(QWidget* widget) { return widget->parentWidget()->children().indexOf(widget); }

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return GbkToUtf8(text.str());
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtPump(); }

  void controlsHaveTheirDesignTextsAndStacking() {
    ProgramDir dir;
    TwoSchemes(dir);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    QCOMPARE(window.windowTitle(), QStringLiteral("Quillwatch v2.0 （老司机必备神器）"));
    QVERIFY(harness->StatusText().startsWith(QStringLiteral("欢迎使用“Quillwatch”")));
    QCOMPARE(window.RunButton().text(), QStringLiteral("监控勾选"));
    QCOMPARE(window.FrequencyBox().text(), QStringLiteral("300"));
    QCOMPARE(qobject_cast<QLabel*>(Control(window, "标签13"))->text(), QStringLiteral("频率"));
    struct Picture {
      const char* name;
      const char* caption;
      const char* tip;
    };
    for (const Picture& p :
         {Picture{"超级按钮1", "取全部方案文章", "获取所有方案的新文章"},
          Picture{"设置按钮", "设置", "软件设置"}, Picture{"全部文章按钮", "全部文章", "显示所有的文章"},
          Picture{"收藏按钮", "收藏夹", "我收藏的文章"}, Picture{"关注按钮", "关注", "关注词命中的文章"},
          Picture{"迷你首页", "", "迷你首页 开关"}}) {
      auto* button = qobject_cast<QToolButton*>(Control(window, p.name));
      QVERIFY2(button != nullptr, p.name);
      QCOMPARE(button->text(), QString::fromUtf8(p.caption));
      QCOMPARE(button->toolTip(), QString::fromUtf8(p.tip));
    }
    // 超级按钮1 lies exactly over 获取; the switch over the page view, which covers the list and the log.
    QWidget* fetch = Control(window, "获取");
    QWidget* super = Control(window, "超级按钮1");
    QCOMPARE(super->geometry(), fetch->geometry());
    QVERIFY(StackPosition(super) > StackPosition(fetch));
    QWidget* view = Control(window, "网页框");
    QVERIFY(view != nullptr && view->isVisibleTo(&window));
    QVERIFY(StackPosition(Control(window, "迷你首页")) > StackPosition(view));
    QVERIFY(StackPosition(Control(window, "栏目框")) > StackPosition(view));
    QVERIFY(StackPosition(view) > StackPosition(Control(window, "状态框")));
    QVERIFY(StackPosition(view) > StackPosition(Control(window, "右一框")));
    // The homepage is the program's own page: no web view, nothing asked of any host.
    QVERIFY(window.Homepage().IsOpen());
    QVERIFY(window.Homepage().ShowsStartPage());
    QCOMPARE(harness->views.created, 0);
    QVERIFY(window.windowIcon().availableSizes().contains(QSize(256, 256)));
    QVERIFY(window.Tray().Shown());
    QCOMPARE(window.Tray().Tooltip(), QStringLiteral("Mavo监控"));
  }

  void startUp_data() {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("runEnabled");
    QTest::addColumn<int>("treeItems");
    const QString noMessage;
    const QString failed = QStringLiteral("数据库打开失败！");
    const QString info = QStringLiteral("信息：");
    QTest::newRow("present") << "present" << noMessage << noMessage << true << 4;
    QTest::newRow("missing") << "missing" << QStringLiteral("数据库文件不存在！") << QStringLiteral("错误") << false << 0;
    QTest::newRow("corrupt") << "corrupt" << failed << info << false << 2;
    QTest::newRow("empty file") << "empty" << failed << info << false << 2;
    QTest::newRow("without tables") << "tableless" << failed << info << false << 2;
    QTest::newRow("tables named in capitals") << "capitals" << noMessage << noMessage << true << 2;
    QTest::newRow("a directory") << "directory" << failed << info << false << 2;
  }

  void startUp() {
    QFETCH(QString, database);
    QFETCH(QString, message);
    QFETCH(QString, caption);
    QFETCH(bool, runEnabled);
    QFETCH(int, treeItems);
    ProgramDir dir;
    dir.WriteSettings(kTwoCategories);
    if (database == "present") TwoSchemes(dir);
    if (database == "corrupt") dir.WriteFile("mavo.sdb", std::string(4096, '\x5a'));
    if (database == "empty") dir.WriteFile("mavo.sdb", "");
    if (database == "tableless") dir.CreateDatabase(false);
    if (database == "capitals") dir.Sql("create table RULE(id, class, code, name); create table Info(id)");
    if (database == "directory") std::filesystem::create_directory(dir.Database());

    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    if (message.isEmpty()) {
      QVERIFY(harness->messages.empty());
    } else {
      QCOMPARE(harness->messages.size(), std::size_t{1});
      QCOMPARE(harness->messages[0].text, message);
      QCOMPARE(harness->messages[0].caption, caption);
      QCOMPARE(harness->messages[0].icon, ui::MessageIcon::None);
    }
    QCOMPARE(window.RunButton().isEnabled(), runEnabled);
    QCOMPARE(window.Tree().ItemCount(), treeItems);
    QCOMPARE(harness->Store().schemes.Has(3), database == "present");
    // The one-off passes stay available, and the window is usable with its homepage shown.
    QVERIFY(Control(window, "获取")->isEnabled());
    QVERIFY(Control(window, "超级按钮1")->isEnabled());
    QVERIFY(window.Homepage().IsOpen());
    // A file that is there but unusable says why in the log.
    if (runEnabled == false && database != "missing") {
      QVERIFY(harness->StatusText().contains(QString::fromStdString(dir.Database().string())));
    }
    window.Articles().ListArticles(ui::kAllArticles);
    QCOMPARE(window.Articles().topLevelItemCount(), 0);
    // A database file the program can open keeps its connection, so the SQL maintenance can still make it
    // the program's.
    const bool opened = database != "missing" && database != "corrupt" && database != "directory";
    QCOMPARE(window.Sql().Run("create table if not exists maintenance(x)").ok, opened);
  }

  void layout_data() {
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QSize>("outer");
    QTest::addColumn<QList<int>>("expected");  // tree h, 左一框 top, 右一框 w h, web w h, list w h, log w top, title
    const QList<int> design = {600, 630, 730, 675, 755, 720, 730, 645, 730, 648, 300};
    QTest::newRow("design size") << QStringList{"高度=720", "宽度=1000"} << QSize(1000, 720) << design;
    QTest::newRow("900 x 600") << QStringList{"高度=600", "宽度=900"} << QSize(900, 600)
                               << QList<int>{480, 510, 630, 555, 655, 600, 630, 525, 630, 528, 200};
    QTest::newRow("first start") << QStringList{} << QSize(1000, 720) << design;
    QTest::newRow("absurd sizes") << QStringList{"高度=-40", "宽度=1000000000"} << QSize(1000, 720) << design;
    QTest::newRow("full-width digits") << QStringList{"高度=７２０", "宽度=１２００"} << QSize(1200, 720)
                                       << QList<int>{600, 630, 930, 675, 955, 720, 930, 645, 930, 648, 500};
    // Below 700 x 120 the negative values are cut to nothing.
    QTest::newRow("tiny") << QStringList{"高度=100", "宽度=600"} << QSize(600, 100)
                          << QList<int>{0, 10, 330, 55, 355, 100, 330, 25, 330, 28, 0};
  }

  void layout() {
    QFETCH(QStringList, settings);
    QFETCH(QSize, outer);
    QFETCH(QList<int>, expected);
    ProgramDir dir;
    TwoSchemes(dir);
    std::vector<std::string> entries = kTwoCategories;
    for (const QString& s : settings) entries.push_back(s.toStdString());
    dir.WriteSettings(entries);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    QCOMPARE(window.OuterSize(), outer);
    QWidget* view = Control(window, "网页框");
    const QList<int> actual = {Control(window, "栏目框")->height(),
                               Control(window, "左一框")->y(),
                               Control(window, "右一框")->width(),
                               Control(window, "右一框")->height(),
                               view->width(),
                               view->height(),
                               window.Articles().width(),
                               window.Articles().height(),
                               window.Status().width(),
                               window.Status().y(),
                               window.Articles().columnWidth(ui::ArticleList::kTitle)};
    QCOMPARE(actual, expected);
    // The tree fills after the size is set; showing the window lays it out again, expanding its first item.
    QVERIFY(!window.Tree().topLevelItem(0)->isExpanded());
    window.show();
    QVERIFY(window.Tree().topLevelItem(0)->isExpanded());
    QVERIFY(!window.Tree().topLevelItem(1)->isExpanded());
  }

  void rememberWindowSizeSavesHeightThenWidth() {
    ProgramDir dir;
    TwoSchemes(dir);
    {
      auto harness = StartedWindow(dir);
      ui::MainWindow& window = harness->Window();
      window.SetOuterSize(QSize(1200, 800));
      window.RememberWindowSize();
      QCOMPARE(harness->messages.size(), std::size_t{1});
      QCOMPARE(harness->messages[0].text, QStringLiteral("本设置将在软件下次启动时生效！"));
      QCOMPARE(harness->messages[0].caption, QStringLiteral("　保存成功！"));
      QCOMPARE(harness->messages[0].icon, ui::MessageIcon::Information);
      const std::string saved = FileText(dir.Settings());
      QVERIFY(saved.find("高度=800") != std::string::npos);
      QVERIFY(saved.find("高度=800") < saved.find("宽度=1200"));
      QCOMPARE(window.OuterSize(), QSize(1200, 800));
    }
    auto next = StartedWindow(dir);
    QCOMPARE(next->Window().OuterSize(), QSize(1200, 800));
  }

  void rememberWindowSizeReportsAFailedWrite() {
    ProgramDir dir;
    TwoSchemes(dir);
    dir.WriteSettings({"高度=600"});
    auto harness = StartedWindow(dir);
    const std::string before = FileText(dir.Settings());
    QCOMPARE(chmod(dir.Settings().c_str(), 0444), 0);
    harness->Window().RememberWindowSize();
    chmod(dir.Settings().c_str(), 0644);
    QCOMPARE(harness->messages.size(), std::size_t{1});
    QCOMPARE(harness->messages[0].text, QStringLiteral("保存失败，请重试！"));
    QCOMPARE(harness->messages[0].caption, QStringLiteral("信息："));
    QCOMPARE(harness->messages[0].icon, ui::MessageIcon::None);
    QCOMPARE(FileText(dir.Settings()), before);
  }

  void minimiseHidesToTheTrayOnlyWhenThereIsOne() {
    for (const bool tray : {true, false}) {
      ProgramDir dir;
      TwoSchemes(dir);
      auto harness = StartedWindow(dir, tray);
      ui::MainWindow& window = harness->Window();
      QVERIFY(harness->Show());
      window.setWindowState(Qt::WindowMinimized);
      if (tray) {
        QTRY_VERIFY(!window.isVisible());
        QVERIFY(window.Tray().Shown());
        emit window.Tray().leftClicked();
        QTRY_VERIFY(window.isVisible());
        QVERIFY(!window.isMinimized());
      } else {
        QTest::qWait(50);
        QVERIFY(window.isVisible());
      }
    }
  }

  void closingEndsTheProgramAndTakesTheIconAway() {
    ProgramDir dir;
    TwoSchemes(dir);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    window.show();
    QVERIFY(window.Tray().Shown());
    QVERIFY(window.close());
    QVERIFY(!window.Tray().Shown());
    QVERIFY(harness->messages.empty());  // no question asked
  }

  void garbageSettingsGiveTheDesignSizeAndNoCategories() {
    ProgramDir dir;
    TwoSchemes(dir);
    std::string garbage;
    for (int i = 0; i < 70000; ++i) garbage += static_cast<char>((i * 7919) % 256);
    dir.WriteFile("mavonet.ini", garbage);
    auto harness = StartedWindow(dir);
    QCOMPARE(harness->Window().OuterSize(), QSize(1000, 720));
    QCOMPARE(harness->Window().Tree().ItemCount(), 0);
    QVERIFY(harness->Store().schemes.Has(5));  // the schemes are cached all the same
    QVERIFY(harness->messages.empty());
  }

  void settingsMenuTicksTheSwitchesAndTogglesThem() {
    ProgramDir dir;
    TwoSchemes(dir);
    dir.WriteSettings({"语音提醒=1", "图标提醒=0"});
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    qobject_cast<QToolButton*>(Control(window, "设置按钮"))->click();
    ui::SettingsMenu& menu = window.Menu();
    QVERIFY(menu.isVisible());
    QVERIFY(menu.SoundAction()->isChecked());
    QVERIFY(!menu.IconAction()->isChecked());
    QVERIFY(menu.DesktopAction()->isChecked());  // on while the settings do not have it
    QStringList items;
    for (QAction* action : menu.actions()) items << (action->isSeparator() ? "-" : action->text());
    QCOMPARE(items, (QStringList{"选项设置", "有新文章时", "-", "有新文章时 播放声音", "有新文章时 切换图标",
                                 "有新文章时 桌面通知", "-", "记住当前界面大小", "使用帮助", "关于...",
                                 "退出"}));
    QVERIFY(!menu.actions()[1]->isEnabled());
    menu.hide();
    menu.SoundAction()->trigger();
    menu.IconAction()->trigger();
    menu.DesktopAction()->trigger();
    QCOMPARE(window.Switches().SoundText(), std::string("0"));
    QCOMPARE(window.Switches().IconText(), std::string("1"));
    QCOMPARE(window.Switches().DesktopText(), std::string("0"));
    const std::string saved = FileText(dir.Settings());
    QVERIFY(saved.find("语音提醒=0") != std::string::npos && saved.find("图标提醒=1") != std::string::npos &&
            saved.find("桌面通知=0") != std::string::npos);
    emit window.Tray().menuRequested();  // the tray's right click pops the same menu up, ticked anew
    QVERIFY(!menu.SoundAction()->isChecked());
    QVERIFY(menu.IconAction()->isChecked());
    QVERIFY(!menu.DesktopAction()->isChecked());
    menu.hide();
    menu.DesktopAction()->trigger();
    QCOMPARE(window.Switches().DesktopText(), std::string("1"));
    menu.actions()[0]->trigger();  // 选项设置 opens the last tab
    QCOMPARE(harness->optionsTabs, std::vector<int>{3});
    menu.actions()[9]->trigger();  // 关于... names the program's own help
    QCOMPARE(harness->messages.back().caption, QStringLiteral("关于 Quillwatch"));
    QCOMPARE(harness->messages.back().icon, ui::MessageIcon::Information);
    QVERIFY(harness->messages.back().text.contains(QStringLiteral("设置 → 使用帮助")));
    menu.actions()[8]->trigger();  // 使用帮助
    auto* help = window.findChild<QDialog*>(QStringLiteral("使用帮助"));
    QVERIFY(help != nullptr && help->isVisible());
    QVERIFY(help->findChild<QTextBrowser*>()->toPlainText().contains(QStringLiteral("编写正则表达式")));
  }

  void trayTooltipKeepsWholeCharactersWithin62Bytes_data() {
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("shown");
    const QString forty = QString(40, QChar(0x4E2D));  // 中, two GBK bytes each
    QTest::newRow("short") << QStringLiteral("Mavo监控") << QStringLiteral("Mavo监控");
    QTest::newRow("even cut") << forty << QString(31, QChar(0x4E2D));
    QTest::newRow("odd cut") << QStringLiteral("a") + forty << QStringLiteral("a") + QString(30, QChar(0x4E2D));
  }

  void trayTooltipKeepsWholeCharactersWithin62Bytes() {
    QFETCH(QString, tip);
    QFETCH(QString, shown);
    QCOMPARE(ui::TrayTooltip(tip), shown);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
