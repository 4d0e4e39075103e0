#include "storage/scheme_options.h"

#include <gtest/gtest.h>

#include "storage/database_fixture.h"
#include "storage/scheme_cache.h"
#include "text/encoding.h"

namespace qw::test {
namespace {

using SchemeOptionsTest = DatabaseTest;

TEST_F(SchemeOptionsTest, ADatabaseWithoutTheTableReadsAsNoOptionsAndGetsItAtTheFirstSave) {
  EXPECT_TRUE(ReadAllSchemeOptions(main_).empty());
  EXPECT_TRUE(ReadSchemeOptions(main_, 1).empty());

  // Values that could end their literal, GBK whose second byte is a quote or a backslash, line breaks.
  const std::string hostile = QW_GBK("关注") + "\x81'" + "a'b\\c;\r\nd";
  ASSERT_TRUE(SaveSchemeOptions(main_, 3, {{"watch", hostile}, {"render", "1"}}));
  ASSERT_TRUE(SaveSchemeOptions(main_, 4, {{"mute", "x"}}));
  EXPECT_EQ(ReadSchemeOptions(main_, 3), (SchemeOptions{{"render", "1"}, {"watch", hostile}}));

  // A save replaces the whole set; an empty value removes its option.
  ASSERT_TRUE(SaveSchemeOptions(main_, 3, {{"watch", ""}, {"render", "1"}}));
  const std::map<int, SchemeOptions> all = ReadAllSchemeOptions(main_);
  EXPECT_EQ(all, (std::map<int, SchemeOptions>{{3, {{"render", "1"}}}, {4, {{"mute", "x"}}}}));
  EXPECT_EQ(OptionOf(all.at(3), "render"), "1");
  EXPECT_EQ(OptionOf(all.at(3), "watch"), "");

  // The columns of rule and info are untouched by the new table.
  EXPECT_EQ(Query(main_, "select * from rule").ColumnCount(), 20);
  EXPECT_EQ(Query(main_, "select * from info").ColumnCount(), 8);
}

TEST_F(SchemeOptionsTest, ATableNamedInAnotherLetterCaseIsTheSameTable) {
  ASSERT_TRUE(Execute(main_,
                      "create table SCHEME_Options(id INTEGER NOT NULL, name TEXT NOT NULL, value TEXT "
                      "NOT NULL, PRIMARY KEY(id, name)); insert into SCHEME_Options values(3,'render','1')"));
  EXPECT_TRUE(HasTable(main_, "scheme_options"));
  EXPECT_EQ(ReadSchemeOptions(main_, 3), (SchemeOptions{{"render", "1"}}));
  ASSERT_TRUE(SaveSchemeOptions(main_, 3, {{"mute", "x"}}));
  EXPECT_EQ(ReadAllSchemeOptions(main_), (std::map<int, SchemeOptions>{{3, {{"mute", "x"}}}}));
}

TEST_F(SchemeOptionsTest, ADeletedSchemesOptionsGoWithItAndNoTableIsMadeForThem) {
  EXPECT_TRUE(ForgetSchemeOptions(main_, 3));
  EXPECT_FALSE(HasSchemeOptionsTable(main_));
  ASSERT_TRUE(SaveSchemeOptions(main_, 3, {{"render", "1"}}));
  ASSERT_TRUE(SaveSchemeOptions(main_, 4, {{"mute", "x"}}));
  EXPECT_TRUE(ForgetSchemeOptions(main_, 3));
  EXPECT_EQ(ReadAllSchemeOptions(main_), (std::map<int, SchemeOptions>{{4, {{"mute", "x"}}}}));
}

TEST_F(SchemeOptionsTest, ARefusedSaveChangesNothing) {
  ASSERT_TRUE(SaveSchemeOptions(main_, 3, {{"watch", "old"}}));
  ASSERT_TRUE(Execute(main_,
                      "create trigger refuse before insert on scheme_options when new.name='mute' "
                      "begin select raise(abort, 'refused'); end"));
  EXPECT_FALSE(SaveSchemeOptions(main_, 3, {{"watch", "new"}, {"mute", "y"}}));
  EXPECT_EQ(ReadSchemeOptions(main_, 3), (SchemeOptions{{"watch", "old"}}));
  // The connection is not left inside a transaction.
  EXPECT_TRUE(Execute(main_, "begin; commit;"));
}

TEST_F(SchemeOptionsTest, AReadOnlyDatabaseWithoutTheTableStillLoadsItsSchemes) {
  ASSERT_TRUE(Execute(main_, "insert into rule(id,name) values(1,'one')"));
  // Refuses every write as a read-only file does, for root too.
  ASSERT_TRUE(Execute(main_, "PRAGMA query_only=1"));
  SchemeCache cache;
  RefreshSchemeCache(main_, cache);
  EXPECT_EQ(cache.Get(1, kRuleName), "one");
  EXPECT_TRUE(cache.Options(1).empty());
  EXPECT_FALSE(SaveSchemeOptions(main_, 1, {{"render", "1"}}));
}

TEST_F(SchemeOptionsTest, TheCacheTakesEachSchemesOptionsAtRefreshAndForgetsRemovedOnes) {
  ASSERT_TRUE(Execute(main_, "insert into rule(id,name) values(1,'one'),(2,'two')"));
  ASSERT_TRUE(SaveSchemeOptions(main_, 1, {{"render", "1"}}));
  SchemeCache cache;
  RefreshSchemeCache(main_, cache);
  EXPECT_EQ(cache.Options(1), (SchemeOptions{{"render", "1"}}));
  EXPECT_TRUE(cache.Options(2).empty());
  ASSERT_TRUE(SaveSchemeOptions(main_, 1, {}));
  RefreshSchemeCache(main_, cache);
  EXPECT_TRUE(cache.Options(1).empty());
}

}  // namespace
}  // namespace qw::test
