#pragma once
// The main window: its controls at their design places, the start-up sequence, the layout rule, and what
// closing, minimising and the two window commands do. The tree, the article list, the status box, the tray
// icon and the mini homepage are surfaces of their own; the window wires them together.

#include <QSize>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "health/health_book.h"
#include "monitor/notification_switches.h"
#include "storage/settings_file.h"
#include "storage/sql_runner.h"
#include "ui/main/alert.h"
#include "ui/main/helper_homepage_view.h"
#include "ui/main/homepage_view.h"
#include "ui/main/monitor_controller.h"
#include "ui/main/tray_icon.h"
#include "ui/main/web_address.h"
#include "ui/notify/desktop_notifier.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qw {
struct Storage;
}

namespace qw::ui {

class ArticleList;
class CategoryTree;
class DesktopNotifier;
class MiniHomepage;
class SettingsMenu;
class StatusBox;

// What the window reaches outside the program through; tests replace each.
struct WindowSeams {
  HomepageViewFactory homepageViews = HelperProcessHomepageViews();
  DesktopOpener openAddress = SystemDesktopOpener();
  TrayAvailability trayAvailable = SystemTrayAvailability();
  // Where the desktop's notification service is looked for.
  NotificationBus notificationBus = SessionNotificationBus();
  std::function<void(QWidget* parent, int tab)> openOptions;
  // The chime by default.
  ChimePlayer chime;
  MonitorTiming timing;
};

class MainWindow final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kDesignWidth = 1000;
  static constexpr int kDesignHeight = 720;

  MainWindow(Storage& storage, std::filesystem::path programDirectory, WindowSeams seams = {});
  ~MainWindow() override;

  // Reads the settings, puts the icon in the tray, opens the database and loads the tree.
  void Start();

  CategoryTree& Tree() const { return *tree_; }
  ArticleList& Articles() const { return *articles_; }
  StatusBox& Status() const { return *status_; }
  TrayIcon& Tray() const { return *tray_; }
  MiniHomepage& Homepage() const { return *homepage_; }
  SettingsMenu& Menu() const { return *menu_; }
  SqlRunner& Sql() const { return *sql_; }
  Alert& Alerts() const { return *alert_; }
  MonitorController& Monitor() const { return *monitor_; }
  QPushButton& RunButton() const { return *run_; }
  QLineEdit& FrequencyBox() const { return *frequency_; }
  SettingsFile& Settings() { return settings_; }
  NotificationSwitches& Switches() { return switches_; }
  HealthBook& Health() { return health_; }
  DesktopNotifier& Notifier() const { return *notifier_; }
  const std::filesystem::path& ProgramDirectory() const { return programDirectory_; }
  const std::filesystem::path& DatabasePath() const { return databasePath_; }
  // The tab the options window opens on next.
  int OptionsTab() const { return optionsTab_; }

  // The window's size with its frame, as the settings store it.
  QSize OuterSize() const;
  void SetOuterSize(const QSize& outer);

  // 记住当前界面大小: saves the size for the next start.
  void RememberWindowSize();
  // 退出: ends the program.
  void Quit();
  // Back from the tray: shown, normal size, in front.
  void RestoreFromTray();
  // 刷新方案列表: reloads the tree unless monitoring runs.
  void RefreshSchemeList();
  // The options window changed the schemes: the tree reloads itself unless a run or a pass is active, as a
  // reload rewrites the scheme cache a worker reads; then the status box says when the change applies.
  void SchemesChangedInOptions();
  void OpenOptions(int tab);
  void ShowAbout();
  // Hands a web address to the desktop's browser, or says in the status log why it does not.
  void OpenWebAddress(const QString& address);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void StackControls();
  void Connect();
  void ApplyLayout();
  // Opens the main connection; false (and the reason logged) when the file is no usable database.
  bool OpenMainDatabase();
  // The start page, made anew a moment after the schemes' health changed, once for a burst of changes.
  void RefreshStartPageSoon();
  void PopUpMenu();

  Storage& storage_;
  const std::filesystem::path programDirectory_;
  WindowSeams seams_;
  SettingsFile settings_;
  std::filesystem::path databasePath_;
  NotificationSwitches switches_;
  HealthBook health_;
  bool startPageRefreshPending_ = false;
  // The schemes' health changed while the window was hidden.
  bool startPageStale_ = false;
  int optionsTab_ = 0;

  StatusBox* status_ = nullptr;
  std::unique_ptr<SqlRunner> sql_;
  CategoryTree* tree_ = nullptr;
  ArticleList* articles_ = nullptr;
  MiniHomepage* homepage_ = nullptr;
  TrayIcon* tray_ = nullptr;
  DesktopNotifier* notifier_ = nullptr;
  SettingsMenu* menu_ = nullptr;
  Alert* alert_ = nullptr;
  std::unique_ptr<MonitorController> monitor_;
  QToolButton* collectAll_ = nullptr;  // 超级按钮1
  QToolButton* settingsButton_ = nullptr;
  QToolButton* allArticles_ = nullptr;
  QToolButton* favourites_ = nullptr;
  QToolButton* watched_ = nullptr;  // 关注
  QPushButton* run_ = nullptr;
  QPushButton* fetch_ = nullptr;  // 获取, under 超级按钮1
  QLineEdit* frequency_ = nullptr;
  QLabel* frequencyLabel_ = nullptr;
  QFrame* leftFrame_ = nullptr;   // 左一框
  QFrame* rightFrame_ = nullptr;  // 右一框
};

}  // namespace qw::ui
