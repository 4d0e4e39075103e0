#pragma once
// The notification switches as the settings file holds them: texts. Sound and tray icon are on for "1" and
// off otherwise; the desktop notification, which the design does not have, is on unless it reads "0", so a
// settings file without it has it on. The window flips them while a monitoring worker reads them, so each is
// copied under a lock.

#include <mutex>
#include <string>

namespace qw {

class SettingsFile;

class NotificationSwitches {
 public:
  // Reads 语音提醒, 图标提醒 and 桌面通知.
  void Load(const SettingsFile& settings);

  std::string SoundText() const;
  std::string IconText() const;
  std::string DesktopText() const;
  bool SoundOn() const { return SoundText() == "1"; }
  bool IconOn() const { return IconText() == "1"; }
  bool DesktopOn() const { return DesktopText() != "0"; }

  // "1" becomes "0", anything else "1"; saved to the settings file, silently when that fails.
  void ToggleSound(SettingsFile& settings);
  void ToggleIcon(SettingsFile& settings);
  // On becomes "0", off becomes "1"; saved likewise.
  void ToggleDesktop(SettingsFile& settings);

 private:
  mutable std::mutex mutex_;
  std::string sound_;
  std::string icon_;
  std::string desktop_;
};

}  // namespace qw
