// The news an alert tells: every stored article, in the order stored, the first five by name.
#include "notify/pending_news.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/encoding.h"

namespace qw {
namespace {

std::vector<std::string> Utf8(const std::vector<std::string>& lines) {
  std::vector<std::string> converted;
  for (const std::string& line : lines) converted.push_back(GbkToUtf8(line));
  return converted;
}

TEST(PendingNewsTest, TellsTheFirstFiveInOrderAndCountsTheRest) {
  struct Case {
    int articles;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {1, {"论坛：帖子1"}},
      {5, {"论坛：帖子1", "论坛：帖子2", "论坛：帖子3", "论坛：帖子4", "论坛：帖子5"}},
      {7, {"论坛：帖子1", "论坛：帖子2", "论坛：帖子3", "论坛：帖子4", "论坛：帖子5", "……还有 2 篇"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.articles);
    PendingNews news;
    for (int i = 1; i <= c.articles; ++i) {
      news.Add({3, Utf8ToGbk("论坛"), Utf8ToGbk("帖子") + std::to_string(i),
                "http://bbs.example/" + std::to_string(i)});
    }
    const NewsNotice notice = news.Take();
    EXPECT_EQ(notice.count, c.articles);
    EXPECT_EQ(GbkToUtf8(NoticeCaption(notice)), "发现 " + std::to_string(c.articles) + " 篇新文章");
    EXPECT_EQ(Utf8(NoticeLines(notice)), c.lines);
    EXPECT_EQ(news.Take().count, 0);  // taken once
  }
}

TEST(PendingNewsTest, TellsOnlyWhatTheKeywordsLetAlertAndTheKeywordThatMatched) {
  PendingNews news;
  const std::string site = Utf8ToGbk("论坛");
  news.Add({3, site, Utf8ToGbk("显卡广告"), "http://bbs.example/1", false, ""});
  news.Add({3, site, Utf8ToGbk("显卡降价"), "http://bbs.example/2", true, Utf8ToGbk("显卡")});
  news.Add({3, site, Utf8ToGbk("内存条"), "http://bbs.example/3", false, ""});
  news.Add({5, site, Utf8ToGbk("无关键词的方案"), "http://bbs.example/4"});
  const NewsNotice notice = news.Take();
  EXPECT_EQ(notice.count, 2);
  EXPECT_EQ(Utf8(NoticeLines(notice)), (std::vector<std::string>{"论坛：显卡降价（关注词：显卡）", "论坛：无关键词的方案"}));
}

}  // namespace
}  // namespace qw
