#pragma once
// The options window, 选项: a modal shell over three tabs, 方案列表 (the scheme list), 方案操作 (the scheme
// editor and its rule tester) and 高级设置 (categories and SQL). It is created afresh at every opening and
// works on its own database connection; nothing it saves reaches the main window before that window's next
// refresh.

#include <QDialog>
#include <filesystem>
#include <functional>

#include "fetch/http_fetcher.h"
#include "render/render_session.h"

class QTabWidget;

namespace qw {
class SettingsFile;
class SqlRunner;
struct Storage;
}  // namespace qw

namespace qw::ui {

class AdvancedTab;
class BackupCommand;
class ExportCommand;
class ImportCommand;
class SchemeEditor;
class SchemeList;

// What the window works with, all owned by the main window.
struct OptionsContext {
  Storage& storage;
  std::filesystem::path databasePath;
  SettingsFile& settings;
  // Runs the SQL box's statements on the main connection.
  SqlRunner& sql;
  // The main window's checked way to the browser.
  std::function<void(const QString&)> openAddress;
  FetchLimits fetchLimits;
  // A scheme was saved, deleted or default-ticked here; the main window's tree may want to know.
  std::function<void()> schemesChanged{};
  // How the rule tester renders a scheme marked for the browser.
  RenderSettings render{};
};

class OptionsWindow final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 724;
  static constexpr int kHeight = 458;
  enum Tab { kSchemeListTab, kEditorTab, kAdvancedTab };

  // Tabs past the last select the last.
  OptionsWindow(OptionsContext context, int tab, QWidget* parent = nullptr);
  ~OptionsWindow() override;

  QTabWidget& Tabs() const { return *tabs_; }
  SchemeList& List() const { return *list_; }
  SchemeEditor& Editor() const { return *editor_; }
  AdvancedTab& Advanced() const { return *advanced_; }
  BackupCommand& Backup() const { return *backup_; }

 protected:
  void reject() override;

 private:
  OptionsContext context_;
  QTabWidget* tabs_;
  SchemeList* list_;
  SchemeEditor* editor_;
  AdvancedTab* advanced_;
  ExportCommand* export_;
  ImportCommand* import_;
  BackupCommand* backup_;
};

// Creates the window on the tab and shows it modally until it is closed.
void OpenOptionsWindow(QWidget* parent, OptionsContext context, int tab);

}  // namespace qw::ui
