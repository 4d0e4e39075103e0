#pragma once
// 导出…: the schemes selected in the scheme list written to a scheme file the person picks, with their
// cookies only when 包含 COOKIE is ticked.

#include <QObject>
#include <string>
#include <vector>

class QWidget;

namespace qw {
class Connection;
class SettingsFile;
}  // namespace qw

namespace qw::ui {

class ExportCommand final : public QObject {
  Q_OBJECT

 public:
  ExportCommand(Connection& options, SettingsFile& settings, QWidget* window);

  // Exports the schemes of ids, in that order; names (GBK) suggest the file name.
  void Run(const std::vector<int>& ids, const std::vector<std::string>& names);

 private:
  Connection& options_;
  SettingsFile& settings_;
  QWidget* window_;
};

}  // namespace qw::ui
