#include "ui/main/alert.h"

#include <QApplication>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QWidget>

#include "monitor/notification_switches.h"
#include "log/status_log.h"
#include "text/encoding.h"
#include "ui/main/app_icons.h"
#include "ui/main/gbk_text.h"
#include "ui/main/tray_icon.h"
#include "ui/notify/desktop_notifier.h"

namespace qw::ui {
namespace {

QString NewArticlesTitlePrefix() { return QStringLiteral("【有新文章】"); }

}  // namespace

ChimePlayer SystemChime(QObject* owner) {
  // Loaded once, ahead of the first alert, and only where there is something to play it on.
  QSoundEffect* effect = nullptr;
  if (!QMediaDevices::audioOutputs().isEmpty()) {
    effect = new QSoundEffect(owner);
    effect->setSource(QUrl(QStringLiteral("qrc:/assets/chime.wav")));
  }
  return [effect] {
    if (effect == nullptr) return;
    // A new chime cuts the one still sounding.
    effect->stop();
    effect->play();
  };
}

Alert::Alert(NotificationSwitches& switches, TrayIcon& tray, DesktopNotifier& notifier, QWidget& window,
             std::function<void()> showNewest, ChimePlayer chime, QObject* parent)
    : QObject(parent),
      switches_(switches),
      tray_(tray),
      notifier_(notifier),
      window_(window),
      showNewest_(std::move(showNewest)),
      chime_(std::move(chime)) {}

void Alert::NotifyNewContent(StatusLog& log, const std::string& time) {
  const bool sound = switches_.SoundOn();
  const bool icon = switches_.IconOn();
  const bool desktop = switches_.DesktopOn();
  // One notification for everything stored since the last one.
  NewsNotice news = news_.Take();
  // Queued ahead of the line, so the window shows the alert before it reads about it.
  QMetaObject::invokeMethod(
      this, [this, sound, icon, desktop, news = std::move(news)] { ShowAlert(sound, icon, desktop, news); },
      Qt::AutoConnection);
  log.AppendStatusLine(QW_GBK("\r\n发现有新内容，已发出提醒通知！----") + time);
  newArticles_.store(false);
}

void Alert::ShowAlert(bool sound, bool icon, bool desktop, const NewsNotice& news) {
  if (sound && chime_) chime_();
  if (desktop && news.count > 0) {
    QStringList lines;
    for (const std::string& line : NoticeLines(news)) lines << FromGbk(line);
    notifier_.Show(FromGbk(NoticeCaption(news)), lines);
  }
  if (icon) {
    if (tray_.Available() && tray_.Shown()) {
      tray_.SetTrayIcon(AlertIcon(), QStringLiteral("有新的消息！"));
    } else {
      // Without a tray the window itself carries the alert.
      MarkTitle(true);
      QApplication::alert(&window_);
    }
  }
  pending_.store(true);
}

void Alert::AcknowledgeAlert() {
  pending_.store(false);
  notifier_.Withdraw();
  if (switches_.IconOn() && tray_.Shown()) tray_.SetTrayIcon(NormalIcon(), IdleTrayTooltip());
  MarkTitle(false);
  if (showNewest_) showNewest_();
}

void Alert::MarkTitle(bool marked) {
  const QString title = window_.windowTitle();
  const bool isMarked = title.startsWith(NewArticlesTitlePrefix());
  if (marked && !isMarked) window_.setWindowTitle(NewArticlesTitlePrefix() + title);
  if (!marked && isMarked) window_.setWindowTitle(title.mid(NewArticlesTitlePrefix().size()));
}

}  // namespace qw::ui
