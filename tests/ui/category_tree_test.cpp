// The category tree: what a load shows, the check boxes, the double click and the menu 栏目菜单.

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "storage/scheme_cache.h"
#include "storage/settings_file.h"
#include "text/encoding.h"
#include "ui/main/article_list.h"
#include "ui/main/category_tree.h"
#include "ui/main/mini_homepage.h"
#include "ui_harness.h"

using namespace qw;
using namespace qw::test;

namespace {

// The example board: 新闻 holds B [5], 论坛 holds A [3]; scheme 7 belongs to no category.
void ExampleBoard(ProgramDir& dir) {
  dir.WriteSettings({"类别=<新闻><论坛>"});
  dir.CreateDatabase();
  dir.Sql(
      "insert into rule(id, class, name, url, isdo) values(3, 2, 'A', 'http://a.example/list', '1');"
      "insert into rule(id, class, name, url, isdo) values(5, 1, 'B', 'http://b.example/list', '0');"
      "insert into rule(id, class, name, url, isdo) values(7, 3, 'C', 'http://c.example/list', '1');"
      "insert into info(planname, planid, title, url) values('A', 3, '甲', 'http://a.example/1');"
      "insert into info(planname, planid, title, url) values('B', 5, '乙', 'http://b.example/1');");
}

QPoint CentreOf(ui::CategoryTree& tree, QTreeWidgetItem* item) { return tree.visualItemRect(item).center(); }

QStringList TreeTexts(ui::CategoryTree& tree) {
  QStringList texts;
  for (int i = 0; i < tree.ItemCount(); ++i) texts << tree.ItemAt(i)->text(0);
  return texts;
}

}  // namespace

class CategoryTreeTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtPump(); }

  void loadShowsCategoriesWithTheirSchemes() {
    ProgramDir dir;
    ExampleBoard(dir);
    auto harness = StartedWindow(dir);
    ui::CategoryTree& tree = harness->Window().Tree();
    QCOMPARE(TreeTexts(tree), (QStringList{"新闻", "B [5]", "论坛", "A [3]"}));
    QCOMPARE((QList<int>{tree.ItemValue(0), tree.ItemValue(1), tree.ItemValue(2), tree.ItemValue(3)}),
             (QList<int>{-11, 5, -12, 3}));
    QCOMPARE((QList<int>{tree.ItemLevel(0), tree.ItemLevel(1), tree.ItemLevel(2), tree.ItemLevel(3)}),
             (QList<int>{1, 2, 1, 2}));
    QCOMPARE((QList<int>{tree.ItemChecked(0), tree.ItemChecked(1), tree.ItemChecked(2), tree.ItemChecked(3)}),
             (QList<int>{0, 0, 0, 1}));
    QCOMPARE(tree.ItemLevel(4), 0);
    QCOMPARE(tree.SelectedIndex(), -1);
    // A scheme of no category has no item but is cached, as every row is.
    QCOMPARE(harness->Store().schemes.Get(7, kRuleName), std::string("C"));
    QCOMPARE(harness->Store().categories.Names(),
             (std::vector<std::string>{Utf8ToGbk("新闻"), Utf8ToGbk("论坛")}));
  }

  void checkBoxesSetEverythingBelowThem() {
    ProgramDir dir;
    ExampleBoard(dir);
    auto harness = StartedWindow(dir);
    ui::CategoryTree& tree = harness->Window().Tree();
    // As a click on the box reports it: the box has changed, the tree passes the state down.
    tree.topLevelItem(0)->setCheckState(0, Qt::Checked);
    QCOMPARE(tree.ItemChecked(1), 1);
    tree.topLevelItem(0)->child(0)->setCheckState(0, Qt::Unchecked);
    QCOMPARE(tree.ItemChecked(0), 1);  // the category's box is not updated from its schemes
    tree.SetCheckDown(2, false);
    QCOMPARE(tree.ItemChecked(3), 0);
    // A reload gives every scheme its stored tick again.
    harness->Window().RefreshSchemeList();
    QCOMPARE((QList<int>{tree.ItemChecked(0), tree.ItemChecked(1), tree.ItemChecked(2), tree.ItemChecked(3)}),
             (QList<int>{0, 0, 0, 1}));
  }

  void doubleClickListsASchemesArticles() {
    ProgramDir dir;
    ExampleBoard(dir);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    QVERIFY(harness->Show());
    ui::CategoryTree& tree = window.Tree();
    tree.ExpandCategories();
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, CentreOf(tree, tree.topLevelItem(1)));
    QCOMPARE(window.Articles().topLevelItemCount(), 0);
    QVERIFY(window.Homepage().IsOpen());  // a category lists nothing, so the homepage stays
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, CentreOf(tree, tree.topLevelItem(1)->child(0)));
    QCOMPARE(window.Articles().topLevelItemCount(), 1);
    QCOMPARE(window.Articles().CellText(0, ui::ArticleList::kTitle), Utf8ToGbk("甲"));
  }

  void menuItemsFollowTheSelection() {
    ProgramDir dir;
    ExampleBoard(dir);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    QVERIFY(harness->Show());
    ui::CategoryTree& tree = window.Tree();
    tree.ExpandCategories();
    auto rightClick = [&](QTreeWidgetItem* over) {
      tree.Menu()->hide();
      QTest::mouseClick(tree.viewport(), Qt::RightButton, {},
                        over != nullptr ? CentreOf(tree, over) : QPoint(5, 300));
      QVERIFY(tree.Menu()->isVisible());
    };
    QStringList items;
    for (QAction* action : tree.Menu()->actions()) items << (action->isSeparator() ? "-" : action->text());
    QCOMPARE(items, (QStringList{"在浏览器中打开", "-", "新建一个监控方案", "管理方案", "-", "展开列表",
                                 "刷新方案列表"}));

    rightClick(nullptr);
    QVERIFY(!tree.OpenAction()->isEnabled());
    QVERIFY(!tree.ManageAction()->isVisible());

    tree.setCurrentItem(tree.topLevelItem(0));   // 新闻
    rightClick(tree.topLevelItem(1)->child(0));  // over A [3]: the selection stays on 新闻
    QCOMPARE(tree.SelectedIndex(), 0);
    QVERIFY(!tree.OpenAction()->isEnabled());
    QVERIFY(tree.ManageAction()->isVisible());

    tree.setCurrentItem(tree.topLevelItem(1)->child(0));  // A [3]
    rightClick(nullptr);
    QVERIFY(tree.OpenAction()->isEnabled());
    tree.Menu()->hide();

    // The page cached at the last load opens, even after the scheme was edited.
    dir.Sql("update rule set url='http://edited.example/' where id=3");
    tree.OpenAction()->trigger();
    QCOMPARE(harness->opened, (std::vector<QUrl>{QUrl("http://a.example/list")}));

    tree.Menu()->actions()[2]->trigger();  // 新建一个监控方案
    QCOMPARE(window.OptionsTab(), 1);
    tree.ManageAction()->trigger();
    QCOMPARE(window.OptionsTab(), 0);
    QCOMPARE(harness->optionsTabs, (std::vector<int>{1, 0}));
  }

  void expandListOpensEveryCategory() {
    ProgramDir dir;
    ExampleBoard(dir);
    dir.WriteSettings({"类别=<新闻><论坛><空>"});
    auto harness = StartedWindow(dir);
    ui::CategoryTree& tree = harness->Window().Tree();
    tree.Menu()->actions()[5]->trigger();  // 展开列表
    for (int i = 0; i < 3; ++i) QVERIFY(tree.topLevelItem(i)->isExpanded());
  }

  void refreshIsRefusedWhileMonitoringRuns() {
    ProgramDir dir;
    ExampleBoard(dir);
    auto harness = StartedWindow(dir);
    ui::MainWindow& window = harness->Window();
    dir.Sql("insert into rule(id, class, name, isdo) values(9, 1, 'D', '1')");
    window.RunButton().setText(QStringLiteral("停止监控"));
    window.Tree().Menu()->actions()[6]->trigger();  // 刷新方案列表
    QCOMPARE(harness->messages.size(), std::size_t{1});
    QCOMPARE(harness->messages[0].text, QStringLiteral("请先停止进行中的任务！"));
    QCOMPARE(harness->messages[0].caption, QStringLiteral("信息："));
    QCOMPARE(window.Tree().ItemCount(), 4);
    window.RunButton().setText(QStringLiteral("监控勾选"));
    window.Tree().Menu()->actions()[6]->trigger();
    QCOMPARE(window.Tree().ItemCount(), 5);
    QVERIFY(harness->Store().schemes.Has(9));
  }

  void aLoadStartedInsideALoadLeavesOneWholeTree() {
    ProgramDir dir;
    ExampleBoard(dir);
    auto harness = StartedWindow(dir);
    ui::CategoryTree& tree = harness->Window().Tree();
    // Queued before the load, handled while the load processes events after its first scheme.
    int nested = 0;
    QTimer::singleShot(0, &tree, [&] {
      ++nested;
      tree.LoadSchemeTree();
    });
    tree.LoadSchemeTree();
    QCOMPARE(nested, 1);
    QCOMPARE(TreeTexts(tree), (QStringList{"新闻", "B [5]", "论坛", "A [3]"}));
  }

  void hostileNamesAndManyCategoriesLoad() {
    ProgramDir dir;
    std::string categories;
    for (int i = 1; i <= 10000; ++i) categories += "<c" + std::to_string(i) + ">";
    dir.WriteSettings({"类别=" + categories});
    dir.CreateDatabase();
    // Invalid GBK, quotes, a line break and a very long name.
    dir.SqlBytes(
        "insert into rule(id, class, name, isdo) values(1, 1, 'x\x81\xff''\"y', '1');"
        "insert into rule(id, class, name, isdo) values(2, 2, 'line' || char(13, 10) || 'break', '0');"
        "insert into rule(id, class, name, isdo) values(500, 3, '" +
        std::string(20000, 'n') + "', '1');");
    auto harness = StartedWindow(dir);
    ui::CategoryTree& tree = harness->Window().Tree();
    // The settings reader keeps the first 10239 bytes of a value; the names in them all get their items.
    const int shown = static_cast<int>(ParseCategoryValue(categories.substr(0, kSettingReadLimit)).size());
    QCOMPARE(tree.topLevelItemCount(), shown);
    QCOMPARE(tree.ItemCount(), shown + 3);
    const QString first = tree.topLevelItem(0)->child(0)->text(0);
    QVERIFY(first.startsWith(QStringLiteral("x")));
    QVERIFY(first.contains(QChar(0xFFFD)));
    QVERIFY(first.endsWith(QStringLiteral("'\"y [1]")));
    QCOMPARE(tree.topLevelItem(2)->child(0)->data(0, Qt::UserRole).toInt(), 500);
    QCOMPARE(tree.topLevelItem(1)->child(0)->text(0), QStringLiteral("line\r\nbreak [2]"));
    QVERIFY(harness->messages.empty());
  }
};

QTEST_MAIN(CategoryTreeTest)
#include "category_tree_test.moc"
