#include "ui/notify/notifications_proxy.h"

namespace qw::ui {
namespace {

// The service answers at once or not at all; a notification that waits longer is shown without it.
constexpr int kServiceTimeoutMs = 5000;

}  // namespace

NotificationsProxy::NotificationsProxy(const QDBusConnection& bus, QObject* parent)
    : QDBusAbstractInterface(QStringLiteral("org.freedesktop.Notifications"),
                             QStringLiteral("/org/freedesktop/Notifications"),
                             "org.freedesktop.Notifications", bus, parent) {
  setTimeout(kServiceTimeoutMs);
}

}  // namespace qw::ui
