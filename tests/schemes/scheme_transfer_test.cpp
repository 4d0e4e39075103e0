// Schemes exported to a file and imported into another database: the round trip that gives the same file
// byte for byte, what the file leaves out, the lookup of equal schemes, the categories, and the transaction.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "schemes/scheme_export.h"
#include "schemes/scheme_file.h"
#include "schemes/scheme_import.h"
#include "storage/database.h"
#include "storage/database_fixture.h"
#include "storage/scheme_options.h"
#include "storage/scheme_statements.h"
#include "storage/settings_file.h"
#include "storage/sql_literal.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw::test {
namespace {

// GBK characters whose second byte is a backslash (昞, 乗) or a vertical bar (銃).
const std::string kBackslashSecond = "\x95\x5c\x81\x5c";
const std::string kBarSecond = "\xe3\x7c";

struct Scheme {
  SchemeFields fields;
  SchemeOptions options;
};

Scheme Board(std::string name, std::string type) {
  Scheme s;
  s.fields.code = "1";
  s.fields.name = std::move(name);
  s.fields.url = "http://bbs.example/forum-2-1.html";
  s.fields.before = "<html";
  s.fields.after = "</html>";
  s.fields.regular = R"re(<a href="(.*?)">(.*?)</a>)re";
  s.fields.buquan = "http://bbs.example/[1]";
  s.fields.tindex = "2";
  s.fields.uindex = "1";
  s.fields.oindex = "";
  s.fields.ua = "Mozilla/5.0";
  s.fields.type = std::move(type);
  return s;
}

// Schemes that hold what a file must carry unchanged: quotes, backslashes, ";", GBK whose second byte is "\"
// or "|", line breaks and tabs, every judging mode, both encodings, empty and set indexes, options.
std::vector<Scheme> HostileSchemes() {
  std::vector<Scheme> schemes;
  Scheme quotes = Board(QW_GBK("示例论坛_'灌水'区") + "\"" + kBackslashSecond, "0");
  quotes.fields.url = "http://bbs.example/f.php?a=1;b='2'&c=\"3\"";
  quotes.fields.regular = R"re(<a href=\"(.*?)\" onclick=\"atarget\(this\)\">(.*?)</a>\\d+;)re";
  quotes.fields.cookie = "sid=a;b; name=" + kBarSecond;
  quotes.fields.before = "<ul id=#引号threads#引号>";
  quotes.fields.after = "</ul>\r\n\t" + kBackslashSecond;
  quotes.options = {{"watch", QW_GBK("关注") + kBackslashSecond + "'\\"}, {"render", "1"}};
  schemes.push_back(quotes);

  Scheme bottom = Board(QW_GBK("新闻") + kBarSecond + "|\\", "2");
  bottom.fields.code = "0";
  bottom.fields.regular = QW_GBK("<li>(.*?)") + kBarSecond + "(\\d+)|" + kBackslashSecond + "</li>";
  bottom.fields.buquan = "[]";
  bottom.fields.tindex = "1";
  bottom.fields.uindex = "0";
  bottom.fields.oindex = "2";
  schemes.push_back(bottom);

  Scheme rising = Board(QW_GBK("帖子ID"), "8");
  rising.fields.url = "http://bbs.example/forum-9-1.html";
  rising.fields.regular = R"re(thread-(\d+)-1-1\.html">(.*?)<)re";
  rising.fields.buquan = "http://bbs.example/thread-[1]-1-1.html";
  rising.fields.tindex = "";
  rising.fields.ua = QW_GBK("手机浏览器");
  rising.options = {{"mute", QW_GBK("广告")}};
  schemes.push_back(rising);
  return schemes;
}

class SchemeTransferTest : public DatabaseTest {
 protected:
  void SetUp() override {
    DatabaseTest::SetUp();
    CreateDatabaseFile(otherPath_);
    ASSERT_EQ(OpenDatabase(other_, otherPath_), OpenResult::Opened);
    settings_.WriteSetting(CategoriesKey(), QW_GBK("<新闻><论坛>"));
  }

  // Stores the schemes in the first database, as the editor would, with a monitoring history on top.
  std::vector<int> Store(const std::vector<Scheme>& schemes, int classNumber = 2) {
    std::vector<int> ids;
    for (Scheme s : schemes) {
      s.fields.classNumber = classNumber;
      EXPECT_TRUE(Execute(main_, SchemeInsertStatement(s.fields))) << LastError(main_);
      const int id = ToInteger(Query(main_, "select max(id) from rule").Cell(0, 0));
      EXPECT_TRUE(Execute(main_,
                          "update rule set isdo='1', arttile='marker', arturl='u', lasttime='t', "
                          "lastid=99 where id=" +
                              std::to_string(id)));
      if (!s.options.empty()) {
        EXPECT_TRUE(SaveSchemeOptions(main_, id, s.options));
      }
      ids.push_back(id);
    }
    return ids;
  }

