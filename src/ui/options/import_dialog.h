#pragma once
// 导入方案: what a scheme file holds, one row per scheme, and for each whether the database already has an
// equal one (the same address and expression). A new scheme starts ticked, an equal one unticked (skipped);
// ticking it adds it anyway.

#include <QDialog>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace qw {
struct ImportPlan;
}

namespace qw::ui {

class ImportDialog final : public QDialog {
  Q_OBJECT

 public:
  enum Column { kName, kCategory, kUrl, kState };

  explicit ImportDialog(const ImportPlan& plan, QWidget* parent = nullptr);

  // Per scheme of the file, whether it is ticked to be added.
  std::vector<bool> Ticks() const;
  QTreeWidget& List() const { return *list_; }

 private:
  void ShowState(QTreeWidgetItem& item);

  QTreeWidget* list_;
  std::vector<int> equalIds_;  // 0 where the database has no equal scheme
};

}  // namespace qw::ui
