#pragma once
// The questions the options window asks before it exports, imports or backs up: which file, whether cookies
// go along, which schemes of a file to add. They all go through one replaceable object, as message boxes do,
// so that a test installs its answers and no dialog ever blocks it.

#include <QString>
#include <optional>
#include <vector>

class QWidget;

namespace qw {
struct ImportPlan;
}

namespace qw::ui {

struct ExportChoice {
  QString path;
  bool withCookie = false;  // 包含 COOKIE
};

class TransferDialogs {
 public:
  virtual ~TransferDialogs() = default;
  // The save dialog of 导出… with its check box 包含 COOKIE; nothing when cancelled.
  virtual std::optional<ExportChoice> ChooseExportFile(QWidget* parent, const QString& suggested) = 0;
  // The open dialog of 导入….
  virtual std::optional<QString> ChooseImportFile(QWidget* parent, const QString& folder) = 0;
  // What the file holds, and per scheme whether to add it; nothing when cancelled.
  virtual std::optional<std::vector<bool>> ChooseImports(QWidget* parent, const ImportPlan& plan) = 0;
  // The save dialog of 备份数据库….
  virtual std::optional<QString> ChooseBackupFile(QWidget* parent, const QString& suggested) = 0;
};

// The dialogs in use: the real ones unless a test installed others.
TransferDialogs& CurrentTransferDialogs();
// Installs dialogs (nullptr restores the real ones); returns the ones replaced, nullptr for the real ones.
TransferDialogs* InstallTransferDialogs(TransferDialogs* dialogs);

}  // namespace qw::ui
