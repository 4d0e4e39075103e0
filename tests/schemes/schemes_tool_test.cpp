// qw-schemes as a script runs it: its output, its files and its exit statuses.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "storage/database.h"
#include "storage/database_fixture.h"
#include "storage/settings_file.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw::test {
namespace {

struct ToolRun {
  int status = -1;
  std::string out;  // standard output
};

// Runs qw-schemes with the shell words given (standard error joins the output).
ToolRun Tool(const std::string& words) {
  ToolRun run;
  FILE* pipe = ::popen((std::string(QW_SCHEMES_BIN) + " 2>&1 " + words).c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class SchemesToolTest : public DatabaseTest {
 protected:
  void SetUp() override {
    DatabaseTest::SetUp();
    ASSERT_TRUE(Execute(main_,
                        "insert into rule(id,class,code,name,url,regular,type,cookie) values"
                        "(3,1,'1','" +
                            QW_GBK("论坛") +
                            "','http://a/','(a)','0','sid=1'),"
                            "(5,2,'0','news','http://b/','(b)','8','')"));
    SettingsFile(dir_ / "mavonet.ini").WriteSetting(CategoriesKey(), QW_GBK("<论坛><新闻>"));
    CreateDatabaseFile(other_ / "mavo.sdb");
  }

  int Count(const std::filesystem::path& database, const std::string& table = "rule") {
    Connection connection;
    OpenDatabase(connection, database);
    return ToInteger(Query(connection, "select count(*) from " + table).Cell(0, 0));
  }

  std::string Db() const { return path_.string(); }
  std::string Other() const { return (other_ / "mavo.sdb").string(); }
  std::string File() const { return (dir_ / "out.qwscheme.json").string(); }

  TempDir other_;
};

TEST_F(SchemesToolTest, ExportsWhatIsAskedAndImportsSkippingWhatIsThere) {
  ToolRun run = Tool("export " + Db() + " " + File() + " 5 3");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "exported 2 scheme(s)\n");
  const std::string file = ReadAll(File());
  EXPECT_LT(file.find("\"news\""), file.find("\"论坛\""));  // in the order asked
  EXPECT_EQ(file.find("sid=1"), std::string::npos);
  // To standard output, the same bytes; with --with-cookie, the cookie too.
  EXPECT_EQ(Tool("export " + Db() + " - 5 3 2>/dev/null").out, file);
  EXPECT_NE(Tool("export --with-cookie " + Db() + " -").out.find("\"cookie\": \"sid=1\""), std::string::npos);

  run = Tool("import " + Other() + " " + File());
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "added 1 news\nadded 2 论坛\ncategory added: 新闻\ncategory added: 论坛\n");
  EXPECT_EQ(SettingsFile(other_ / "mavonet.ini").ReadSetting(CategoriesKey()), QW_GBK("<新闻><论坛>"));

  // Again: both are there already. From standard input, with --all, they are added anyway.
  run = Tool("import " + Other() + " " + File());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "skipped news (the same as scheme 1)\nskipped 论坛 (the same as scheme 2)\n");
  EXPECT_EQ(Tool("import --all " + Other() + " - < " + File()).status, 0);
  EXPECT_EQ(Count(Other()), 4);
}

struct Failure {
  const char* label;
  std::string words;  // with DB, OTHER, FILE and DIR standing for the paths
  int status;
  std::string output;  // what the output begins with
};

class SchemesToolFailureTest : public SchemesToolTest, public ::testing::WithParamInterface<Failure> {
 protected:
  // One pass from left to right: a path put in is never read again, as a temporary folder's random name may
  // hold a placeholder's letters.
  std::string Words(const std::string& words) const {
    const std::pair<std::string, std::string> names[] = {
        {"OTHER", Other()}, {"DB", Db()}, {"FILE", File()}, {"DIR", dir_.path().string()}};
    std::string out;
    for (std::size_t at = 0; at < words.size();) {
      const auto name = std::find_if(std::begin(names), std::end(names), [&](const auto& n) {
        return words.compare(at, n.first.size(), n.first) == 0;
      });
      if (name == std::end(names)) {
        out += words[at++];
      } else {
        out += name->second;
        at += name->first.size();
      }
    }
    return out;
  }
};

TEST_P(SchemesToolFailureTest, EndsWithItsStatusAndChangesNothing) {
  std::ofstream(dir_ / "bad.qwscheme.json")
      << R"({"format": "quillwatch-schemes", "version": 9, "schemes": []})";
  ASSERT_EQ(Tool("export " + Db() + " " + File()).status, 0);
  const ToolRun run = Tool(Words(GetParam().words));
  EXPECT_EQ(run.status, GetParam().status) << run.out;
  EXPECT_EQ(run.out.rfind(GetParam().output, 0), 0u) << run.out;
  EXPECT_EQ(Count(Other()), 0);
  EXPECT_FALSE(std::filesystem::exists(other_ / "mavonet.ini") &&
               !std::filesystem::is_directory(other_ / "mavonet.ini"));
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, SchemesToolFailureTest,
    ::testing::Values(Failure{"NoCommand", "", 2, "usage: qw-schemes export"},
                      Failure{"UnknownCommand", "backup DB FILE", 2, "usage:"},
                      Failure{"ImportWithoutFile", "import OTHER", 2, "usage:"},
                      Failure{"NotAnId", "export DB DIR/x.json 3 x", 2, "qw-schemes: not a scheme id: x"},
                      Failure{"UnknownId", "export DB DIR/x.json 4", 2, "qw-schemes: 没有编号为 4 的方案"},
                      Failure{"RefusedFile", "import OTHER DIR/bad.qwscheme.json", 2,
                              "qw-schemes: 方案文件的格式版本是 9，比本程序新"},
                      Failure{"NoDatabase", "import DIR/none.sdb FILE", 1, "qw-schemes: no database at "},
                      Failure{"NotTheProgramsDatabase", "import FILE FILE", 1, "qw-schemes: cannot open "},
                      Failure{"NoFile", "import OTHER DIR/none.json", 1, "qw-schemes: cannot read "},
                      Failure{"PlaceNothingIsWritten", "export DB /proc/x.qwscheme.json", 1,
                              "qw-schemes: 无法在目标文件夹中创建文件（/proc/x.qwscheme.json）"}),
    [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.label); });

TEST_F(SchemesToolTest, ASettingsFileThatCannotBeWrittenStoresNoScheme) {
  ASSERT_EQ(Tool("export " + Db() + " " + File()).status, 0);
  // A folder where the settings file should be: no user can write it as a file.
  std::filesystem::create_directory(other_ / "mavonet.ini");
  const ToolRun run = Tool("import " + Other() + " " + File());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("无法写入设置文件"), std::string::npos) << run.out;
  EXPECT_EQ(Count(Other()), 0);
}

}  // namespace
}  // namespace qw::test
