#pragma once
// 导入…: a scheme file read and checked whole, what it holds shown with the schemes the database already
// has, and the ones the person keeps ticked stored as new schemes in one transaction.

#include <QObject>
#include <string>
#include <vector>

class QWidget;

namespace qw {
class Connection;
class SettingsFile;
}  // namespace qw

namespace qw::ui {

class ImportCommand final : public QObject {
  Q_OBJECT

 public:
  ImportCommand(Connection& options, SettingsFile& settings, QWidget* window);

  void Run();

 signals:
  // Schemes were stored; categories (GBK) were added to the end of the list, which now holds all.
  void imported(const std::vector<std::string>& addedCategories, const std::vector<std::string>& categories);

 private:
  Connection& options_;
  SettingsFile& settings_;
  QWidget* window_;
};

}  // namespace qw::ui