  std::string Export(Connection& connection, SettingsFile& settings, bool withCookie = true) {
    const SchemeExport file =
        ExportSchemes(connection, ParseCategoryValue(settings.ReadSetting(CategoriesKey())), {}, withCookie);
    EXPECT_EQ(file.error, "");
    return file.text;
  }

  ImportOutcome ImportAll(const std::string& file, Connection& connection, SettingsFile& settings) {
    const ImportPlan plan = PlanImport(connection, file);
    EXPECT_EQ(GbkToUtf8(plan.error), "");
    return ImportSchemes(connection, settings, plan, std::vector<bool>(plan.candidates.size(), true));
  }

  std::filesystem::path otherPath_ = dir_ / "other.sdb";
  Connection other_;
  SettingsFile settings_{dir_ / "mavonet.ini"};
  SettingsFile otherSettings_{dir_ / "other.ini"};
};

TEST_F(SchemeTransferTest, ExportImportExportGivesTheSameFileAndTheSameBytes) {
  Store(HostileSchemes());
  for (const bool withCookie : {true, false}) {
    SCOPED_TRACE(withCookie ? "with cookie" : "without cookie");
    TempDir fresh;
    CreateDatabaseFile(fresh / "mavo.sdb");
    Connection target;
    ASSERT_EQ(OpenDatabase(target, fresh / "mavo.sdb"), OpenResult::Opened);
    SettingsFile targetSettings(fresh / "mavonet.ini");

    const std::string first = Export(main_, settings_, withCookie);
    const ImportOutcome outcome = ImportAll(first, target, targetSettings);
    ASSERT_TRUE(outcome.ok) << GbkToUtf8(outcome.error);
    EXPECT_EQ(outcome.ids, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Export(target, targetSettings, withCookie), first);

    // Every field arrived byte for byte (the cookie only when it was written), with the options.
    SchemeRecords source = ReadSchemeRecords(main_, {QW_GBK("新闻"), QW_GBK("论坛")}, {});
    const SchemeRecords copied = ReadSchemeRecords(target, {QW_GBK("论坛")}, {});
    if (!withCookie) {
      for (SchemeRecord& s : source.schemes) s.cookie.clear();
    }
    EXPECT_EQ(copied.schemes, source.schemes);
    EXPECT_EQ(targetSettings.ReadSetting(CategoriesKey()), QW_GBK("<论坛>"));
  }
}

TEST_F(SchemeTransferTest, TheFileCarriesWhatAPersonSetsAndNothingMonitoringWrote) {
  const std::vector<Scheme> schemes = HostileSchemes();
  Store({schemes[0]});
  const std::string file = Export(main_, settings_, false);
  EXPECT_NE(file.find("\"format\": \"quillwatch-schemes\""), std::string::npos) << file;
  EXPECT_NE(file.find("\"version\": 1"), std::string::npos);
  // Text as UTF-8 characters, not escapes; the category by name.
  EXPECT_NE(file.find(GbkToUtf8(kBackslashSecond)), std::string::npos);
  EXPECT_NE(file.find("\"category\": \"论坛\""), std::string::npos);
  EXPECT_NE(file.find("\"mode\": \"时间倒序\""), std::string::npos);
  EXPECT_NE(file.find("\"spareIndex\": null"), std::string::npos);
  EXPECT_NE(file.find("\"render\": \"1\""), std::string::npos);
  for (const char* absent : {"cookie", "sid=", "marker", "99", "isdo", "lasttime"}) {
    EXPECT_EQ(file.find(absent), std::string::npos) << absent;
  }
  EXPECT_NE(Export(main_, settings_, true).find("\"cookie\": \"sid=a;b; name="), std::string::npos);

  // Imported, the scheme starts unticked and without a marker, as a new one does.
  ASSERT_TRUE(ImportAll(file, other_, otherSettings_).ok);
  EXPECT_EQ(Query(other_, "select isdo, arttile, arturl, lasttime, lastid from rule").rows,
            (std::vector<std::vector<std::string>>{{"0", "", "", "", ""}}));
  EXPECT_EQ(Query(other_, "select count(*) from rule where arttile is null and lastid is null").Cell(0, 0),
            "1");
}

