#pragma once
// 备份数据库…: a copy of mavo.sdb, taken while monitoring goes on, to a file the person picks (by default
// mavo-YYYYMMDD-HHMMSS.sdb beside the program), then checked, and a message with its size.
//
// The copy runs on a thread of its own and reports back through queued calls: copying a large database and
// checking the copy take seconds, and the window must stay usable and painting meanwhile. Its steps wait for
// the main connection like statements do, so the window's thread never waits for the copy. The options window
// is not closed while a copy runs; the program's end stops it, and the half copy is removed.

#include <QObject>
#include <filesystem>
#include <functional>
#include <thread>

class QDateTime;
class QLabel;
class QPushButton;
class QWidget;

namespace qw {
class Connection;
struct BackupResult;
}  // namespace qw

namespace qw::ui {

class BackupCommand final : public QObject {
  Q_OBJECT

 public:
  // button starts the copy; status shows its progress.
  BackupCommand(Connection& main, std::filesystem::path databasePath, QPushButton& button, QLabel& status,
                QWidget* window);
  ~BackupCommand() override;

  void Run();
  bool Running() const { return running_; }
  // The file name offered by default, for the time given.
  static QString DefaultFileName(const QDateTime& time);

 signals:
  // The copy ended, made or not; the message has been shown.
  void finished(bool ok);

 private:
  void ShowProgress(int copied, int total);
  void Finish(const BackupResult& result, const QString& path);

  Connection& main_;
  std::filesystem::path databasePath_;
  QPushButton& button_;
  QLabel& status_;
  QWidget* window_;
  bool running_ = false;
  std::jthread worker_;
};

}  // namespace qw::ui
