#include "ui/notify/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "ui/notify/notifications_proxy.h"

namespace qw::ui {
namespace {

QString Body(const QStringList& lines, bool markup) {
  QStringList shown;
  for (const QString& line : lines) shown << (markup ? line.toHtmlEscaped() : line);
  return shown.join(QLatin1Char('\n'));
}

}  // namespace

NotificationBus SessionNotificationBus() {
  return [] { return QDBusConnection::sessionBus(); };
}

DesktopNotifier::DesktopNotifier(NotificationBus bus, NoServiceNotice noService, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), noService_(std::move(noService)) {}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::Show(const QString& caption, const QStringList& lines) {
  const Notice notice{caption, lines};
  if (service_ == Service::kPresent) {
    Send(notice);
    return;
  }
  waiting_.push_back(notice);
  if (service_ == Service::kUnknown) Ask();
}

void DesktopNotifier::Ask() {
  if (!connection_) {
    // The bus is looked up at the first notification, not at start.
    connection_ = std::make_unique<QDBusConnection>(bus_ ? bus_() : QDBusConnection::sessionBus());
    if (connection_->isConnected()) {
      proxy_ = new NotificationsProxy(*connection_, this);
      connect(proxy_, &NotificationsProxy::ActionInvoked, this, [this](uint id, const QString&) {
        // Every action of ours brings the window; "default" is the click on the notification itself.
        if (shown_.contains(id)) emit clicked();
      });
      connect(proxy_, &NotificationsProxy::NotificationClosed, this,
              [this](uint id, uint) { shown_.remove(id); });
    }
  }
  if (proxy_ == nullptr) {
    for (const Notice& notice : std::exchange(waiting_, {})) WithoutService(notice);
    return;
  }
  service_ = Service::kAsking;
  auto* watcher = new QDBusPendingCallWatcher(proxy_->asyncCall(QStringLiteral("GetCapabilities")), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
    call->deleteLater();
    const QDBusPendingReply<QStringList> reply = *call;
    // Without a service, each notification asks again: one may have started since.
    service_ = reply.isError() ? Service::kUnknown : Service::kPresent;
    markup_ = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
    for (const Notice& notice : std::exchange(waiting_, {})) {
      if (service_ == Service::kPresent) {
        Send(notice);
      } else {
        WithoutService(notice);
      }
    }
  });
}

void DesktopNotifier::Send(const Notice& notice) {
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quillwatch"));
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));
  const QStringList actions = {QStringLiteral("default"), QStringLiteral("查看")};
  QDBusPendingCall call = proxy_->asyncCall(QStringLiteral("Notify"), QStringLiteral("Quillwatch"), 0u,
                                            QStringLiteral("quillwatch"), notice.caption,
                                            Body(notice.lines, markup_), actions, hints, -1);
  auto* watcher = new QDBusPendingCallWatcher(call, this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, notice](QDBusPendingCallWatcher* done) {
    done->deleteLater();
    const QDBusPendingReply<uint> reply = *done;
    if (!reply.isError()) {
      shown_.insert(reply.value());
      return;
    }
    // The service has gone: this one is shown without it, and the next asks anew.
    service_ = Service::kUnknown;
    WithoutService(notice);
  });
}

void DesktopNotifier::WithoutService(const Notice& notice) {
  if (noService_) noService_(notice.caption, Body(notice.lines, false));
}

void DesktopNotifier::Withdraw() {
  if (proxy_ == nullptr) return;
  for (const uint id : std::exchange(shown_, {})) proxy_->asyncCall(QStringLiteral("CloseNotification"), id);
}

}  // namespace qw::ui
