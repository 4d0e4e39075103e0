// quillwatch-render: renders pages for the program. Jobs come on standard input and answers go to standard
// output, one JSON line each (render/render_protocol.h); the end of the input ends it. It shows nothing and
// needs no display: it always uses Qt's offscreen platform.

#include <fcntl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QLoggingCategory>
#include <csignal>
#include <cstdio>

#include "browser/engine_switches.h"
#include "browser/render_server.h"

int main(int argc, char** argv) {
  // The protocol moves off the standard streams, which the engine's own processes inherit: they could write
  // into the answers or hold the program's pipes open after this helper has gone. Standard output becomes
  // standard error for anything they print.
  const int input = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  const int output = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (input < 0 || output < 0 || nothing < 0 || ::dup2(nothing, STDIN_FILENO) < 0 ||
      ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    std::perror("quillwatch-render");
    return 1;
  }
  ::close(nothing);
  // A program that stops listening ends the helper through a failed write, not a signal.
  std::signal(SIGPIPE, SIG_IGN);

  // The web engine refuses to start as root with its sandbox on, so as root it runs without it, as the
  // homepage helper does.
  if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // The engine's report of its set-up at every start says nothing the program's user needs.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext=false"));
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qw::browser::EngineSwitches(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")));
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QGuiApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("quillwatch-render"));
  qw::browser::RenderServer server(input, output);
  return QGuiApplication::exec();
}
