#include "ui/options/options_window.h"

#include <QDialog>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace qw::ui {

void OpenOptionsWindow(QWidget* parent, int tab) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("选项"));
  dialog.resize(724, 458);
  auto* tabs = new QTabWidget(&dialog);
  tabs->setObjectName(QStringLiteral("选择夹"));
  for (const QString& title : {QStringLiteral("方案列表"), QStringLiteral("方案操作"), QStringLiteral("高级设置")}) {
    auto* page = new QLabel(QStringLiteral("此页尚在制作中。"));
    page->setAlignment(Qt::AlignCenter);
    tabs->addTab(page, title);
  }
  tabs->setCurrentIndex(std::clamp(tab, 0, tabs->count() - 1));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(tabs);
  dialog.exec();
}

}  // namespace qw::ui
