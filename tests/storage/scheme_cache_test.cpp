#include "storage/scheme_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "storage/category_list.h"
#include "storage/database_fixture.h"

namespace qw::test {
namespace {

using SchemeCacheTest = DatabaseTest;

TEST_F(SchemeCacheTest, RefreshCopiesEveryRowAndKeepsRowsOfDeletedSchemes) {
  ASSERT_TRUE(Execute(main_,
                      "insert into rule(id,class,name,url,isdo,type) values(1,2,'one','http://a/','1','0');"
                      "insert into rule(id,name,lastid) values(2,'two',17);"
                      "insert into rule(id,name) values(250,'far')"));
  SchemeCache cache;
  RefreshSchemeCache(main_, cache);
  EXPECT_EQ(cache.Get(1, kRuleId), "1");
  EXPECT_EQ(cache.Get(1, kRuleClass), "2");
  EXPECT_EQ(cache.Get(1, kRuleUrl), "http://a/");
  EXPECT_EQ(cache.Get(1, kRuleType), "0");
  EXPECT_EQ(cache.Get(1, kRuleArttile), "");  // NULL until the first pass.
  EXPECT_EQ(cache.Get(2, kRuleLastid), "17");
  EXPECT_EQ(cache.Get(250, kRuleName), "far");  // Ids above 200 have a row too.
  EXPECT_FALSE(cache.Has(3));
  EXPECT_EQ(cache.Get(3, kRuleName), "");
  EXPECT_EQ(cache.Get(1, kRuleColumnCount), "");
  EXPECT_EQ(cache.Get(1, -1), "");

  // A pass writes its marker into the cache; a refresh after a delete keeps the deleted scheme's row.
  cache.Set(2, kRuleArttile, "seen");
  ASSERT_TRUE(Execute(main_, "delete from rule where id=2; update rule set name='uno' where id=1"));
  RefreshSchemeCache(main_, cache);
  EXPECT_EQ(cache.Get(1, kRuleName), "uno");
  EXPECT_EQ(cache.Get(2, kRuleName), "two");
  EXPECT_EQ(cache.Get(2, kRuleArttile), "seen");

  // An unopened connection refreshes nothing and clears nothing.
  main_.Close();
  RefreshSchemeCache(main_, cache);
  EXPECT_EQ(cache.Get(1, kRuleName), "uno");
}

TEST(SchemeCacheCellsTest, IgnoresIdsThatNoSchemeCanHave) {
  SchemeCache cache;
  cache.Set(0, kRuleName, "zero");
  cache.Set(-4, kRuleName, "negative");
  cache.Store(0, SchemeRow{});
  EXPECT_FALSE(cache.Has(0));
  EXPECT_FALSE(cache.Has(-4));
  EXPECT_FALSE(cache.Row(0).has_value());
}

TEST(SchemeCacheCellsTest, RowsStayWholeWhileAnotherThreadStoresThem) {
  SchemeCache cache;
  auto uniform = [](const std::string& text) {
    SchemeRow row;
    row.fill(text);
    return row;
  };
  cache.Store(7, uniform("a"));
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop; ++i)
      cache.Store(7, uniform(std::string(static_cast<std::size_t>(i % 50 + 1), 'x')));
  });
  for (int i = 0; i < 20000; ++i) {
    const SchemeRow row = *cache.Row(7);
    for (const std::string& cell : row) ASSERT_EQ(cell, row[0]);
  }
  stop = true;
  writer.join();
}

TEST(CategoryListTest, ClassNumbersCountFromOne) {
  CategoryList list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.NameOf(1), "");
  list.Assign({"news", "blogs"});
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.NameOf(1), "news");
  EXPECT_EQ(list.NameOf(2), "blogs");
  EXPECT_EQ(list.NameOf(0), "");
  EXPECT_EQ(list.NameOf(3), "");
  EXPECT_EQ(list.Names(), (std::vector<std::string>{"news", "blogs"}));
}

}  // namespace
}  // namespace qw::test
