#include "storage/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

// One line of the file: its bytes without the line break, and the break exactly as found ("" on a last line
// without one), so that a rewrite reproduces every untouched line byte for byte.
struct Line {
  std::string text;
  std::string end;
};

std::vector<Line> SplitLines(std::string_view content) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t at = content.find_first_of("\r\n", start);
    if (at == std::string_view::npos) {
      lines.push_back({std::string(content.substr(start)), ""});
      break;
    }
    const std::size_t breakLength = content.compare(at, 2, "\r\n") == 0 ? 2 : 1;
    lines.push_back(
        {std::string(content.substr(start, at - start)), std::string(content.substr(at, breakLength))});
    start = at + breakLength;
  }
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) { return Equal(Lower(a), Lower(b)); }

// The section name of a line "[name]", or nothing for any other line.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  // "]" can be the second byte of a two-byte character, so the search steps by characters.
  const Pos close = Find(line, "]", 2);
  if (close == kNotFound) return std::nullopt;
  return TrimBlanks(line.substr(1, static_cast<std::size_t>(close) - 2));
}

// Splits a "key=value" line; nothing for comments and lines without "=".
bool KeyValueOf(std::string_view line, std::string_view& key, std::string_view& value) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() == ';') return false;
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  key = TrimBlanks(line.substr(0, equals));
  value = TrimBlanks(line.substr(equals + 1));
  return true;
}

const std::string& SectionName() { return QW_GBK("配置"); }

// The lines of the section and the index of the key's first line in it, within lines.
struct Location {
  std::optional<std::size_t> section;  // The section line.
  std::size_t sectionEnd = 0;          // One past the section's last line.
  std::optional<std::size_t> key;      // The first line holding the key.
};

Location Locate(const std::vector<Line>& lines, std::string_view key) {
  Location where;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto section = SectionOf(lines[i].text);
    if (!where.section) {
      // The first section of the name is the one used, as the Windows profile functions do.
      if (section && SameName(*section, SectionName())) where.section = i;
      continue;
    }
    if (section) {
      where.sectionEnd = i;
      return where;
    }
    std::string_view k, v;
    if (!where.key && KeyValueOf(lines[i].text, k, v) && SameName(k, key)) where.key = i;
  }
  where.sectionEnd = lines.size();
  return where;
}

