#pragma once
// The program's icon in the desktop's notification area: its picture and tooltip, and the mouse events it
// reports. It never touches the window; the window listens to its signals.

#include <QIcon>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QSystemTrayIcon;

namespace qw::ui {

// Whether the desktop shows tray icons; tests answer it.
using TrayAvailability = std::function<bool()>;
TrayAvailability SystemTrayAvailability();

// The tooltip of the program's icon while no alert waits.
inline QString IdleTrayTooltip() { return QStringLiteral("Mavo监控"); }

// The tooltip as the tray shows it: the first 62 bytes of its GBK text, never half a character.
QString TrayTooltip(const QString& tip);

class TrayIcon final : public QObject {
  Q_OBJECT

 public:
  explicit TrayIcon(TrayAvailability availability, QObject* parent = nullptr);
  ~TrayIcon() override;

  // Puts the icon with its tooltip in place, or replaces the ones shown.
  void SetTrayIcon(const QIcon& icon, const QString& tip);
  // Takes the icon out of the tray.
  void Remove();

  bool Available() const;
  bool Shown() const;
  QString Tooltip() const;

  // A balloon beside the icon, while the icon is shown.
  void ShowMessage(const QString& caption, const QString& body);
  // The caption and body of the last balloon, joined by a line break.
  QString LastMessage() const { return lastMessage_; }

 signals:
  void leftClicked();    // event 1: left button released
  void doubleClicked();  // event 2
  void menuRequested();  // event 3: right button released, or the menu key
  void messageClicked();

 private:
  TrayAvailability availability_;
  std::unique_ptr<QSystemTrayIcon> icon_;
  QString lastMessage_;
};

}  // namespace qw::ui
