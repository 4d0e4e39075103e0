#pragma once
// What the window's benchmarks share: the program's windows on Qt's offscreen platform, and a mini-homepage
// view that is a plain widget, so that they measure the program, not a web page.

#include <sqlite3.h>
#include <QApplication>
#include <QDBusConnection>
#include <QLoggingCategory>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "ui/main/homepage_view.h"
#include "ui/main/message_boxes.h"
#include "ui/main/program_look.h"
#include "ui/main/qt_message_pump.h"
#include "ui/notify/desktop_notifier.h"

namespace qw::bench {

// Runs statements on a database file, creating it; a benchmark without its data makes no sense, so a failure
// ends the program.
inline void ExecOrAbort(const std::filesystem::path& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "benchmark data: %s\n", error);
    std::abort();
  }
  sqlite3_close(db);
}

// Processes events until the screen has the widget.
inline void WaitUntilShown(QWidget& widget) {
  while (widget.windowHandle() == nullptr || !widget.windowHandle()->isExposed()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}

class BareHomepageView final : public ui::HomepageView {
 public:
  explicit BareHomepageView(QWidget* parent) : widget_(new QWidget(parent)) {}
  ~BareHomepageView() override { delete widget_; }
  QWidget* Widget() override { return widget_; }
  void Load(const QUrl& url) override { url_ = url; }
  QUrl Url() const override { return url_; }

 private:
  QWidget* widget_;
  QUrl url_;
};

inline ui::HomepageViewFactory BareHomepageViews() {
  return [](QWidget* parent) -> std::unique_ptr<ui::HomepageView> {
    return std::make_unique<BareHomepageView>(parent);
  };
}

// A bus that is not there: no notification of a benchmark reaches the desktop it runs on.
inline ui::NotificationBus NoNotificationBus() {
  return [] { return QDBusConnection(QStringLiteral("qw-bench-no-bus")); };
}

// The application as the program sets it up, offscreen unless a platform is named; message boxes are printed.
class WindowBenchApplication {
 public:
  // The platform is chosen before the application exists, hence the comma.
  WindowBenchApplication(int& argc, char** argv) : application_((SetPlatform(), argc), argv) {
    // The offscreen platform has no tray; Qt's tray icon says so on every window.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.core.qobject.connect.warning=false"));
    ui::ApplyProgramLook(application_);
    ui::SetMessageHandler([](const ui::MessageRequest& request) {
      std::fprintf(stderr, "message box: %s\n", request.text.toUtf8().constData());
    });
  }

 private:
  static void SetPlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  }

  QApplication application_;
  ui::ScopedQtMessagePump pump_;
};

}  // namespace qw::bench
