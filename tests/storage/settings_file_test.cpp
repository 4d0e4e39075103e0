#include "storage/settings_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "support/temp_dir.h"
#include "support/unprivileged.h"
#include "text/encoding.h"

namespace qw::test {
namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  void Put(const std::string& bytes) { std::ofstream(settings_.Path(), std::ios::binary) << bytes; }
  std::string Content() const {
    std::ifstream in(settings_.Path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempDir dir_;
  SettingsFile settings_{dir_ / "mavonet.ini"};
  const std::string section_ = "[" + QW_GBK("配置") + "]";
  const std::string height_ = HeightKey();
};

TEST_F(SettingsFileTest, FirstStartReadsEmptyAndTheFirstWriteCreatesSectionAndKey) {
  for (const std::string* key : {&HeightKey(), &WidthKey(), &SoundKey(), &IconKey(), &CategoriesKey()}) {
    EXPECT_EQ(settings_.ReadSetting(*key), "");
  }
  EXPECT_EQ(HeightKey(), "\xB8\xDF\xB6\xC8");  // 高度 in GBK.
  ASSERT_TRUE(settings_.WriteSetting(SoundKey(), "1"));
  EXPECT_EQ(Content(), section_ + "\r\n" + SoundKey() + "=1\r\n");
  EXPECT_EQ(settings_.ReadSetting(SoundKey()), "1");
}

TEST_F(SettingsFileTest, ReadsTheWayTheWindowsProfileFunctionsDo) {
  struct Case {
    std::string content;
    std::string key;
    std::string expected;
  };
  const std::string s = section_;
  const std::string h = height_;
  const Case cases[] = {
      {s + "\r\n" + h + "=600\r\n", h, "600"},
      {s + "\n" + h + "=600", h, "600"},                        // LF, no final break.
      {"  " + s + " \r\n\t" + h + " =  600 \t\r\n", h, "600"},  // Blanks around everything.
      {s + "\n" + h + "=\"600\"\n", h, "600"},                  // One pair of quotes goes.
      {s + "\n" + h + "='6 0'\n", h, "6 0"},
      {s + "\n" + h + "=\"600'\n", h, "\"600'"},  // Unmatched quotes stay.
      {s + "\n" + h + "=\"\n", h, "\""},
      {s + "\n" + h + "=a=b\n", h, "a=b"},
      {"[" + QW_GBK("配置") + "]\nAbC=1\n", "aBc", "1"},  // ASCII case does not matter.
      {h + "=600\n", h, ""},                              // No section.
      {"[other]\n" + h + "=1\n" + s + "\n" + h + "=2\n", h, "2"},
      {s + "\n" + h + "=1\n" + h + "=2\n", h, "1"},   // The first duplicate wins.
      {s + "\n;" + h + "=5\n" + h + "=6\n", h, "6"},  // Comments do not count.
      {s + "\nx=1\n[other]\n" + h + "=2\n", h, ""},   // Another section's key.
      {s + "\n" + h + "\n", h, ""},                   // A key without "=".
      {s + "\n" + h + "=\n", h, ""},
      {s + "\r" + h + "=7\r", h, "7"},                                          // Old Mac line ends.
      {std::string("\x00\xFF\x80[\x01\n", 6) + s + "\n" + h + "=1\n", h, "1"},  // Garbage before the section.
      {s + "\n" + h + std::string("=ab\0cd\n", 7), h, "ab"},                    // A NUL ends the value.
  };
  for (const Case& c : cases) {
    Put(c.content);
    EXPECT_EQ(settings_.ReadSetting(c.key), c.expected) << c.content;
  }
}

TEST_F(SettingsFileTest, LongValuesAreCutAtTheReadLimitAndNeverSplitACharacter) {
  Put(section_ + "\r\n" + CategoriesKey() + "=" + std::string(1 << 20, 'a') + "\r\n" + height_ + "=5\r\n");
  EXPECT_EQ(settings_.ReadSetting(CategoriesKey()), std::string(kSettingReadLimit, 'a'));
  EXPECT_EQ(settings_.ReadSetting(height_), "5");

  std::string wide;
  while (wide.size() < 20000) wide += QW_GBK("中");
  Put(section_ + "\n" + CategoriesKey() + "=" + wide + "\n");
  EXPECT_EQ(settings_.ReadSetting(CategoriesKey()), wide.substr(0, kSettingReadLimit - 1));
}

TEST_F(SettingsFileTest, WriteChangesOnlyTheKeysLine) {
  const std::string before = "; comment\r\n[other]\r\n" + height_ + "=1\r\n\r\n" + section_ + "\r\n  " +
                             height_ + " = 480 \r\n" + height_ + "=dup\r\nodd line\r\n\r\n[last]\r\nz=9";
  Put(before);
  ASSERT_TRUE(settings_.WriteSetting(height_, "600"));
  std::string after = before;
  after.replace(after.find("  " + height_ + " = 480 "), height_.size() + 9, height_ + "=600");
  EXPECT_EQ(Content(), after);

  // A new key joins its section after the last line that is not blank, with the file's own line break.
  ASSERT_TRUE(settings_.WriteSetting(WidthKey(), "800"));
  after.replace(after.find("odd line\r\n") + 10, 0, WidthKey() + "=800\r\n");
  EXPECT_EQ(Content(), after);
  EXPECT_EQ(settings_.ReadSetting(WidthKey()), "800");
  EXPECT_EQ(settings_.ReadSetting("z"), "");
}

TEST_F(SettingsFileTest, WriteFollowsTheFilesLineEndings) {
  struct Case {
    std::string before;
    std::string after;
  };
  const std::string k = SoundKey();
  const Case cases[] = {
      {"a=1\n", "a=1\n" + section_ + "\n" + k + "=1\n"},
      {"a=1", "a=1\r\n" + section_ + "\r\n" + k + "=1\r\n"},
      {section_, section_ + "\r\n" + k + "=1\r\n"},
      {section_ + "\nx=2", section_ + "\nx=2\n" + k + "=1\n"},
      {std::string("\x80\x00garbage\xFF\r\n", 12),
       std::string("\x80\x00garbage\xFF\r\n", 12) + section_ + "\r\n" + k + "=1\r\n"},
  };
  for (const Case& c : cases) {
    Put(c.before);
    ASSERT_TRUE(settings_.WriteSetting(k, "1"));
    EXPECT_EQ(Content(), c.after);
  }
}

TEST_F(SettingsFileTest, RefusedWritesLeaveTheFileAsItWas) {
  const std::string before = section_ + "\r\n" + height_ + "=1\r\n";
  Put(before);
  EXPECT_FALSE(settings_.WriteSetting(height_, "2\r\n" + WidthKey() + "=3"));  // Would add a line.
  EXPECT_FALSE(settings_.WriteSetting(height_, "2\n"));
  EXPECT_FALSE(settings_.WriteSetting("", "2"));
  EXPECT_FALSE(settings_.WriteSetting("a=b", "2"));
  EXPECT_EQ(Content(), before);

  // The read-only mode is honoured even for root, whose writes the permissions would not stop.
  ASSERT_EQ(chmod(settings_.Path().c_str(), 0444), 0);
  EXPECT_FALSE(settings_.WriteSetting(height_, "2"));
  EXPECT_EQ(Content(), before);
  EXPECT_EQ(settings_.ReadSetting(height_), "1");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);  // No stray temp file.
}

TEST_F(SettingsFileTest, WriteKeepsTheFilesModeAndLinks) {
  Put(section_ + "\n");
  ASSERT_EQ(chmod(settings_.Path().c_str(), 0600), 0);
  ASSERT_TRUE(settings_.WriteSetting(height_, "9"));
  struct stat info {};
  ASSERT_EQ(stat(settings_.Path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);

  SettingsFile linked(dir_ / "link.ini");
  std::filesystem::create_symlink(settings_.Path(), linked.Path());
  ASSERT_TRUE(linked.WriteSetting(WidthKey(), "3"));
  EXPECT_TRUE(std::filesystem::is_symlink(linked.Path()));
  EXPECT_EQ(settings_.ReadSetting(WidthKey()), "3");

  // A hard link goes on naming the same file, which holds the new value.
  SettingsFile hard(dir_ / "hard.ini");
  std::filesystem::create_hard_link(settings_.Path(), hard.Path());
  ASSERT_TRUE(settings_.WriteSetting(WidthKey(), "4"));
  EXPECT_TRUE(std::filesystem::equivalent(settings_.Path(), hard.Path()));
  EXPECT_EQ(hard.ReadSetting(WidthKey()), "4");
  std::filesystem::remove(hard.Path());
}

// The owner stays whoever writes the file.
TEST_F(SettingsFileTest, WriteKeepsTheFilesOwner) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can hand a file to another owner";
  Put(section_ + "\n");
  ASSERT_EQ(chmod(settings_.Path().c_str(), 0600), 0);
  ASSERT_EQ(chown(settings_.Path().c_str(), 4242, 4343), 0);
  ASSERT_TRUE(settings_.WriteSetting(WidthKey(), "5"));
  struct stat info {};
  ASSERT_EQ(stat(settings_.Path().c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4242u);
  EXPECT_EQ(info.st_gid, 4343u);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(settings_.ReadSetting(WidthKey()), "5");
}

TEST_F(SettingsFileTest, WritesInPlaceWhereNoTemporaryFileCanBeMade) {
  // The temporary file's name, the file's own with a suffix, is too long for the directory to hold.
  const long nameMax = pathconf(dir_.path().c_str(), _PC_NAME_MAX);
  ASSERT_GT(nameMax, 8);
  SettingsFile longName(dir_ / (std::string(static_cast<std::size_t>(nameMax) - 4, 'm') + ".ini"));
  EXPECT_TRUE(longName.WriteSetting(height_, "1"));  // A missing file is created where it stands.
  EXPECT_TRUE(longName.WriteSetting(height_, "2"));
  EXPECT_EQ(longName.ReadSetting(height_), "2");
  std::filesystem::remove(longName.Path());

  // A directory the user may not write to, holding a file the user may write. Root creates files in any
  // directory, so the case runs as a user the directory's mode binds.
  RunUnprivileged([this](const std::filesystem::path& own) {
    SettingsFile settings(own / "mavonet.ini");
    std::ofstream(settings.Path(), std::ios::binary) << section_ + "\r\n" + height_ + "=1\r\n";
    struct Writable {
      const std::filesystem::path& dir;
      ~Writable() { chmod(dir.c_str(), 0755); }
    } writableAtEnd{own};
    ASSERT_EQ(chmod(own.c_str(), 0555), 0);
    const int probe = creat((own / "probe").c_str(), 0600);
    if (probe >= 0) {
      close(probe);
      GTEST_SKIP() << "this user creates files in a read-only directory";
    }
    EXPECT_TRUE(settings.WriteSetting(height_, "2"));
    EXPECT_EQ(settings.ReadSetting(height_), "2");
    std::ifstream in(settings.Path(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), section_ + "\r\n" + height_ + "=2\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(own), {}), 1);
  });
}

TEST_F(SettingsFileTest, DirectoryInPlaceOfTheFileReadsEmptyAndRefusesWrites) {
  std::filesystem::create_directory(settings_.Path());
  EXPECT_EQ(settings_.ReadSetting(height_), "");
  EXPECT_FALSE(settings_.WriteSetting(height_, "1"));
  EXPECT_TRUE(std::filesystem::is_directory(settings_.Path()));
}

TEST(CategoryValueTest, ComposeDropsEmptyLinesAndKeepsNamesAsTyped) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"a\r\n\r\nb\r\n", "<a><b>"},
      {"  \r\nx", "<  ><x>"},
      {"a<>b", "<ab>"},
      {QW_GBK("新闻\r\n博客"), "<" + QW_GBK("新闻") + "><" + QW_GBK("博客") + ">"},
  };
  for (const auto& [editor, value] : cases) EXPECT_EQ(ComposeCategoryValue(editor), value) << editor;
}

TEST(CategoryValueTest, ParseTrimsBothSpacesAndStopsAtTheFirstGreaterThan) {
  const std::string fullSpace = QW_GBK("　");
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {"<a><b>", {"a", "b"}},
      {"<  ><" + fullSpace + " x " + fullSpace + ">", {"x"}},
      {"<a>b><c>", {"a", "c"}},  // A name holding ">" is cut there.
      {"junk<a>junk<b", {"a"}},
      {"<<a>", {"<a"}},
      {"<" + QW_GBK("新闻") + ">", {QW_GBK("新闻")}},
  };
  for (const auto& [value, names] : cases) EXPECT_EQ(ParseCategoryValue(value), names) << value;
  EXPECT_EQ(ParseCategoryValue(ComposeCategoryValue("a\r\n b \r\n\r\n")),
            (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace qw::test
