#include "ui/options/import_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "schemes/scheme_import.h"
#include "ui/main/gbk_text.h"

namespace qw::ui {

ImportDialog::ImportDialog(const ImportPlan& plan, QWidget* parent)
    : QDialog(parent), list_(new QTreeWidget(this)) {
  setWindowTitle(QStringLiteral("导入方案"));
  resize(680, 360);
  const auto equal =
      static_cast<int>(std::count_if(plan.candidates.begin(), plan.candidates.end(),
                                     [](const ImportCandidate& c) { return c.equalId.has_value(); }));
  auto* summary = new QLabel(
      QStringLiteral("文件中有 %1 个方案，其中 %2 个与已有方案相同（网址和正则都相同），默认跳过。\n"
                     "勾选的方案作为新方案添加：不默认勾选，从头开始监控；缺少的类别添加到类别列表末尾。")
          .arg(plan.candidates.size())
          .arg(equal),
      this);
  summary->setWordWrap(true);

  list_->setObjectName(QStringLiteral("导入列表框"));
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({QStringLiteral("方案名称"), QStringLiteral("类别"), QStringLiteral("监控网址"),
                          QStringLiteral("状态")});
  list_->header()->setStretchLastSection(true);
  for (const ImportCandidate& candidate : plan.candidates) {
    auto* item = new QTreeWidgetItem(list_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setText(kName, FromGbk(candidate.scheme.name));
    item->setText(kCategory, candidate.scheme.category.empty() ? QStringLiteral("（无）")
                                                               : FromGbk(candidate.scheme.category));
    item->setText(kUrl, FromGbk(candidate.scheme.url));
    equalIds_.push_back(candidate.equalId.value_or(0));
    item->setCheckState(kName, candidate.equalId ? Qt::Unchecked : Qt::Checked);
    ShowState(*item);
  }
  list_->resizeColumnToContents(kName);
  connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (column == kName) ShowState(*item);
  });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("导入"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);
}

void ImportDialog::ShowState(QTreeWidgetItem& item) {
  const int equalId = equalIds_[static_cast<std::size_t>(list_->indexOfTopLevelItem(&item))];
  const bool ticked = item.checkState(kName) == Qt::Checked;
  QString state;
  if (equalId == 0) {
    state = ticked ? QStringLiteral("新方案，添加") : QStringLiteral("新方案，不添加");
  } else {
    state = QStringLiteral("已有相同方案（编号 %1），").arg(equalId) +
            (ticked ? QStringLiteral("仍然添加") : QStringLiteral("跳过"));
  }
  // Setting the text changes the item again, but not its check column, so this runs once per tick.
  item.setText(kState, state);
}

std::vector<bool> ImportDialog::Ticks() const {
  std::vector<bool> ticks;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    ticks.push_back(list_->topLevelItem(i)->checkState(kName) == Qt::Checked);
  }
  return ticks;
}

}  // namespace qw::ui
