#pragma once
// The private settings file (mavonet.ini): one section "配置" of key=value lines, all in GBK.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qw {

// At most this many bytes of a value are read (the reader's buffer holds one byte more for its terminator).
inline constexpr std::size_t kSettingReadLimit = 10239;

class SettingsFile {
 public:
  explicit SettingsFile(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& Path() const { return path_; }

  // The key's value in section 配置, or the empty text when the file, the section or the key is missing.
  // Keys compare without regard to ASCII letter case.
  std::string ReadSetting(std::string_view key) const;

  // Replaces or adds the key's value, creating the file and section when missing; every other line stays as
  // it was. The new content replaces the file through a temporary file beside it, keeping its mode and owner;
  // where that file cannot be made or given the owner, and for a file with further hard links, the file is
  // rewritten in place. False when the file cannot be written.
  bool WriteSetting(std::string_view key, std::string_view value);

 private:
  std::filesystem::path path_;
};

// The settings keys, in GBK.
const std::string& HeightKey();      // 高度
const std::string& WidthKey();       // 宽度
const std::string& SoundKey();       // 语音提醒
const std::string& IconKey();        // 图标提醒
const std::string& CategoriesKey();  // 类别
// Beyond the design's five: the desktop notification switch ("0" off, on otherwise, so on when absent) and
// the mini homepage's own address (empty: the program's local start page).
const std::string& DesktopNoticeKey();  // 桌面通知
const std::string& HomepageKey();       // 主页

// The category editor's text (one name per line) as the stored value "<a><b>".
std::string ComposeCategoryValue(std::string_view editorText);
// The stored value as the ordered list of category names, trimmed, empty names skipped.
std::vector<std::string> ParseCategoryValue(std::string_view value);

}  // namespace qw
