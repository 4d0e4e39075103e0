#include "ui/options/backup_command.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <chrono>

#include "storage/database.h"
#include "storage/database_backup.h"
#include "ui/main/gbk_text.h"
#include "ui/main/message_boxes.h"
#include "ui/options/transfer_dialogs.h"

namespace qw::ui {
namespace {

// Progress reaches the window at most this often.
constexpr std::chrono::milliseconds kProgressEvery{100};

}  // namespace

BackupCommand::BackupCommand(Connection& main, std::filesystem::path databasePath, QPushButton& button,
                             QLabel& status, QWidget* window)
    : QObject(window),
      main_(main),
      databasePath_(std::move(databasePath)),
      button_(button),
      status_(status),
      window_(window) {
  connect(&button_, &QPushButton::clicked, this, &BackupCommand::Run);
}

BackupCommand::~BackupCommand() {
  // The copy notices the stop after its step under way, removes its file, and its last queued call is
  // dropped with this object.
  worker_.request_stop();
  if (worker_.joinable()) worker_.join();
}

QString BackupCommand::DefaultFileName(const QDateTime& time) {
  return QStringLiteral("mavo-") + time.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".sdb");
}

void BackupCommand::Run() {
  if (running_) return;
  if (!main_.IsOpen()) {
    ShowMessage(window_, QStringLiteral("数据库未打开，无法备份！"));
    return;
  }
  const QString folder = QFile::decodeName(databasePath_.parent_path().c_str());
  const std::optional<QString> path = CurrentTransferDialogs().ChooseBackupFile(
      window_, QDir(folder).filePath(DefaultFileName(QDateTime::currentDateTime())));
  if (!path) return;

  running_ = true;
  button_.setEnabled(false);
  status_.setText(QStringLiteral("正在备份数据库……"));
  const std::filesystem::path target = QFile::encodeName(*path).toStdString();
  // A finished worker of an earlier copy is joined here; it ended before its result was shown.
  worker_ = std::jthread([this, target, shown = *path](std::stop_token stop) {
    BackupOptions options;
    auto last = std::chrono::steady_clock::now();
    options.progress = [&](const BackupProgress& progress) {
      const auto now = std::chrono::steady_clock::now();
      if (now - last < kProgressEvery) return;
      last = now;
      QMetaObject::invokeMethod(
          this, [this, progress] { ShowProgress(progress.copiedPages, progress.totalPages); },
          Qt::QueuedConnection);
    };
    const BackupResult result = BackupDatabase(main_, target, stop, options);
    QMetaObject::invokeMethod(
        this, [this, result, shown] { Finish(result, shown); }, Qt::QueuedConnection);
  });
}

void BackupCommand::ShowProgress(int copied, int total) {
  if (!running_ || total <= 0) return;
  status_.setText(QStringLiteral("正在备份数据库…… %1%").arg(copied * 100 / total));
}

void BackupCommand::Finish(const BackupResult& result, const QString& path) {
  running_ = false;
  button_.setEnabled(true);
  if (result.ok) {
    status_.setText(QStringLiteral("已备份到 %1").arg(path));
    ShowMessage(window_,
                QStringLiteral("数据库已备份到\n%1\n大小：%2（%3 字节），完整性检查通过。")
                    .arg(path, QLocale::system().formattedDataSize(static_cast<qint64>(result.bytes)))
                    .arg(result.bytes),
                QStringLiteral("备份成功"), MessageIcon::Information);
  } else {
    status_.setText(QStringLiteral("备份失败"));
    ShowMessage(
        window_,
        QStringLiteral("备份失败：") + FromGbk(result.error) + QStringLiteral("\n没有留下不完整的文件。"),
        DefaultCaption(), MessageIcon::Warning);
  }
  emit finished(result.ok);
}

}  // namespace qw::ui
