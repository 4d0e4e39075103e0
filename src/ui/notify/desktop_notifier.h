#pragma once
// The desktop notification of new articles: through the desktop's notification service where the session
// bus has one, else by the way given for that (the tray icon's balloon). A click on the notification (its
// default action) asks for the window; the window then acknowledges the alert as a click on the tray icon
// does.

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QDBusConnection;

namespace qw::ui {

class NotificationsProxy;

// The bus the notification service is looked for on; tests give one of their own.
using NotificationBus = std::function<QDBusConnection()>;
NotificationBus SessionNotificationBus();
// Shows a notification where there is no service: caption and body.
using NoServiceNotice = std::function<void(const QString& caption, const QString& body)>;

class DesktopNotifier final : public QObject {
  Q_OBJECT

 public:
  DesktopNotifier(NotificationBus bus, NoServiceNotice noService, QObject* parent = nullptr);
  ~DesktopNotifier() override;

  // One notification: the caption and the lines of its body.
  void Show(const QString& caption, const QStringList& lines);
  // Takes the notifications still on the screen away: the user has seen the list.
  void Withdraw();

 signals:
  void clicked();

 private:
  struct Notice {
    QString caption;
    QStringList lines;
  };
  enum class Service { kUnknown, kAsking, kPresent };

  // Asks the service what it can do; what waits meanwhile is sent when it answers, or shown without it.
  void Ask();
  void Send(const Notice& notice);
  void WithoutService(const Notice& notice);

  NotificationBus bus_;
  NoServiceNotice noService_;
  std::unique_ptr<QDBusConnection> connection_;
  NotificationsProxy* proxy_ = nullptr;
  Service service_ = Service::kUnknown;
  // The service shows simple markup in the body, so a title's "<" or "&" must be written as an entity.
  bool markup_ = false;
  std::vector<Notice> waiting_;
  QSet<uint> shown_;
};

}  // namespace qw::ui
