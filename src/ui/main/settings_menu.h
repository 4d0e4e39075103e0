#pragma once
// 托盘菜单, the settings menu that the tray icon and the button 设置按钮 pop up.

#include <QMenu>

namespace qw::ui {

class SettingsMenu final : public QMenu {
  Q_OBJECT

 public:
  explicit SettingsMenu(QWidget* parent = nullptr);

  // Sets the three ticks, then pops the menu up beside the mouse cursor.
  void PopUp(bool soundOn, bool iconOn, bool desktopOn);

  QAction* SoundAction() const { return sound_; }
  QAction* IconAction() const { return icon_; }
  QAction* DesktopAction() const { return desktop_; }

 signals:
  void optionsRequested();
  void soundToggled();
  void iconToggled();
  void desktopToggled();
  void rememberSizeRequested();
  void helpRequested();
  void aboutRequested();
  void quitRequested();

 private:
  QAction* sound_;
  QAction* icon_;
  QAction* desktop_;
};

}  // namespace qw::ui
