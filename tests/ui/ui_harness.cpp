#include "ui_harness.h"

#include <sqlite3.h>

#include <QDBusConnection>
#include <QTest>
#include <QWidget>
#include <fstream>
#include <stdexcept>

#include "support/starter_schema.h"
#include "text/encoding.h"
#include "ui/main/status_box.h"

namespace qw::test {
namespace {

void Exec(const std::filesystem::path& path, const std::string& statements) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open test database");
  }
  char* error = nullptr;
  const int rc = sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &error);
  const std::string message = error != nullptr ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("test statement failed: " + message);
}

class FakeView final : public ui::HomepageView {
 public:
  FakeView(QWidget* parent, HomepageViews* log) : widget_(new QWidget(parent)), log_(log) {
    ++log_->created;
    ++log_->alive;
  }
  ~FakeView() override {
    --log_->alive;
    delete widget_;
  }
  QWidget* Widget() override { return widget_; }
  void Load(const QUrl& url) override {
    url_ = url;
    log_->loads.push_back(url);
  }
  QUrl Url() const override { return url_; }

 private:
  QWidget* widget_;
  HomepageViews* log_;
  QUrl url_;
};

}  // namespace

void ProgramDir::WriteSettings(const std::vector<std::string>& entries) {
  std::string text = "[配置]\r\n";
  for (const std::string& entry : entries) text += entry + "\r\n";
  WriteFile("mavonet.ini", Utf8ToGbk(text));
}

void ProgramDir::CreateDatabase(bool withTables) {
  Exec(Database(), withTables ? StarterSchema() : "create table other(x)");
}

void ProgramDir::Sql(std::string_view utf8Statements) { Exec(Database(), Utf8ToGbk(utf8Statements)); }

void ProgramDir::SqlBytes(const std::string& statements) { Exec(Database(), statements); }

void ProgramDir::WriteFile(const std::string& name, const std::string& bytes) {
  std::ofstream(dir_ / name, std::ios::binary | std::ios::trunc) << bytes;
}

ui::HomepageViewFactory HomepageViews::Factory() {
  return [this](QWidget* parent) -> std::unique_ptr<ui::HomepageView> {
    return std::make_unique<FakeView>(parent, this);
  };
}

ui::MonitorTiming FastTiming() {
  ui::MonitorTiming timing;
  timing.interval = [](std::int32_t) { return 60; };
  timing.pauseAfterStore = [] {};
  timing.timestamp = [] { return std::string(kTestStamp); };
  return timing;
}

Harness::Harness(const ProgramDir& dir, bool trayAvailable, ui::MonitorTiming timing, bool realOptions,
                 ui::NotificationBus notificationBus) {
  previous_ = ui::SetMessageHandler([this](const ui::MessageRequest& request) { messages.push_back(request); });
  ui::WindowSeams seams;
  seams.homepageViews = views.Factory();
  seams.openAddress = [this](const QUrl& url) { opened.push_back(url); };
  seams.trayAvailable = [trayAvailable] { return trayAvailable; };
  // No notification service unless a test starts one: notifications go to the tray.
  seams.notificationBus =
      notificationBus ? notificationBus : [] { return QDBusConnection(QStringLiteral("qw-no-bus")); };
  if (!realOptions) seams.openOptions = [this](QWidget*, int tab) { optionsTabs.push_back(tab); };
  seams.chime = [this] { ++chimes; };
  seams.timing = std::move(timing);
  window_ = std::make_unique<ui::MainWindow>(storage_, dir.Path(), std::move(seams));
}

Harness::~Harness() {
  window_.reset();
  ui::SetMessageHandler(std::move(previous_));
}

bool Harness::Show() {
  window_->show();
  return QTest::qWaitForWindowExposed(window_.get());
}

QString Harness::StatusText() const { return window_->Status().toPlainText(); }

std::unique_ptr<Harness> StartedWindow(const ProgramDir& dir, bool trayAvailable, ui::MonitorTiming timing) {
  auto harness = std::make_unique<Harness>(dir, trayAvailable, std::move(timing));
  harness->Window().Start();
  return harness;
}

void InstallQtPump() {
  static ui::QtMessagePump pump;
  InstallMessagePump(&pump);
}

}  // namespace qw::test
