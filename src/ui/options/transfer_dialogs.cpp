#include "ui/options/transfer_dialogs.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <utility>

#include "ui/options/import_dialog.h"

namespace qw::ui {
namespace {

QString SchemeFileFilter() { return QStringLiteral("方案文件 (*.qwscheme.json);;所有文件 (*)"); }

class RealTransferDialogs final : public TransferDialogs {
 public:
  std::optional<ExportChoice> ChooseExportFile(QWidget* parent, const QString& suggested) override {
    // Qt's own dialog, as a platform dialog takes no extra control.
    QFileDialog dialog(parent, QStringLiteral("导出方案"), suggested, SchemeFileFilter());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(suggested);
    auto* withCookie = new QCheckBox(QStringLiteral("包含 COOKIE"), &dialog);
    withCookie->setObjectName(QStringLiteral("包含COOKIE"));
    withCookie->setToolTip(QStringLiteral("COOKIE 常含登录信息，分享给别人的文件不要包含"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
      grid->addWidget(withCookie, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ExportChoice{dialog.selectedFiles().front(), withCookie->isChecked()};
  }

  std::optional<QString> ChooseImportFile(QWidget* parent, const QString& folder) override {
    const QString path =
        QFileDialog::getOpenFileName(parent, QStringLiteral("导入方案"), folder, SchemeFileFilter());
    if (path.isEmpty()) return std::nullopt;
    return path;
  }

  std::optional<std::vector<bool>> ChooseImports(QWidget* parent, const ImportPlan& plan) override {
    ImportDialog dialog(plan, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Ticks();
  }

  std::optional<QString> ChooseBackupFile(QWidget* parent, const QString& suggested) override {
    const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("备份数据库"), suggested,
                                                      QStringLiteral("数据库文件 (*.sdb);;所有文件 (*)"));
    if (path.isEmpty()) return std::nullopt;
    return path;
  }
};

TransferDialogs*& Installed() {
  static TransferDialogs* installed = nullptr;
  return installed;
}

}  // namespace

TransferDialogs& CurrentTransferDialogs() {
  static RealTransferDialogs real;
  TransferDialogs* installed = Installed();
  return installed != nullptr ? *installed : real;
}

TransferDialogs* InstallTransferDialogs(TransferDialogs* dialogs) {
  return std::exchange(Installed(), dialogs);
}

}  // namespace qw::ui