TEST_F(SchemeTransferTest, ABytesThatAreNoCharacterAreNotExportedAsSomethingElse) {
  Scheme broken = Board("ok", "0");
  broken.fields.after = "\xff\xfe";
  Store({broken});
  const SchemeExport file = ExportSchemes(main_, {}, {}, false);
  EXPECT_EQ(file.text, "");
  EXPECT_EQ(GbkToUtf8(file.error), "第 1 个方案「ok」的 采集后（after）含有不成字符的字节，无法原样导出");
  EXPECT_EQ(GbkToUtf8(ExportSchemes(main_, {}, {7}, false).error), "没有编号为 7 的方案");
}

TEST_F(SchemeTransferTest, ImportFindsEqualSchemesAndAddsOnlyTheChosenOnes) {
  // The database holds the first scheme of the file, and one with the same address but another expression.
  const std::vector<Scheme> schemes = HostileSchemes();
  const std::string file = [&] {
    TempDir source;
    CreateDatabaseFile(source / "mavo.sdb");
    Connection connection;
    OpenDatabase(connection, source / "mavo.sdb");
    for (const Scheme& s : schemes) EXPECT_TRUE(Execute(connection, SchemeInsertStatement(s.fields)));
    return ExportSchemes(connection, {QW_GBK("论坛")}, {}, true).text;
  }();
  Scheme sameAddress = schemes[2];
  sameAddress.fields.regular += "x";
  Store({Board("first", "0"), schemes[0], sameAddress}, 1);

  const ImportPlan plan = PlanImport(main_, file);
  ASSERT_EQ(plan.candidates.size(), 3u);
  EXPECT_EQ(plan.candidates[0].equalId, 2);
  EXPECT_EQ(plan.candidates[1].equalId, std::nullopt);
  EXPECT_EQ(plan.candidates[2].equalId, std::nullopt);

  // Skip the one that is there; the others go to the end, their category added after 新闻 and 论坛... which
  // the list has already, so nothing is added.
  ImportOutcome outcome = ImportSchemes(main_, settings_, plan, {false, true, true});
  ASSERT_TRUE(outcome.ok) << GbkToUtf8(outcome.error);
  EXPECT_EQ(outcome.ids, (std::vector<int>{4, 5}));
  EXPECT_TRUE(outcome.addedCategories.empty());
  EXPECT_EQ(Query(main_, "select class from rule where id in (4,5)").rows,
            (std::vector<std::vector<std::string>>{{"2"}, {"2"}}));

  // Added anyway, the equal one becomes a second scheme.
  outcome = ImportSchemes(main_, settings_, plan, {true, false, false});
  ASSERT_TRUE(outcome.ok);
  EXPECT_EQ(Query(main_, "select count(*) from rule where url='" + SqlQuoted(schemes[0].fields.url) + "'")
                .Cell(0, 0),
            "2");
}

TEST_F(SchemeTransferTest, AMissingCategoryGoesToTheEndOfTheListAndNoneStaysNone) {
  settings_.WriteSetting(CategoriesKey(), QW_GBK("< 新闻 ><论坛><>"));
  const std::string file =
      R"j({"format": "quillwatch-schemes", "version": 1, "schemes": [)j" +
      std::string(R"j({"name": "a", "category": "论坛", "encoding": "gbk", "url": "u1",)j") +
      R"j("agent": "", "before": "", "after": "", "expression": "x", "mode": "时间正序",)j" +
      R"j("titleIndex": "2", "idIndex": 0, "spareIndex": "", "template": "[]"},)j" +
      R"j({"name": "b", "category": " 乗法 ", "encoding": "UTF-8", "url": "u2",)j" +
      R"j("agent": "", "before": "", "after": "", "expression": "x", "mode": "比较文章ID",)j" +
      R"j("titleIndex": 1, "idIndex": 1, "spareIndex": null, "template": "",)j" +
      R"j("options": {"watch": "乗", "empty": ""}},)j" +
      R"j({"name": "c", "category": "", "encoding": "GBK", "url": "u3",)j" +
      R"j("agent": "", "before": "", "after": "", "expression": "x", "mode": "时间倒序",)j" +
      R"j("titleIndex": 1, "idIndex": 1, "spareIndex": 1, "template": ""}]})j";
  const ImportOutcome outcome = ImportAll(file, main_, settings_);
  ASSERT_TRUE(outcome.ok) << GbkToUtf8(outcome.error);
  EXPECT_EQ(outcome.addedCategories, std::vector<std::string>{QW_GBK("乗法")});
  EXPECT_EQ(settings_.ReadSetting(CategoriesKey()), QW_GBK("<新闻><论坛><乗法>"));
  EXPECT_EQ(Query(main_, "select name, class, code, tindex, uindex, oindex, type from rule order by id").rows,
            (std::vector<std::vector<std::string>>{{"a", "2", "1", "2", "0", "", "2"},
                                                   {"b", "3", "0", "1", "1", "", "8"},
                                                   {"c", "0", "1", "1", "1", "1", "0"}}));
  EXPECT_EQ(ReadAllSchemeOptions(main_), (std::map<int, SchemeOptions>{{2, {{"watch", "\x81\x5c"}}}}));
}

