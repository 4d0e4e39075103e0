// The statements of the scheme editor and the scheme menu: their exact text for ordinary input, and typed
// values that arrive in the row unchanged whatever they hold.

#include "storage/scheme_statements.h"

#include <gtest/gtest.h>

#include "database_fixture.h"

namespace qw::test {
namespace {

SchemeFields Board() {
  SchemeFields f;
  f.code = "1";
  f.url = "http://bbs.example/forum-2-1.html";
  f.before = "<ul>";
  f.after = "</ul>";
  f.regular = "<a href=\"(.*?)\">(.*?)</a>";
  f.buquan = "http://bbs.example/[1]";
  f.cookie = "sid=1";
  f.tindex = "2";
  f.uindex = "1";
  f.oindex = "";
  f.ua = "Agent/1";
  f.classNumber = 3;
  f.name = "Board";
  f.type = "8";
  return f;
}

TEST(SchemeStatementsTest, OrdinaryInputGivesTheDesignStatements) {
  EXPECT_EQ(
      SchemeInsertStatement(Board()),
      "insert into rule(isdo,code,url,before,after,regular,buquan,cookie,tindex,uindex,oindex,ua,class,name,"
      "type) values('0','1','http://bbs.example/forum-2-1.html','<ul>','</ul>','<a href=\"(.*?)\">(.*?)</a>',"
      "'http://bbs.example/[1]','sid=1','2','1','','Agent/1',3,'Board','8')");
  SchemeFields f = Board();
  f.oindex = "0";
  EXPECT_EQ(SchemeUpdateStatement(f, "12"),
            "update rule set code='1',url='http://bbs.example/forum-2-1.html',before='<ul>',after='</ul>',"
            "regular='<a "
            "href=\"(.*?)\">(.*?)</a>',buquan='http://bbs.example/[1]',cookie='sid=1',tindex=2,uindex=1,"
            "oindex=0,ua='Agent/1',class=3,name='Board',type='8' where id=12");
  EXPECT_EQ(SchemeDeleteStatement("12"), "DELETE FROM rule WHERE id=12");
  EXPECT_EQ(SchemeDefaultTickStatement("1", "12"), "update rule set isdo=0 where id=12");
  EXPECT_EQ(SchemeDefaultTickStatement("", "12"), "update rule set isdo=1 where id=12");
}

TEST(SchemeStatementsTest, BareValuesStandBareOnlyAsPlainIntegers) {
  const std::pair<const char*, const char*> cases[] = {
      {"0", "0"},
      {"17", "17"},
      {"-3", "-3"},
      {"", "''"},
      {"007", "'007'"},
      {"-0", "'-0'"},
      {" 1", "' 1'"},
      {"1 or 1=1", "'1 or 1=1'"},
      {"1;drop", "'1;drop'"},
      {"a'b", "'a''b'"},
      {"1234567890123456789", "'1234567890123456789'"},
  };
  for (const auto& [value, bare] : cases) EXPECT_EQ(SqlBareValue(value), bare) << value;
}

class SchemeRoundTripTest : public DatabaseTest {};

TEST_F(SchemeRoundTripTest, TypedValuesComeBackAsTyped) {
  SchemeFields f = Board();
  const std::string hostile = "O'Neil\"; DROP TABLE rule;-- \\ '\xC2\xDB\xCC\xB3'";  // ends in GBK 论坛
  f.name = hostile;
  f.cookie = "a='1'; b=2";
  f.tindex = "1 or 1=1";
  f.oindex = "";
  ASSERT_TRUE(Execute(main_, SchemeInsertStatement(f)));
  ASSERT_TRUE(Execute(main_, SchemeUpdateStatement(f, "1")));
  const ResultTable rows = Query(main_, "select name,cookie,tindex,uindex,oindex,count(*) from rule");
  ASSERT_EQ(rows.RowCount(), 1);
  EXPECT_EQ(rows.rows[0], (std::vector<std::string>{hostile, "a='1'; b=2", "1 or 1=1", "1", "", "1"}));
  // An id that is no number names no row rather than every row.
  ASSERT_TRUE(Execute(main_, SchemeDeleteStatement("1 or 1=1")));
  EXPECT_EQ(Query(main_, "select count(*) from rule").Cell(0, 0), "1");
}

}  // namespace
}  // namespace qw::test
