#pragma once
// 项目列表框, the scheme list of the options window: every row of rule with all its columns, ticked where the
// scheme is ticked by default, and 方案菜单, from which a scheme is created, edited, copied, deleted or
// default-ticked, and schemes are exported and imported. The list is rebuilt whole after every change; it is
// never edited in place.
//
// Several rows can be selected, for 导出…; the commands for one scheme act on the current row, the one the
// click or the keys last moved to, as long as it is selected.

#include <QTreeWidget>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace qw {
class Connection;
}

namespace qw::ui {

// One row of rule as the list shows it: cell k holds column k, in GBK, however many columns the table has.
using SchemeCells = std::vector<std::string>;
// Cell k, or the empty text beyond the row (a new scheme has no row, a user's table may have fewer columns).
const std::string& CellOf(const SchemeCells& row, std::size_t k);

enum class LoadMode { New, Edit, Copy };

class SchemeList final : public QTreeWidget {
  Q_OBJECT

 public:
  explicit SchemeList(Connection& options, QWidget* parent = nullptr);

  // Rebuilds columns and rows from "select * from rule".
  void FillSchemeList();

  // The cells of the current row when it is selected, or nothing.
  std::optional<SchemeCells> SelectedRow() const;
  // The ids and names of every selected row, in the list's order.
  std::vector<int> SelectedIds() const;
  std::vector<std::string> SelectedNames() const;
  // The cells of row i as read from the database.
  SchemeCells Row(int i) const;

  // Enables and ticks the entries for the selected row; the right click does this before the menu shows.
  void PrepareMenu();
  QMenu* Menu() const { return menu_; }
  QAction* EditAction() const { return edit_; }
  QAction* CopyAction() const { return copy_; }
  QAction* DeleteAction() const { return delete_; }
  QAction* DefaultTickAction() const { return defaultTick_; }
  QAction* ExportAction() const { return export_; }
  QAction* ImportAction() const { return import_; }

  // 删除 and 默认勾选 on the selected row.
  void DeleteSelected();
  void ToggleDefaultTick();

 signals:
  // 新建监控方案, 编辑, 复制: the editor loads the row (none for a new scheme).
  void loadRequested(qw::ui::LoadMode mode, const qw::ui::SchemeCells& row);
  // 导出… on the selected rows, 导入….
  void exportRequested(const std::vector<int>& ids, const std::vector<std::string>& names);
  void importRequested();
  // 删除 or 默认勾选 changed a row.
  void schemesChanged();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  Connection& options_;
  QMenu* menu_;
  QAction* new_;
  QAction* edit_;
  QAction* copy_;
  QAction* delete_;
  QAction* defaultTick_;
  QAction* export_;
  QAction* import_;
};

}  // namespace qw::ui
