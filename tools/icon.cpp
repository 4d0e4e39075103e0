// Renders the program icon into PNG files for the desktop entry: qw-icon DIRECTORY
// Writes DIRECTORY/quillwatch-48.png and DIRECTORY/quillwatch-256.png from the icon the program draws itself,
// so the desktop shows the same picture as the window and the tray. Runs on any platform, offscreen included.

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <cstdio>

#include "ui/main/app_icons.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qw-icon DIRECTORY\n");
    return 2;
  }
  // The toolkit's notes about the desktop it runs without (no runtime directory, say) are no concern here; its
  // errors still show.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "qw-icon: %s\n", qPrintable(message));
  });
  QGuiApplication application(argc, argv);
  const QDir directory(QString::fromLocal8Bit(argv[1]));
  if (!directory.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "qw-icon: cannot make %s\n", argv[1]);
    return 1;
  }
  const QIcon icon = qw::ui::NormalIcon();
  for (const int size : {48, 256}) {
    // The icon holds an image drawn at each of these sizes; any other size here means it no longer does.
    const QImage image = icon.pixmap(QSize(size, size), 1.0).toImage();
    const QString path = directory.filePath(QStringLiteral("quillwatch-%1.png").arg(size));
    if (image.size() != QSize(size, size) || !image.save(path, "PNG")) {
      std::fprintf(stderr, "qw-icon: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