TEST_F(SchemeTransferTest, AFileWithoutOptionsLeavesADatabaseWithoutTheirTable) {
  Store({Board("plain", "0")});
  ASSERT_TRUE(ImportAll(Export(main_, settings_), other_, otherSettings_).ok);
  EXPECT_EQ(Query(other_, "select count(*) from sqlite_master where name='scheme_options'").Cell(0, 0), "0");

  // Options an older deleted scheme left under the id the import is given are not the imported scheme's.
  ASSERT_TRUE(SaveSchemeOptions(other_, 2, {{"render", "1"}}));
  ASSERT_TRUE(ImportAll(Export(main_, settings_), other_, otherSettings_).ok);
  EXPECT_EQ(Query(other_, "select max(id) from rule").Cell(0, 0), "2");
  EXPECT_TRUE(ReadAllSchemeOptions(other_).empty());
}

TEST_F(SchemeTransferTest, ARefusalOfTheDatabaseStoresNothingAndPutsTheCategoriesBack) {
  const std::vector<Scheme> schemes = HostileSchemes();
  Store(schemes, 2);
  const std::string file = Export(main_, settings_);
  otherSettings_.WriteSetting(CategoriesKey(), QW_GBK("<新闻>"));
  // The third scheme's options are refused, after the first two schemes went in.
  ASSERT_TRUE(Execute(other_,
                      "create table scheme_options(id INTEGER NOT NULL, name TEXT NOT NULL, value TEXT "
                      "NOT NULL, PRIMARY KEY(id, name));"
                      "create trigger refuse before insert on scheme_options when new.name='mute' "
                      "begin select raise(abort, 'refused'); end"));
  const ImportOutcome outcome = ImportAll(file, other_, otherSettings_);
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(GbkToUtf8(outcome.error).find("数据库拒绝了导入：refused"), std::string::npos)
      << GbkToUtf8(outcome.error);
  EXPECT_EQ(Query(other_, "select count(*) from rule").Cell(0, 0), "0");
  EXPECT_EQ(Query(other_, "select count(*) from scheme_options").Cell(0, 0), "0");
  EXPECT_EQ(otherSettings_.ReadSetting(CategoriesKey()), QW_GBK("<新闻>"));
  EXPECT_TRUE(Execute(other_, "begin; commit;"));  // no transaction left open
}

// A scheme file with one scheme whose fields are given (UTF-8), replacing or removing the defaults.
std::string FileWith(const std::string& replace, const std::string& by, const std::string& version = "1") {
  std::string scheme =
      R"j({"name": "好的", "category": "", "encoding": "GBK", "url": "http://a/", "agent": "", "before": "",)j"
      R"j( "after": "", "expression": "(a)", "mode": "时间倒序", "titleIndex": 1, "idIndex": 1,)j"
      R"j( "spareIndex": null, "template": "[]"})j";
  if (!replace.empty()) {
    const std::size_t at = scheme.find(replace);
    EXPECT_NE(at, std::string::npos) << replace;
    scheme.replace(at, replace.size(), by);
  }
  return R"j({"format": "quillwatch-schemes", "version": )j" + version + R"j(, "schemes": [)j" +
         R"j({"name": "第一", "category": "新分类", "encoding": "GBK", "url": "http://b/", "agent": "",)j" +
         R"j( "before": "", "after": "", "expression": "b", "mode": "时间倒序", "titleIndex": 0, "idIndex": 0,)j" +
         R"j( "spareIndex": 0, "template": ""}, )j" + scheme + "]}";
}

struct Refusal {
  const char* label;
  std::string file;
  std::string message;  // UTF-8
};

