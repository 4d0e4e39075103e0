// Feeds arbitrary bytes to the settings reader and writer as a settings file, and to the category value
// rules.
//
// Each run rewrites one file at a fixed path, reads the five keys, writes one of them and checks that the
// written value reads back and that the other keys kept their values.

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "storage/settings_file.h"
#include "text/gbk_text.h"

namespace {

// The run's folder; a plain buffer, since the exit handler that removes it runs after static objects are
// gone.
char folder[64];

const std::filesystem::path& FilePath() {
  static const std::filesystem::path path = [] {
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::snprintf(folder, sizeof folder, "%s/qw-fuzz-settings-XXXXXX", base);
    if (mkdtemp(folder) == nullptr) abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    });
    return std::filesystem::path(folder) / "mavonet.ini";
  }();
  return path;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

// True when the profile format gives the value back unchanged: one line, no blanks or quotes at its ends, no
// NUL.
bool ReadsBackAsWritten(const std::string& value) {
  if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
  if (value.size() > qw::kSettingReadLimit) return false;
  if (value.empty()) return true;
  const auto edge = [](char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '"' || c == '\'';
  };
  return !edge(value.front()) && !edge(value.back());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::filesystem::path& path = FilePath();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << input;
  }
  qw::SettingsFile settings(path);
  const std::string* keys[] = {&qw::HeightKey(), &qw::WidthKey(), &qw::SoundKey(), &qw::IconKey(),
                               &qw::CategoriesKey()};
  std::string before[5];
  for (int i = 0; i < 5; ++i) {
    before[i] = settings.ReadSetting(*keys[i]);
    if (before[i].size() > qw::kSettingReadLimit) Fail("value longer than the read limit");
  }

  // The input's last bytes are the value, its first byte picks the key.
  const int pick = size > 0 ? data[0] % 5 : 0;
  const std::string value = input.substr(size > 24 ? size - 24 : 0);
  const bool written = settings.WriteSetting(*keys[pick], value);
  if (ReadsBackAsWritten(value)) {
    if (!written) Fail("a writable file refused a plain value");
    if (settings.ReadSetting(*keys[pick]) != value) Fail("written value did not read back");
  }
  if (written) {
    for (int i = 0; i < 5; ++i) {
      if (i != pick && settings.ReadSetting(*keys[i]) != before[i]) Fail("writing one key changed another");
    }
  }

  // A ">" byte can be the second byte of a two-byte character; only a ">" character ends a name.
  for (const std::string& name : qw::ParseCategoryValue(input)) {
    if (name.empty() || qw::Find(name, ">") != qw::kNotFound || qw::Trim(name) != name)
      Fail("bad category name");
  }
  const std::string composed = qw::ComposeCategoryValue(input);
  (void)qw::ParseCategoryValue(composed);
  return 0;
}
