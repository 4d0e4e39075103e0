#include "monitor/notification_switches.h"

#include "storage/settings_file.h"

namespace qw {
namespace {

void Toggle(std::mutex& mutex, std::string& text, SettingsFile& settings, const std::string& key) {
  std::string saved;
  {
    std::lock_guard lock(mutex);
    text = std::string(text == "1" ? "0" : "1");
    saved = text;
  }
  settings.WriteSetting(key, saved);
}

}  // namespace

void NotificationSwitches::Load(const SettingsFile& settings) {
  std::string sound = settings.ReadSetting(SoundKey());
  std::string icon = settings.ReadSetting(IconKey());
  std::string desktop = settings.ReadSetting(DesktopNoticeKey());
  std::lock_guard lock(mutex_);
  sound_ = std::move(sound);
  icon_ = std::move(icon);
  desktop_ = std::move(desktop);
}

std::string NotificationSwitches::SoundText() const {
  std::lock_guard lock(mutex_);
  return sound_;
}

std::string NotificationSwitches::IconText() const {
  std::lock_guard lock(mutex_);
  return icon_;
}

std::string NotificationSwitches::DesktopText() const {
  std::lock_guard lock(mutex_);
  return desktop_;
}

void NotificationSwitches::ToggleSound(SettingsFile& settings) { Toggle(mutex_, sound_, settings, SoundKey()); }

void NotificationSwitches::ToggleIcon(SettingsFile& settings) { Toggle(mutex_, icon_, settings, IconKey()); }

void NotificationSwitches::ToggleDesktop(SettingsFile& settings) {
  // Every text but "0" is on.
  std::string saved;
  {
    std::lock_guard lock(mutex_);
    desktop_ = std::string(desktop_ == "0" ? "1" : "0");
    saved = desktop_;
  }
  settings.WriteSetting(DesktopNoticeKey(), saved);
}

}  // namespace qw
