#include "ui/options/scheme_list.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>

#include "storage/database.h"
#include "storage/scheme_cache.h"
#include "storage/scheme_options.h"
#include "storage/scheme_statements.h"
#include "text/gbk_text.h"
#include "ui/main/gbk_text.h"

namespace qw::ui {
namespace {

constexpr int kColumnWidth = 80;

}  // namespace

const std::string& CellOf(const SchemeCells& row, std::size_t k) {
  static const std::string empty;
  return k < row.size() ? row[k] : empty;
}

SchemeList::SchemeList(Connection& options, QWidget* parent)
    : QTreeWidget(parent), options_(options), menu_(new QMenu(this)) {
  setObjectName(QStringLiteral("项目列表框"));
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  header()->setStretchLastSection(false);
  setColumnCount(0);

  menu_->setObjectName(QStringLiteral("方案菜单"));
  new_ = menu_->addAction(QStringLiteral("新建监控方案"), this,
                          [this] { emit loadRequested(LoadMode::New, SchemeCells{}); });
  menu_->addSeparator();
  edit_ = menu_->addAction(QStringLiteral("编辑"), this, [this] {
    if (auto row = SelectedRow()) emit loadRequested(LoadMode::Edit, *row);
  });
  copy_ = menu_->addAction(QStringLiteral("复制"), this, [this] {
    if (auto row = SelectedRow()) emit loadRequested(LoadMode::Copy, *row);
  });
  delete_ = menu_->addAction(QStringLiteral("删除"), this, &SchemeList::DeleteSelected);
  menu_->addSeparator();
  defaultTick_ = menu_->addAction(QStringLiteral("默认勾选"), this, &SchemeList::ToggleDefaultTick);
  defaultTick_->setCheckable(true);
  menu_->addSeparator();
  export_ = menu_->addAction(QStringLiteral("导出…"), this,
                             [this] { emit exportRequested(SelectedIds(), SelectedNames()); });
  import_ = menu_->addAction(QStringLiteral("导入…"), this, [this] { emit importRequested(); });
}

void SchemeList::FillSchemeList() {
  clear();
  setColumnCount(0);
  const ResultTable table = Query(options_, "select * from rule");
  QStringList titles;
  for (int k = 0; k < table.ColumnCount(); ++k) titles << QString::number(k) + FromGbk(table.columns[k]);
  setColumnCount(table.ColumnCount());
  setHeaderLabels(titles);
  for (int k = 0; k < table.ColumnCount(); ++k) setColumnWidth(k, kColumnWidth);

  QList<QTreeWidgetItem*> items;
  items.reserve(table.RowCount());
  for (const std::vector<std::string>& fields : table.rows) {
    auto* item = new QTreeWidgetItem;
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    for (int k = 0; k < static_cast<int>(fields.size()); ++k) SetStoredCell(*item, k, fields[k]);
    item->setCheckState(0, CellOf(fields, kRuleIsdo) == "1" ? Qt::Checked : Qt::Unchecked);
    items << item;
  }
  addTopLevelItems(items);
}

SchemeCells SchemeList::Row(int i) const {
  SchemeCells row;
  const QTreeWidgetItem* item = topLevelItem(i);
  if (item == nullptr) return row;
  row.reserve(columnCount());
  for (int k = 0; k < columnCount(); ++k) row.push_back(StoredCell(*item, k));
  return row;
}

std::optional<SchemeCells> SchemeList::SelectedRow() const {
  QTreeWidgetItem* current = currentItem();
  if (current == nullptr || !current->isSelected()) return std::nullopt;
  return Row(indexOfTopLevelItem(current));
}

std::vector<int> SchemeList::SelectedIds() const {
  std::vector<int> ids;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    if (topLevelItem(i)->isSelected()) ids.push_back(ToInteger(StoredCell(*topLevelItem(i), kRuleId)));
  }
  return ids;
}

std::vector<std::string> SchemeList::SelectedNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    if (topLevelItem(i)->isSelected()) names.push_back(StoredCell(*topLevelItem(i), kRuleName));
  }
  return names;
}

void SchemeList::PrepareMenu() {
  const std::optional<SchemeCells> row = SelectedRow();
  for (QAction* action : {edit_, copy_, delete_, defaultTick_}) action->setEnabled(row.has_value());
  new_->setEnabled(true);
  if (row) defaultTick_->setChecked(CellOf(*row, kRuleIsdo) == "1");
  export_->setEnabled(!selectedItems().isEmpty());
  import_->setEnabled(columnCount() > 0);
}

void SchemeList::contextMenuEvent(QContextMenuEvent* event) {
  PrepareMenu();
  menu_->popup(event->globalPos() + QPoint(3, 3));
}

void SchemeList::DeleteSelected() {
  const std::optional<SchemeCells> row = SelectedRow();
  if (!row || row->empty()) return;
  // No question and no report: the refreshed list shows what happened.
  // The scheme's options go with it, so that a later scheme given its id starts without them.
  if (Execute(options_, SchemeDeleteStatement(row->front())))
    ForgetSchemeOptions(options_, ToInteger(row->front()));
  FillSchemeList();
  emit schemesChanged();
}

void SchemeList::ToggleDefaultTick() {
  const std::optional<SchemeCells> row = SelectedRow();
  if (!row || row->empty()) return;
  Execute(options_, SchemeDefaultTickStatement(CellOf(*row, kRuleIsdo), row->front()));
  FillSchemeList();
  emit schemesChanged();
}

}  // namespace qw::ui
