#include "ui/main/category_tree.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <optional>

#include "storage/category_list.h"
#include "storage/database.h"
#include "storage/scheme_cache.h"
#include "storage/settings_file.h"
#include "text/gbk_text.h"
#include "text/waiting.h"
#include "ui/main/app_icons.h"
#include "ui/main/gbk_text.h"

namespace qw::ui {
namespace {

constexpr int kValueRole = Qt::UserRole;
// Whether the item shows the warning icon.
constexpr int kFailingRole = Qt::UserRole + 1;

// 1 for a root item, one more for each step down.
int Level(const QTreeWidgetItem* item) {
  int level = 0;
  for (; item != nullptr; item = item->parent()) ++level;
  return level;
}

// Pop-up menus open three pixels right of and below the mouse cursor.
QPoint MenuPosition() { return QCursor::pos() + QPoint(3, 3); }

}  // namespace

CategoryTree::CategoryTree(Connection& main, SchemeCache& cache, CategoryList& categories, QWidget* parent)
    : QTreeWidget(parent), main_(main), cache_(cache), categories_(categories), menu_(new QMenu(this)) {
  setObjectName(QStringLiteral("栏目框"));
  setHeaderHidden(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
  setIconSize(QSize(16, 16));

  openAction_ = menu_->addAction(QStringLiteral("在浏览器中打开"), this, &CategoryTree::OpenSchemePage);
  menu_->addSeparator();
  menu_->addAction(QStringLiteral("新建一个监控方案"), this, [this] { emit optionsRequested(1); });
  manageAction_ = menu_->addAction(QStringLiteral("管理方案"), this, [this] { emit optionsRequested(0); });
  menu_->addSeparator();
  menu_->addAction(QStringLiteral("展开列表"), this, &CategoryTree::ExpandCategories);
  menu_->addAction(QStringLiteral("刷新方案列表"), this, &CategoryTree::refreshRequested);

  connect(this, &QTreeWidget::itemChanged, this, &CategoryTree::CheckBoxChanged);
}

void CategoryTree::LoadSchemeTree() {
  if (!FillCategoryTree()) return;  // The newer load has refreshed everything itself.
  RefreshSchemeCache(main_, cache_);
  emit loaded();
}

bool CategoryTree::FillCategoryTree() {
  const unsigned generation = ++loadGeneration_;
  clear();
  categories_.Assign(ParseCategoryValue(settings_ != nullptr ? settings_->ReadSetting(CategoriesKey()) : ""));
  const std::vector<std::string> names = categories_.Names();
  const QIcon categoryIcon = CategoryIcon();
  const QIcon schemeIcon = SchemeIcon();
  QList<QTreeWidgetItem*> roots;
  roots.reserve(static_cast<qsizetype>(names.size()));
  for (std::size_t p = 1; p <= names.size(); ++p) {
    auto* item = new QTreeWidgetItem(QStringList(FromGbk(names[p - 1])));
    item->setIcon(0, categoryIcon);
    item->setData(0, kValueRole, -10 - static_cast<int>(p));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    roots.push_back(item);
  }
  addTopLevelItems(roots);

  // The last category first, as each category's children are added behind it.
  for (int p = static_cast<int>(names.size()); p >= 1; --p) {
    const ResultTable rows = Query(main_, "select * from rule where class=" + std::to_string(p));
    for (int r = 0; r < rows.RowCount(); ++r) {
      QTreeWidgetItem* category = topLevelItem(p - 1);
      if (category == nullptr) return false;
      const std::string& id = rows.Cell(r, kRuleId);
      auto* item = new QTreeWidgetItem(QStringList(FromGbk(rows.Cell(r, kRuleName) + " [" + id + "]")));
      item->setIcon(0, schemeIcon);
      item->setData(0, kValueRole, ToInteger(id));
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(0, ToInteger(rows.Cell(r, kRuleIsdo)) == 1 ? Qt::Checked : Qt::Unchecked);
      category->addChild(item);
      // A long scheme table must not freeze the window. A handler run here may even load the tree anew.
      PumpPendingMessages();
      if (generation != loadGeneration_) return false;
    }
  }
  return true;
}

std::vector<QTreeWidgetItem*> CategoryTree::Walk() const {
  std::vector<QTreeWidgetItem*> items;
  for (QTreeWidgetItemIterator it(const_cast<CategoryTree*>(this)); *it != nullptr; ++it)
    items.push_back(*it);
  return items;
}

QTreeWidgetItem* CategoryTree::ItemAt(int index) const {
  const std::vector<QTreeWidgetItem*> items = Walk();
  return index >= 0 && index < static_cast<int>(items.size()) ? items[static_cast<std::size_t>(index)]
                                                              : nullptr;
}

int CategoryTree::IndexOf(const QTreeWidgetItem* item) const {
  const std::vector<QTreeWidgetItem*> items = Walk();
  const auto found = std::find(items.begin(), items.end(), item);
  return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

int CategoryTree::ItemCount() const { return static_cast<int>(Walk().size()); }

int CategoryTree::ItemLevel(int index) const { return Level(ItemAt(index)); }

int CategoryTree::ItemValue(int index) const {
  const QTreeWidgetItem* item = ItemAt(index);
  return item != nullptr ? item->data(0, kValueRole).toInt() : 0;
}

int CategoryTree::ItemChecked(int index) const {
  const QTreeWidgetItem* item = ItemAt(index);
  return item != nullptr && item->checkState(0) == Qt::Checked ? 1 : 0;
}

std::vector<TreeItem> CategoryTree::Items() const {
  std::vector<TreeItem> items;
  for (QTreeWidgetItem* item : Walk()) {
    items.push_back(
        {Level(item), item->data(0, kValueRole).toInt(), item->checkState(0) == Qt::Checked ? 1 : 0});
  }
  return items;
}

bool CategoryTree::ItemFailing(int index) const {
  const QTreeWidgetItem* item = ItemAt(index);
  return item != nullptr && item->data(0, kFailingRole).toBool();
}

int CategoryTree::SelectedIndex() const {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : IndexOf(selected.front());
}

void CategoryTree::SetCheckDown(int index, bool checked) { SetCheckDown(ItemAt(index), checked); }

void CategoryTree::SetCheckDown(QTreeWidgetItem* item, bool checked) {
  if (item == nullptr) return;
  const Qt::CheckState state = checked ? Qt::Checked : Qt::Unchecked;
  settingChecks_ = true;
  std::vector<QTreeWidgetItem*> todo{item};
  while (!todo.empty()) {
    QTreeWidgetItem* next = todo.back();
    todo.pop_back();
    next->setCheckState(0, state);
    for (int c = 0; c < next->childCount(); ++c) todo.push_back(next->child(c));
  }
  settingChecks_ = false;
}

void CategoryTree::ExpandCategories() {
  for (int i = 0; i < topLevelItemCount(); ++i) topLevelItem(i)->setExpanded(true);
}

void CategoryTree::MarkScheme(int id, const SchemeMark& mark) {
  MarkMatching([&](int item) { return item == id ? std::optional<SchemeMark>(mark) : std::nullopt; });
}

void CategoryTree::MarkSchemes(const std::function<SchemeMark(int id)>& mark) {
  MarkMatching([&](int id) { return std::optional<SchemeMark>(mark(id)); });
}

void CategoryTree::MarkMatching(const std::function<std::optional<SchemeMark>(int id)>& mark) {
  const QIcon normal = SchemeIcon();
  const QIcon warning = FailingSchemeIcon();
  for (int c = 0; c < topLevelItemCount(); ++c) {
    QTreeWidgetItem* category = topLevelItem(c);
    for (int s = 0; s < category->childCount(); ++s) {
      QTreeWidgetItem* item = category->child(s);
      const std::optional<SchemeMark> shown = mark(item->data(0, kValueRole).toInt());
      if (!shown) continue;
      item->setToolTip(0, shown->tooltip);
      // The icon is set only when it changes: a new icon repaints the item.
      if (item->data(0, kFailingRole).toBool() != shown->failing) {
        item->setIcon(0, shown->failing ? warning : normal);
        item->setData(0, kFailingRole, shown->failing);
      }
    }
  }
}

void CategoryTree::CheckBoxChanged(QTreeWidgetItem* item, int column) {
  if (settingChecks_ || column != 0) return;
  SetCheckDown(item, item->checkState(0) == Qt::Checked);
}

void CategoryTree::mousePressEvent(QMouseEvent* event) {
  // The right button never changes the selection: the menu acts on the item selected before.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

void CategoryTree::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    ShowMenu();
    return;
  }
  QTreeWidget::mouseReleaseEvent(event);
}

void CategoryTree::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const int index = SelectedIndex();
  if (index >= 0 && ItemLevel(index) >= 2) emit schemeChosen(ItemValue(index));
}

void CategoryTree::contextMenuEvent(QContextMenuEvent* event) {
  // The mouse's menu comes with the right button's release; the keyboard's menu key opens it too.
  event->accept();
  if (event->reason() == QContextMenuEvent::Keyboard) ShowMenu();
}

void CategoryTree::ShowMenu() {
  const int selected = SelectedIndex();
  if (selected < 0) {
    openAction_->setEnabled(false);
    manageAction_->setVisible(false);
  } else {
    setFocus(Qt::OtherFocusReason);
    openAction_->setEnabled(true);
    manageAction_->setVisible(true);
    if (ItemLevel(selected) == 1) openAction_->setEnabled(false);
  }
  menu_->popup(MenuPosition());
}

void CategoryTree::OpenSchemePage() {
  const int value = ItemValue(SelectedIndex());
  if (value < 1) return;
  emit openAddressRequested(FromGbk(cache_.Get(value, kRuleUrl)));
}

}  // namespace qw::ui
