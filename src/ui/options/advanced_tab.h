#pragma once
// 高级设置: the category editor, whose lines become the category list in the settings file, the keyword
// lists of every scheme, the SQL box, whose text runs against the database through the program's one
// statement runner, the button that backs the database up (its work is BackupCommand's), and the mini
// homepage's own address.

#include <QWidget>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qw {
class SettingsFile;
class SqlRunner;
}  // namespace qw

namespace qw::ui {

class GlobalKeywordsBox;

class AdvancedTab final : public QWidget {
  Q_OBJECT

 public:
  AdvancedTab(SettingsFile& settings, SqlRunner& sql, QWidget* parent = nullptr);

  // 分类编辑框 at window creation: one line per name.
  void SetCategories(const std::vector<std::string>& names);
  // Names an import added to the end of the stored list, added as lines to the end of the editor so that a
  // later 保存栏目 keeps them.
  void AppendCategories(const std::vector<std::string>& names);

  // 保存栏目.
  void SaveCategories();
  // 执行SQL命令.
  void RunMaintenanceSql();
  // 保存主页: a web address, or nothing for the program's own start page.
  void SaveHomepage();

  QPlainTextEdit& CategoryEditor() const { return *categories_; }
  QPlainTextEdit& SqlBox() const { return *sqlBox_; }
  QPushButton& BackupButton() const { return *backup_; }
  QLabel& BackupStatus() const { return *backupStatus_; }
  QLineEdit& HomepageBox() const { return *homepage_; }
  GlobalKeywordsBox& Keywords() const { return *keywords_; }

 private:
  SettingsFile& settings_;
  SqlRunner& sql_;
  QPlainTextEdit* categories_;
  QPlainTextEdit* sqlBox_;
  QPushButton* backup_;
  QLabel* backupStatus_;
  QLineEdit* homepage_;
  GlobalKeywordsBox* keywords_;
};

}  // namespace qw::ui
