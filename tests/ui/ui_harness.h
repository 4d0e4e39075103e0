#pragma once
// A real program directory in a temporary folder and a main window started on it, with every way out of
// the program (message boxes, the browser, the options window, the web engine) answered by the test.

#include <QString>
#include <QUrl>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "storage/storage.h"
#include "support/temp_dir.h"
#include "ui/main/homepage_view.h"
#include "ui/main/main_window.h"
#include "ui/main/message_boxes.h"
#include "ui/main/qt_message_pump.h"

namespace qw::test {

// mavo.sdb and mavonet.ini beside where the program would be.
class ProgramDir {
 public:
  const std::filesystem::path& Path() const { return dir_.path(); }
  std::filesystem::path Database() const { return dir_ / "mavo.sdb"; }
  std::filesystem::path Settings() const { return dir_ / "mavonet.ini"; }

  // The settings file from UTF-8 text (converted to GBK), one "key=value" per entry under [配置].
  void WriteSettings(const std::vector<std::string>& entries);
  // The starter database, or a database without the program's tables.
  void CreateDatabase(bool withTables = true);
  // Runs statements written in UTF-8 on the file, stored as GBK like everything the program writes.
  void Sql(std::string_view utf8Statements);
  // Runs statements whose bytes are taken as they are.
  void SqlBytes(const std::string& statements);
  void WriteFile(const std::string& name, const std::string& bytes);

 private:
  TempDir dir_;
};

// The page views the window creates, without a web engine.
struct HomepageViews {
  int created = 0;
  int alive = 0;
  std::vector<QUrl> loads;
  ui::HomepageViewFactory Factory();
};

// The fixed time text of windows under test.
inline constexpr char kTestStamp[] = "2026-12-10 9:5 7";

// Monitoring at test speed: 60 ms between cycles, no pause after a stored article, a fixed time text.
ui::MonitorTiming FastTiming();

class Harness {
 public:
  // With realOptions the window opens its real options window; otherwise the tab asked for is recorded.
  // Without a notification bus there is no notification service.
  explicit Harness(const ProgramDir& dir, bool trayAvailable = true, ui::MonitorTiming timing = FastTiming(),
                   bool realOptions = false, ui::NotificationBus notificationBus = {});
  ~Harness();

  ui::MainWindow& Window() { return *window_; }
  Storage& Store() { return storage_; }
  // Shows the window and waits until the screen has it.
  bool Show();
  // The status box as the user reads it (line breaks as "\n").
  QString StatusText() const;

  std::vector<ui::MessageRequest> messages;
  std::vector<QUrl> opened;
  std::vector<int> optionsTabs;
  int chimes = 0;
  HomepageViews views;

 private:
  Storage storage_;
  std::unique_ptr<ui::MainWindow> window_;
  ui::MessageHandler previous_;
};

// A started window: Harness plus Start().
std::unique_ptr<Harness> StartedWindow(const ProgramDir& dir, bool trayAvailable = true,
                                       ui::MonitorTiming timing = FastTiming());

// The window's message pump, installed once per test program.
void InstallQtPump();

}  // namespace qw::test