class SchemeFileRefusalTest : public SchemeTransferTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SchemeFileRefusalTest, ChangesNothingAndSaysWhy) {
  Store({Board("old", "0")}, 1);
  const std::string before = settings_.ReadSetting(CategoriesKey());
  const ImportPlan plan = PlanImport(main_, GetParam().file);
  EXPECT_TRUE(plan.candidates.empty());
  EXPECT_EQ(GbkToUtf8(plan.error), GetParam().message);
  const ImportOutcome outcome = ImportSchemes(main_, settings_, plan, {true, true});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(Query(main_, "select count(*) from rule").Cell(0, 0), "1");
  EXPECT_EQ(settings_.ReadSetting(CategoriesKey()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SchemeFileRefusalTest,
    ::testing::Values(
        Refusal{"NotJson", "schemes: none", "文件不是 UTF-8 的 JSON 文本（第 1 字节处出错）"},
        Refusal{"NotUtf8", FileWith("好的", "\xba\xc3"), "文件不是 UTF-8 的 JSON 文本（第 301 字节处出错）"},
        Refusal{"TooLarge", std::string(kSchemeFileLimit + 1, ' '), "文件超过 16 MiB，不是方案文件"},
        Refusal{"NumberOutOfRange", FileWith(R"j("idIndex": 1)j", R"j("idIndex": 4E4444)j"),
                "文件中有超出范围的数字，不是方案文件"},
        Refusal{"OtherJson", R"j({"schemes": []})j",
                "这不是方案文件：缺少 \"format\": \"quillwatch-schemes\""},
        Refusal{"NewerVersion", FileWith("", "", "2"),
                "方案文件的格式版本是 2，比本程序新（本程序读取版本 1），请先升级本程序"},
        Refusal{"NoVersion", FileWith("", "", "\"1\""), "方案文件缺少格式版本（version）"},
        Refusal{"MissingField", FileWith(R"j("expression": "(a)",)j", ""),
                "第 2 个方案「好的」的 正则匹配（expression）缺失"},
        Refusal{"ExpressionDoesNotCompile", FileWith(R"j("(a)")j", R"j("(a")j"),
                "第 2 个方案「好的」的 正则匹配（expression）无法编译：Unmatched marking parenthesis ( or "
                "\\(.  The "
                "error occurred while parsing the regular expression: '(a>>>HERE>>>'."},
        Refusal{"IndexNotANumber", FileWith(R"j("titleIndex": 1)j", R"j("titleIndex": "二")j"),
                "第 2 个方案「好的」的 标题索引（titleIndex）不是数字（应为整数，留空写 null）"},
        Refusal{"IndexAFraction", FileWith(R"j("idIndex": 1)j", R"j("idIndex": 1.5)j"),
                "第 2 个方案「好的」的 文章id索引（idIndex）不是数字（应为整数，留空写 null）"},
        Refusal{"TextWithoutGbk", FileWith(R"j("url": "http://a/")j", R"j("url": "http://a/😀")j"),
                "第 2 个方案「好的」的 监控网址（url）含有 GBK 中没有的字符「U+1F600」"},
        Refusal{"NulInText", FileWith(R"j("agent": "")j", R"j("agent": "a\u0000b")j"),
                "第 2 个方案「好的」的 模拟浏览（agent）含有 GBK 中没有的字符「U+0000」"},
        Refusal{"TextNotText", FileWith(R"j("template": "[]")j", R"j("template": 1)j"),
                "第 2 个方案「好的」的 合成网址（template）应为文字"},
        Refusal{"UnknownMode", FileWith("时间倒序\", \"titleIndex\": 1", "newest\", \"titleIndex\": 1"),
                "第 2 个方案「好的」的 判断模式（mode）应为 时间倒序、时间正序 或 比较文章ID"},
        Refusal{"UnknownEncoding", FileWith(R"j("encoding": "GBK")j", R"j("encoding": "big5")j"),
                "第 2 个方案「好的」的 编码（encoding）应为 \"GBK\" 或 \"UTF-8\""},
        Refusal{"CategoryTheListCannotHold", FileWith(R"j("category": "")j", R"j("category": "a>b")j"),
                "第 2 个方案「好的」的 类别（category）含有 < 、> 或换行，类别列表中存不下这样的名称"},
        Refusal{"OptionNotText",
                FileWith(R"j("template": "[]")j", R"j("template": "[]", "options": {"watch": 1})j"),
                "第 2 个方案「好的」的 选项（options）「watch」应为文字"},
        Refusal{
            "KeywordDoesNotCompile",
            FileWith(R"j("template": "[]")j", R"j("template": "[]", "options": {"mute": "广告\r\n/[a/"})j"),
            "第 2 个方案「好的」的 选项（options）「mute」第 2 行「/[a/」无法编译：Unmatched [ or [^ in "
            "character "
            "class declaration.  The error occurred while parsing the regular expression: '[a>>>HERE>>>'."}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace qw::test
