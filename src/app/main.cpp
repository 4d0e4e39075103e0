// Quillwatch: watches article-list pages and tells its user when something new appears.

#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <filesystem>

#include "storage/storage.h"
#include "ui/main/main_window.h"
#include "ui/main/program_look.h"
#include "ui/main/qt_message_pump.h"
#include "ui/main/quit_on_signal.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // The window lives on in the tray when it is hidden; only closing it or 退出 ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  qw::ui::ApplyProgramLook(application);
  qw::ui::ScopedQtMessagePump pump;
  qw::ui::QuitOnTerminationSignals(&application);

  // The program keeps its database and settings beside itself.
  const std::filesystem::path directory = QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
  qw::Storage storage;
  int code = 0;
  {
    qw::ui::MainWindow window(storage, directory);
    window.Start();
    window.show();
    code = QApplication::exec();
  }
  return code;
}
