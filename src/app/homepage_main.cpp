// quillwatch-homepage URL PARENT-WINDOW WIDTH HEIGHT: shows the mini homepage inside a window of the main
// program. Standard input takes "size W H" lines as the main program's window changes size; when it closes
// (the main program closed the homepage or ended), the helper ends.

#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/homepage/web_engine_view.h"

namespace {

class EmbedInto final : public QObject {
 public:
  EmbedInto(QWidget* page, QWindow* host) : page_(page), host_(host) {}

  void Apply() {
    QWindow* window = page_->windowHandle();
    if (window == nullptr || window->parent() == host_) return;
    window->setParent(host_);
    window->setPosition(0, 0);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::WinIdChange || event->type() == QEvent::Show) Apply();
    return false;
  }

 private:
  QWidget* page_;
  QWindow* host_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: quillwatch-homepage URL PARENT-WINDOW WIDTH HEIGHT\n");
    return 2;
  }
  // The web engine refuses to start as root with its sandbox on.
  if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  }
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  const QUrl url = QUrl::fromEncoded(argv[1]);
  const auto parentWindow = static_cast<WId>(std::strtoull(argv[2], nullptr, 10));

  std::unique_ptr<qw::ui::HomepageView> view = qw::ui::WebEngineHomepageViews()(nullptr);
  QWidget* page = view->Widget();
  page->setWindowFlags(Qt::FramelessWindowHint);
  page->resize(std::atoi(argv[3]), std::atoi(argv[4]));
  // The page's window lives inside the main program's. The engine makes the window anew once it draws
  // with OpenGL, so every new window is put back in place.
  QWindow* host = QWindow::fromWinId(parentWindow);
  EmbedInto embed(page, host);
  page->installEventFilter(&embed);
  page->show();
  embed.Apply();
  view->Load(url);

  std::string pending;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &application, [&] {
    char bytes[256];
    const ssize_t n = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (n <= 0) {
      // The program has gone, closed the page or died. exit, not quit: quit asks the windows first, and a
      // page that refuses would leave this helper spinning on the ended input.
      input.setEnabled(false);
      QCoreApplication::exit(0);
      return;
    }
    pending.append(bytes, static_cast<std::size_t>(n));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
      int width = 0;
      int height = 0;
      if (std::sscanf(pending.c_str(), "size %d %d", &width, &height) == 2) page->resize(width, height);
    }
  });
  return QApplication::exec();
}
