#pragma once
// 栏目框, the category tree: the user's categories with their schemes, whose check boxes choose what
// monitoring collects. Loading it also rebuilds the category list and the scheme cache.

#include <QTreeWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "monitor/monitor_worker.h"

class QAction;
class QMenu;

namespace qw {
class CategoryList;
class Connection;
class SchemeCache;
class SettingsFile;
}  // namespace qw

namespace qw::ui {

class CategoryTree final : public QTreeWidget {
  Q_OBJECT

 public:
  CategoryTree(Connection& main, SchemeCache& cache, CategoryList& categories, QWidget* parent = nullptr);

  // Where the category names are read from; until set, the tree has no categories.
  void SetSettings(const SettingsFile* settings) { settings_ = settings; }

  // Rebuilds the tree, the category list and the scheme cache.
  void LoadSchemeTree();

  // Items by index: a walk from the top, each item followed by its children, collapsed ones included.
  int ItemCount() const;
  // 1 for a category, 2 for a scheme; 0 outside the tree.
  int ItemLevel(int index) const;
  // -10 - p for the category at position p, the id for a scheme; 0 outside the tree.
  int ItemValue(int index) const;
  // 1 checked, 0 unchecked.
  int ItemChecked(int index) const;
  // Every item's level, value and check state, in index order: what a monitoring worker's queue is built
  // from.
  std::vector<TreeItem> Items() const;
  // The item at index in display order, or nullptr.
  QTreeWidgetItem* ItemAt(int index) const;
  // The selected item's index, or -1.
  int SelectedIndex() const;
  // Gives item index and every item under it the state.
  void SetCheckDown(int index, bool checked);
  // Expands every category.
  void ExpandCategories();
  // What a scheme's item shows of its health: the tooltip, and the warning icon while it fails.
  struct SchemeMark {
    QString tooltip;
    bool failing = false;
  };
  void MarkScheme(int id, const SchemeMark& mark);
  // Every scheme item, with what mark gives for its id.
  void MarkSchemes(const std::function<SchemeMark(int id)>& mark);
  // Whether the item at index shows the warning icon.
  bool ItemFailing(int index) const;

  // 栏目菜单 and its items.
  QMenu* Menu() const { return menu_; }
  QAction* OpenAction() const { return openAction_; }
  QAction* ManageAction() const { return manageAction_; }

 signals:
  // A scheme was double-clicked: list its articles.
  void schemeChosen(int id);
  // 在浏览器中打开 on a scheme: its watched page.
  void openAddressRequested(const QString& address);
  // 新建一个监控方案 (tab 1) or 管理方案 (tab 0).
  void optionsRequested(int tab);
  // 刷新方案列表; the window decides whether monitoring allows it.
  void refreshRequested();
  // A load has finished: the items are new.
  void loaded();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // The tree half of a load; false when a load started meanwhile (from an event handled during this one)
  // has replaced the items.
  bool FillCategoryTree();
  int IndexOf(const QTreeWidgetItem* item) const;
  // Marks the scheme items mark gives something for.
  void MarkMatching(const std::function<std::optional<SchemeMark>(int id)>& mark);
  void SetCheckDown(QTreeWidgetItem* item, bool checked);
  std::vector<QTreeWidgetItem*> Walk() const;
  void ShowMenu();
  void OpenSchemePage();
  void CheckBoxChanged(QTreeWidgetItem* item, int column);

  Connection& main_;
  SchemeCache& cache_;
  CategoryList& categories_;
  const SettingsFile* settings_ = nullptr;
  unsigned loadGeneration_ = 0;
  bool settingChecks_ = false;

  QMenu* menu_;
  QAction* openAction_;
  QAction* manageAction_;
};

}  // namespace qw::ui
