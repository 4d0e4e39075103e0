#pragma once
// A session bus of the test's own (dbus-daemon with a configuration of its own, in a temporary folder) and
// a desktop notification service on it that records what it receives and clicks a notification as a person
// would. Nothing reaches the desktop the tests run on.

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>
#include <vector>

namespace qw::test {

class TestBus {
 public:
  TestBus();
  ~TestBus();
  TestBus(const TestBus&) = delete;
  TestBus& operator=(const TestBus&) = delete;

  bool Ready() const { return !address_.isEmpty(); }
  // The address to connect to, as dbus-daemon printed it.
  const QString& Address() const { return address_; }
  // A connection of its own to the bus, under the name given.
  QDBusConnection Connect(const QString& name) const;

 private:
  QTemporaryDir dir_;
  QProcess daemon_;
  QString address_;
};

struct ReceivedNotification {
  uint id = 0;
  QString app, icon, summary, body;
  QStringList actions;
  QVariantMap hints;
};

class NotificationRecorder final : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  // Offers the service on the bus with the capabilities (with "body-markup", a body may hold markup).
  NotificationRecorder(const TestBus& bus, QStringList capabilities);
  ~NotificationRecorder() override;
  bool Registered() const { return registered_; }

  // The default action of a notification, as a click on it.
  void Click(uint id, const QString& action = QStringLiteral("default"));

  std::vector<ReceivedNotification> received;
  std::vector<uint> closed;

 public slots:
  uint Notify(const QString& app, uint replacesId, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout);
  QStringList GetCapabilities();
  void CloseNotification(uint id);

 private:
  QDBusConnection connection_;
  QStringList capabilities_;
  bool registered_ = false;
};

}  // namespace qw::test
