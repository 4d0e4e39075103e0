#include "layout_probe.h"

#include <QCoreApplication>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "ui/main/article_list.h"
#include "ui/main/category_tree.h"
#include "ui/options/options_window.h"

namespace qw::test {
namespace {

QPoint CentreIn(QWidget& window, const char* name) {
  auto* control = window.findChild<QWidget*>(QString::fromUtf8(name));
  if (control == nullptr) qFatal("the window has no control %s", name);
  return control->mapTo(&window, control->rect().center());
}

void Lay(QWidget& window, QSize size) {
  window.setAttribute(Qt::WA_DontShowOnScreen);
  window.resize(size);
  window.show();
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

QRect ItemRect(QWidget& window, QTreeWidget& tree, QTreeWidgetItem* item) {
  const QRect r = tree.visualItemRect(item);
  return QRect(tree.viewport()->mapTo(&window, r.topLeft()), r.size());
}

}  // namespace

LayoutProbe::LayoutProbe(const std::filesystem::path& programDirectory, QSize mainSize) {
  for (const char* file : {"mavo.sdb", "mavonet.ini"}) {
    if (std::filesystem::exists(programDirectory / file)) {
      std::filesystem::copy_file(programDirectory / file, dir_.Path() / file,
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
  harness_ = StartedWindow(dir_, /*trayAvailable=*/false);
  // The probe's window is never seen: its icon stays out of the tray.
  harness_->Window().Tray().Remove();
  Lay(harness_->Window(), mainSize);
  ui::MainWindow& main = harness_->Window();
  options_ = std::make_unique<ui::OptionsWindow>(
      ui::OptionsContext{harness_->Store(), dir_.Database(), main.Settings(), main.Sql(), {}, {}}, 0);
  Lay(*options_, QSize(ui::OptionsWindow::kWidth, ui::OptionsWindow::kHeight));
}

LayoutProbe::~LayoutProbe() = default;

QPoint LayoutProbe::Main(const char* name) const { return CentreIn(harness_->Window(), name); }

QPoint LayoutProbe::Options(const char* name) const {
  // Every tab's controls have their places once their tab has been shown.
  QTabWidget& tabs = options_->Tabs();
  auto* control = options_->findChild<QWidget*>(QString::fromUtf8(name));
  for (int i = 0; control != nullptr && i < tabs.count(); ++i) {
    if (tabs.widget(i)->isAncestorOf(control)) tabs.setCurrentIndex(i);
  }
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  return CentreIn(*options_, name);
}

QPoint LayoutProbe::OptionsTab(int i) const {
  QTabBar* bar = options_->Tabs().tabBar();
  return bar->mapTo(options_.get(), bar->tabRect(i).center());
}

// Rows all have one height, so row i lies i rows below the first, whatever is expanded.
QRect TreeRow(ui::MainWindow& window, int row) {
  ui::CategoryTree& tree = window.Tree();
  QRect r = ItemRect(window, tree, tree.topLevelItem(0));
  r.translate(0, row * r.height());
  return r;
}

QPoint LayoutProbe::TreeCheckBox(int row) const {
  const QRect r = TreeRow(harness_->Window(), row);
  return QPoint(r.left() + 10, r.center().y());
}

QPoint LayoutProbe::TreeText(int row) const {
  const QRect r = TreeRow(harness_->Window(), row);
  return QPoint(r.left() + 60, r.center().y());
}

QPoint LayoutProbe::ArticleRow(int i) const {
  // The list's rows all have one height; a row the probe adds stands where the program's row i stands.
  ui::ArticleList& list = harness_->Window().Articles();
  while (list.topLevelItemCount() <= i) list.addTopLevelItem(new QTreeWidgetItem(QStringList{"0", "probe"}));
  const QRect r = ItemRect(harness_->Window(), list, list.topLevelItem(i));
  return QPoint(r.left() + 150, r.center().y());
}

}  // namespace qw::test
