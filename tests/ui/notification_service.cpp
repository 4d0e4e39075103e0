#include "notification_service.h"

#include <QDBusMessage>
#include <QFile>

namespace qw::test {
namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";

// A session bus that listens in its own folder and lets every connection own any name and talk to any other.
QString BusConfig(const QString& dir) {
  return QStringLiteral(
             "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
             "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
             "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
             "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
      .arg(dir);
}

}  // namespace

TestBus::TestBus() {
  if (!dir_.isValid()) return;
  const QString config = dir_.filePath(QStringLiteral("bus.conf"));
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(BusConfig(dir_.path()).toUtf8());
  file.close();
  daemon_.setStandardErrorFile(QProcess::nullDevice());
  daemon_.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                 QStringLiteral("--print-address=1")});
  if (!daemon_.waitForStarted(5000)) return;
  while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
  }
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

TestBus::~TestBus() {
  if (daemon_.state() == QProcess::NotRunning) return;
  daemon_.terminate();
  if (!daemon_.waitForFinished(3000)) daemon_.kill();
}

QDBusConnection TestBus::Connect(const QString& name) const {
  return QDBusConnection::connectToBus(address_, name);
}

NotificationRecorder::NotificationRecorder(const TestBus& bus, QStringList capabilities)
    : connection_(bus.Connect(QStringLiteral("recorder-%1").arg(reinterpret_cast<quintptr>(this)))),
      capabilities_(std::move(capabilities)) {
  registered_ =
      connection_.registerObject(QString::fromLatin1(kPath), this, QDBusConnection::ExportAllSlots) &&
      connection_.registerService(QString::fromLatin1(kService));
}

NotificationRecorder::~NotificationRecorder() {
  connection_.unregisterService(QString::fromLatin1(kService));
  connection_.unregisterObject(QString::fromLatin1(kPath));
  QDBusConnection::disconnectFromBus(connection_.name());
}

uint NotificationRecorder::Notify(const QString& app, uint, const QString& icon, const QString& summary,
                                  const QString& body, const QStringList& actions, const QVariantMap& hints,
                                  int) {
  const uint id = static_cast<uint>(received.size()) + 1;
  received.push_back({id, app, icon, summary, body, actions, hints});
  return id;
}

QStringList NotificationRecorder::GetCapabilities() { return capabilities_; }

void NotificationRecorder::CloseNotification(uint id) { closed.push_back(id); }

void NotificationRecorder::Click(uint id, const QString& action) {
  QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kPath), QString::fromLatin1(kService),
                                                   QStringLiteral("ActionInvoked"));
  signal << id << action;
  connection_.send(signal);
}

}  // namespace qw::test
