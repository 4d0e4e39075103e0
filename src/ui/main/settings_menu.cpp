#include "ui/main/settings_menu.h"

#include <QCursor>

namespace qw::ui {

SettingsMenu::SettingsMenu(QWidget* parent) : QMenu(parent) {
  setObjectName(QStringLiteral("托盘菜单"));
  addAction(QStringLiteral("选项设置"), this, &SettingsMenu::optionsRequested);
  // A heading for the switches below it.
  addAction(QStringLiteral("有新文章时"))->setEnabled(false);
  addSeparator();
  sound_ = addAction(QStringLiteral("有新文章时 播放声音"), this, &SettingsMenu::soundToggled);
  sound_->setCheckable(true);
  icon_ = addAction(QStringLiteral("有新文章时 切换图标"), this, &SettingsMenu::iconToggled);
  icon_->setCheckable(true);
  desktop_ = addAction(QStringLiteral("有新文章时 桌面通知"), this, &SettingsMenu::desktopToggled);
  desktop_->setCheckable(true);
  addSeparator();
  addAction(QStringLiteral("记住当前界面大小"), this, &SettingsMenu::rememberSizeRequested);
  addAction(QStringLiteral("使用帮助"), this, &SettingsMenu::helpRequested);
  addAction(QStringLiteral("关于..."), this, &SettingsMenu::aboutRequested);
  addAction(QStringLiteral("退出"), this, &SettingsMenu::quitRequested);
}

void SettingsMenu::PopUp(bool soundOn, bool iconOn, bool desktopOn) {
  sound_->setChecked(soundOn);
  icon_->setChecked(iconOn);
  desktop_->setChecked(desktopOn);
  popup(QCursor::pos() + QPoint(3, 3));
}

}  // namespace qw::ui
