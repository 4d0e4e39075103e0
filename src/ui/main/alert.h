#pragma once
// The new-article alert: at the end of a cycle that stored something, a chime, the tray's alert icon and a
// desktop notification naming the new articles (each as its switch says) and a status line; they stay until
// the user comes back to the window.

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <string>

#include "notify/pending_news.h"

class QSoundEffect;
class QWidget;

namespace qw {
class NotificationSwitches;
class StatusLog;
}  // namespace qw

namespace qw::ui {

class DesktopNotifier;
class TrayIcon;

// Plays the chime once; tests replace it.
using ChimePlayer = std::function<void()>;
// The program's chime on the default audio output; silent where there is none.
ChimePlayer SystemChime(QObject* owner);

class Alert final : public QObject {
  Q_OBJECT

 public:
  Alert(NotificationSwitches& switches, TrayIcon& tray, DesktopNotifier& notifier, QWidget& window,
        std::function<void()> showNewest, ChimePlayer chime, QObject* parent = nullptr);

  // Set when a pass stored an article; cleared by the notification.
  std::atomic<bool>& NewArticleFlag() { return newArticles_; }
  // The articles stored since the last alert; the notification takes them.
  PendingNews& News() { return news_; }
  // An alert is shown and not yet acknowledged.
  bool Pending() const { return pending_.load(); }

  // From any thread: the chime, the alert icon and the desktop notification of the news (carried out on the
  // window's thread), then the line with the time text in the worker's log.
  void NotifyNewContent(StatusLog& log, const std::string& time);
  // The user is back: the icon returns to normal and the list shows the newest articles.
  void AcknowledgeAlert();

 private:
  void ShowAlert(bool sound, bool icon, bool desktop, const NewsNotice& news);
  void MarkTitle(bool marked);

  NotificationSwitches& switches_;
  TrayIcon& tray_;
  DesktopNotifier& notifier_;
  QWidget& window_;
  std::function<void()> showNewest_;
  ChimePlayer chime_;
  std::atomic<bool> newArticles_{false};
  PendingNews news_;
  std::atomic<bool> pending_{false};
};

}  // namespace qw::ui
