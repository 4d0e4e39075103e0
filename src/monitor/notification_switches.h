#pragma once
// The two notification switches (sound, tray icon) as the settings file holds them: texts, "1" for on. The
// window flips them while a monitoring worker reads them, so each is copied under a lock.

#include <mutex>
#include <string>

namespace qw {

class SettingsFile;

class NotificationSwitches {
 public:
  // Reads 语音提醒 and 图标提醒.
  void Load(const SettingsFile& settings);

  std::string SoundText() const;
  std::string IconText() const;
  bool SoundOn() const { return SoundText() == "1"; }
  bool IconOn() const { return IconText() == "1"; }

  // "1" becomes "0", anything else "1"; saved to the settings file, silently when that fails.
  void ToggleSound(SettingsFile& settings);
  void ToggleIcon(SettingsFile& settings);

 private:
  mutable std::mutex mutex_;
  std::string sound_;
  std::string icon_;
};

}  // namespace qw