// The whole file, or nothing when it cannot be read; a missing file reads as empty.
std::optional<std::string> ReadWhole(const std::filesystem::path& path, bool& exists) {
  exists = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::string();
    exists = true;
    return std::nullopt;
  }
  exists = true;
  std::string content;
  char buffer[65536];
  while (true) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    content.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return content;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t put = ::write(fd, data.data(), data.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

// Writes the whole content over the file where it stands, creating it with mode when missing. A failure
// halfway can leave the file cut short, so this is only the way where a replace is impossible or would change
// the file.
bool RewriteInPlace(const std::filesystem::path& path, std::string_view content, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, mode);
  if (fd < 0) return false;
  bool ok =
      WriteAll(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  return ok;
}

enum class Replaced { kDone, kFailed, kNotPossible };

// Replaces the file's content through a temporary file beside it and a rename, so that a failure halfway (a
// full disk, a crash) leaves the old settings intact instead of a truncated file. The new file gets mode and,
// when the file exists (original), its owner and group. kNotPossible: the temporary file cannot be made (a
// directory the user may not write to) or cannot be given the owner; nothing was changed.
Replaced ReplaceFile(const std::filesystem::path& path, std::string_view content, mode_t mode,
                     const struct stat* original) {
  std::string pattern = path.string() + ".XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return Replaced::kNotPossible;
  if (original != nullptr && ::fchown(fd, original->st_uid, original->st_gid) != 0) {
    ::close(fd);
    ::unlink(pattern.c_str());
    return Replaced::kNotPossible;
  }
  bool ok = WriteAll(fd, content) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(pattern.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(pattern.c_str());
  return ok ? Replaced::kDone : Replaced::kFailed;
}

// A value holding a line break, or a NUL, could not be read back and would add lines of its own.
bool FitsOnOneLine(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace

std::string SettingsFile::ReadSetting(std::string_view key) const {
  bool exists = false;
  const std::optional<std::string> content = ReadWhole(path_, exists);
  if (!content) return {};
  const std::vector<Line> lines = SplitLines(*content);
  const Location where = Locate(lines, TrimBlanks(key));
  if (!where.key) return {};
  std::string_view k, value;
  KeyValueOf(lines[*where.key].text, k, value);
  // One pair of matching quotes around the value is not part of it.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  // The value ends at a NUL byte, as it would in the reader's buffer.
  value = value.substr(0, value.find('\0'));
  // The reader's buffer holds kSettingReadLimit bytes and a terminator; the cut never splits a two-byte
  // character.
  if (value.size() > kSettingReadLimit) {
    std::size_t end = 0;
    while (end < value.size()) {
      const std::size_t step =
          static_cast<unsigned char>(value[end]) >= 0x80 && end + 1 < value.size() ? 2 : 1;
      if (end + step > kSettingReadLimit) break;
      end += step;
    }
    value = value.substr(0, end);
  }
  return std::string(value);
}

bool SettingsFile::WriteSetting(std::string_view key, std::string_view value) {
  key = TrimBlanks(key);
  if (key.empty() || key.front() == ';' || key.front() == '[' || key.find('=') != std::string_view::npos ||
      !FitsOnOneLine(key) || !FitsOnOneLine(value)) {
    return false;
  }
  // A symbolic link keeps pointing at the file it named; the file behind it is the one rewritten.
  std::error_code ec;
  std::filesystem::path target = path_;
  if (std::filesystem::is_symlink(path_, ec)) {
    target = std::filesystem::weakly_canonical(path_, ec);
    if (ec) return false;
  }
  bool exists = false;
  const std::optional<std::string> content = ReadWhole(target, exists);
  if (!content) return false;  // An unreadable file is never replaced by one that lost its other lines.
  mode_t mode = 0644;
  struct stat info {};
  if (exists) {
    if (::stat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    // A rename would slip past a read-only file's mode; such a file is refused as Windows refuses a read-only
    // file, whoever the user is.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0)
      return false;
    mode = info.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }

  std::vector<Line> lines = SplitLines(*content);
  // New lines take the file's own line break; a new file gets the Windows one.
  std::string lineEnd = "\r\n";
  for (const Line& line : lines) {
    if (!line.end.empty()) {
      lineEnd = line.end;
      break;
    }
  }
  const std::string entry = std::string(key) + "=" + std::string(value);
  const Location where = Locate(lines, key);
  if (where.key) {
    lines[*where.key].text = entry;
  } else if (where.section) {
    // The key joins the end of its section, after the last line that is not blank.
    std::size_t at = where.sectionEnd;
    while (at > *where.section + 1 && TrimBlanks(lines[at - 1].text).empty()) --at;
    if (lines[at - 1].end.empty()) lines[at - 1].end = lineEnd;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{entry, lineEnd});
  } else {
    if (!lines.empty() && lines.back().end.empty()) lines.back().end = lineEnd;
    lines.push_back({"[" + SectionName() + "]", lineEnd});
    lines.push_back({entry, lineEnd});
  }

  std::string out;
  out.reserve(content->size() + entry.size() + 16);
  for (const Line& line : lines) out.append(line.text).append(line.end);
  // A rename would leave the file's other hard links with the old settings.
  if (exists && info.st_nlink > 1) return RewriteInPlace(target, out, mode);
  switch (ReplaceFile(target, out, mode, exists ? &info : nullptr)) {
    case Replaced::kDone:
      return true;
    case Replaced::kFailed:
      return false;
    case Replaced::kNotPossible:
      break;
  }
  return RewriteInPlace(target, out, mode);
}

const std::string& HeightKey() { return QW_GBK("高度"); }
const std::string& WidthKey() { return QW_GBK("宽度"); }
const std::string& SoundKey() { return QW_GBK("语音提醒"); }
const std::string& IconKey() { return QW_GBK("图标提醒"); }
const std::string& CategoriesKey() { return QW_GBK("类别"); }
const std::string& DesktopNoticeKey() { return QW_GBK("桌面通知"); }
const std::string& HomepageKey() { return QW_GBK("主页"); }

std::string ComposeCategoryValue(std::string_view editorText) {
  std::string value = "<";
  value += ReplaceAll(editorText, "\r\n", "><", true);
  value += '>';
  return ReplaceAll(value, "<>", "", true);
}

std::vector<std::string> ParseCategoryValue(std::string_view value) {
  std::vector<std::string> names;
  Pos from = 1;
  while (true) {
    const Pos open = Find(value, "<", from);
    if (open == kNotFound) break;
    const Pos close = Find(value, ">", open + 1);
    if (close == kNotFound) break;
    std::string name = Trim(Mid(value, open + 1, close - open - 1));
    if (!name.empty()) names.push_back(std::move(name));
    from = close + 1;
  }
  return names;
}

}  // namespace qw
