#include "x_session.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

extern char** environ;

namespace qw::test {
namespace {

int Spawn(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

void Stop(int pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 50; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace

XSession::XSession() {
  int n = 90;
  while (Exists("/tmp/.X11-unix/X" + std::to_string(n)) || Exists("/tmp/.X" + std::to_string(n) + "-lock"))
    ++n;
  display_ = QStringLiteral(":%1").arg(n);
  xvfb_ = Spawn({"Xvfb", display_.toStdString(), "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
  if (xvfb_ <= 0) {
    failure_ = "cannot start Xvfb";
    return;
  }
  const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
  for (int i = 0; i < 200 && !Exists(socket); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  if (!Exists(socket)) {
    failure_ = "Xvfb did not come up";
    return;
  }
  setenv("DISPLAY", display_.toStdString().c_str(), 1);
  trayer_ = Spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                   "--SetDockType", "true", "--transparent", "false", "--tint", "0xffffff"});
  if (trayer_ <= 0) {
    failure_ = "cannot start trayer";
    return;
  }
  ready_ = true;
}

XSession::~XSession() {
  Stop(trayer_);
  Stop(xvfb_);
}

QString Xdotool(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral("xdotool"), arguments);
  while (!process.waitForFinished(10)) {
    if (process.state() == QProcess::NotRunning) break;
    QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool WaitFor(const std::function<bool()>& ready, std::chrono::milliseconds timeout,
             std::chrono::milliseconds step) {
  QElapsedTimer clock;
  clock.start();
  while (true) {
    if (ready()) return true;
    if (clock.elapsed() > timeout.count()) return false;
    QElapsedTimer slice;
    slice.start();
    while (slice.elapsed() < step.count()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      QThread::msleep(2);
    }
  }
}

QStringList FindWindows(const QString& namePattern) {
  const QString found = Xdotool({"search", "--onlyvisible", "--name", namePattern});
  return found.isEmpty() ? QStringList{} : found.split(QLatin1Char('\n'));
}

std::optional<QRect> WindowGeometry(const QString& window) {
  const QString shell = Xdotool({"getwindowgeometry", "--shell", window});
  int x = 0, y = 0, w = 0, h = 0;
  bool any = false;
  for (const QString& line : shell.split(QLatin1Char('\n'))) {
    const QStringList kv = line.split(QLatin1Char('='));
    if (kv.size() != 2) continue;
    any = true;
    if (kv[0] == "X") x = kv[1].toInt();
    if (kv[0] == "Y") y = kv[1].toInt();
    if (kv[0] == "WIDTH") w = kv[1].toInt();
    if (kv[0] == "HEIGHT") h = kv[1].toInt();
  }
  if (!any) return std::nullopt;
  return QRect(x, y, w, h);
}

QImage GrabScreen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }

QImage GrabArea(const QRect& area) {
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
      .toImage();
}

void Person::Click(QPoint at, int button) {
  Xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
  Xdotool({"click", QString::number(button)});
  WaitFor([] { return false; }, std::chrono::milliseconds(150));
}

void Person::DoubleClick(QPoint at) {
  Xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
  Xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
  WaitFor([] { return false; }, std::chrono::milliseconds(150));
}

bool Person::OpenMenu(QPoint at) {
  // A menu opens below the pointer, to its right or, near the screen's right edge, to its left.
  const QRect around = QRect(at.x() - 200, at.y(), 400, 200).intersected(QRect(0, 0, 1280, 800));
  const QImage before = GrabArea(around);
  Click(at, 3);
  const bool shown = WaitFor([&] { return GrabArea(around) != before; }, std::chrono::seconds(5));
  // The first change may be the row the click selected; the menu follows with the button's release.
  WaitFor([] { return false; }, std::chrono::milliseconds(300));
  return shown;
}

void Person::Type(const QString& ascii) {
  Xdotool({"type", "--delay", "15", ascii});
  WaitFor([] { return false; }, std::chrono::milliseconds(50));
}

void Person::Paste(const QString& text) {
  QGuiApplication::clipboard()->setText(text);
  WaitFor([] { return false; }, std::chrono::milliseconds(50));
  Key(QStringLiteral("ctrl+v"));
}

void Person::Replace(const QString& text) {
  Key(QStringLiteral("ctrl+a"));
  bool ascii = true;
  for (QChar c : text) ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7f;
  if (ascii && !text.isEmpty()) {
    Type(text);
  } else if (!text.isEmpty()) {
    Paste(text);
  } else {
    Key(QStringLiteral("BackSpace"));
  }
}

void Person::Key(const QString& keys) {
  Xdotool(QStringList{"key", "--delay", "30"} + keys.split(QLatin1Char(' '), Qt::SkipEmptyParts));
  WaitFor([] { return false; }, std::chrono::milliseconds(80));
}

bool Person::AnswerMessage(const QString& caption, std::chrono::milliseconds timeout) {
  QString box;
  const bool came = WaitFor(
      [&] {
        const QStringList found = FindWindows(QStringLiteral("^") + caption + QStringLiteral("$"));
        if (found.isEmpty()) return false;
        box = found.last();
        return true;
      },
      timeout, std::chrono::milliseconds(100));
  if (!came) return false;
  Xdotool({"windowfocus", "--sync", box});
  Key(QStringLiteral("Return"));
  return WaitFor(
      [&] { return !FindWindows(QStringLiteral("^") + caption + QStringLiteral("$")).contains(box); },
      std::chrono::seconds(5));
}

QString Person::CopyFocusedText() {
  QGuiApplication::clipboard()->clear();
  Key(QStringLiteral("ctrl+a"));
  Key(QStringLiteral("ctrl+c"));
  QString text;
  WaitFor(
      [&] {
        text = QGuiApplication::clipboard()->text();
        return !text.isEmpty();
      },
      std::chrono::seconds(5));
  return text;
}

}  // namespace qw::test
