#pragma once
// 高级设置: the category editor, whose lines become the category list in the settings file, and the SQL box,
// whose text runs against the database through the program's one statement runner.

#include <QWidget>
#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;

namespace qw {
class SettingsFile;
class SqlRunner;
}  // namespace qw

namespace qw::ui {

class AdvancedTab final : public QWidget {
  Q_OBJECT

 public:
  AdvancedTab(SettingsFile& settings, SqlRunner& sql, QWidget* parent = nullptr);

  // 分类编辑框 at window creation: one line per name.
  void SetCategories(const std::vector<std::string>& names);

  // 保存栏目.
  void SaveCategories();
  // 执行SQL命令.
  void RunMaintenanceSql();

  QPlainTextEdit& CategoryEditor() const { return *categories_; }
  QPlainTextEdit& SqlBox() const { return *sqlBox_; }

 private:
  SettingsFile& settings_;
  SqlRunner& sql_;
  QPlainTextEdit* categories_;
  QPlainTextEdit* sqlBox_;
};

}  // namespace qw::ui
