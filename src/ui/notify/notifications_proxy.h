#pragma once
// The desktop's notification service (org.freedesktop.Notifications) as seen from here: its two signals. The
// calls go out asynchronously through QDBusAbstractInterface, so the window never waits for the service.

#include <QDBusAbstractInterface>

namespace qw::ui {

class NotificationsProxy final : public QDBusAbstractInterface {
  Q_OBJECT

 public:
  NotificationsProxy(const QDBusConnection& bus, QObject* parent);

 signals:
  // The signals of the service; the interface connects them on the bus once something listens.
  void ActionInvoked(uint id, const QString& actionKey);
  void NotificationClosed(uint id, uint reason);
};

}  // namespace qw::ui
