#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extract/pipeline.h"
#include "keywords/global_keywords.h"
#include "keywords/keyword_entries.h"
#include "keywords/keyword_judge.h"
#include "keywords/keyword_set.h"
#include "keywords/title_judge.h"
#include "storage/scheme_cache.h"
#include "storage/settings_file.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace qw {
namespace {

std::string G(const char* utf8) { return Utf8ToGbk(utf8); }

// Characters whose second byte is the byte of an ASCII letter: 華 C8 41 ("A"), 時 95 72 ("r"),
// 發 B0 6C ("l"), 說 D5 66 ("f").
TEST(KeywordMatchTest, TitlesAgainstLists) {
  struct Case {
    const char* title;
    const char* list;      // one entry per line
    const char* expected;  // the entry that matches, "" for none
  };
  const Case cases[] = {
      // ASCII letters in either case, as a part of the title.
      {"新到RTX 5090显卡", "rtx", "rtx"},
      {"新到rtx 5090显卡", "RTX 5090", "RTX 5090"},
      {"iPhone 降价", "IPHONE", "IPHONE"},
      {"显卡降价", "显卡", "显卡"},
      {"显卡降价", "内存", ""},
      // Full-width letters are other characters.
      {"ＲＴＸ显卡", "rtx", ""},
      // A letter never matches the second byte of a character, in either case.
      {"華為新機", "a", ""},
      {"華為新機", "A", ""},
      {"時間到了", "r", ""},
      {"發帖說明", "l\nf", ""},
      {"華為 Mate", "a", "a"},
      {"說明：f 鍵", "f", "f"},
      // Expressions: the scheme's engine, case-insensitive.
      {"出售 RTX5090 全新", "/rtx ?50[89]0/", "/rtx ?50[89]0/"},
      {"出售 rtx 5080", "/RTX ?50[89]0/", "/RTX ?50[89]0/"},
      {"【出售】显卡", "/^【出售】/", "/^【出售】/"},
      {"求购【出售】显卡", "/^【出售】/", ""},
      {"時間", "/r/", ""},
      {"時間", "/[a-z]+/", ""},
      {"時間abc", "/[a-z]+$/", "/[a-z]+$/"},
      {"華", "/\\x41/", ""},
      // Order of the list decides which entry is told; empty lines and spaces around entries do not count.
      {"二手显卡 RTX", "\r\n  \r\n　显卡　\r\nrtx\r\n", "显卡"},
      {"二手显卡 RTX", "\t rtx\t\n显卡", "rtx"},
      // An expression that does not compile matches nothing, and so does a lone slash pair.
      {"abc", "/(/\n//", ""},
      // A single slash is plain text.
      {"a/b", "/", "/"},
  };
  for (const Case& c : cases) {
    const KeywordSet set(G(c.list));
    const std::string title = G(c.title);
    const std::string* match = set.FirstMatch(PreparedTitle(title));
    EXPECT_EQ(match != nullptr ? GbkToUtf8(*match) : std::string(), c.expected) << c.title << " / " << c.list;
  }
}

TEST(KeywordMatchTest, AnEntryEndingInsideACharacterDoesNotMatch) {
  // A hand-edited list can hold half a character: 中 is D6 D0, the entry its first byte alone.
  const KeywordSet set(std::string("\xD6"));
  EXPECT_EQ(set.FirstMatch(PreparedTitle(G("中文"))), nullptr);
  EXPECT_NE(KeywordSet(G("中")).FirstMatch(PreparedTitle(G("中文"))), nullptr);
}

TEST(KeywordJudgeTest, MuteWinsAndWatchingSilencesTheRest) {
  const CompiledKeywords none;
  const CompiledKeywords watchOnly(KeywordLists{G("显卡"), ""});
  const CompiledKeywords muteOnly(KeywordLists{"", G("广告")});
  const CompiledKeywords both(KeywordLists{G("显卡"), G("广告\n/^求购/")});
  struct Case {
    const char* title;
    const CompiledKeywords* scheme;
    const CompiledKeywords* everyone;
    KeywordMark mark;
    const char* keyword;
    bool alerts;
  };
  const Case cases[] = {
      // Without keywords every title alerts, as always.
      {"显卡广告", &none, &none, KeywordMark::kNone, "", true},
      {"显卡降价", &watchOnly, &none, KeywordMark::kWatched, "显卡", true},
      {"内存降价", &watchOnly, &none, KeywordMark::kNone, "", false},
      {"内存降价", &muteOnly, &none, KeywordMark::kNone, "", true},
      {"内存广告", &muteOnly, &none, KeywordMark::kMuted, "广告", false},
      // Mute over watch, in one scope and across the two.
      {"显卡广告", &both, &none, KeywordMark::kMuted, "广告", false},
      {"求购显卡", &both, &none, KeywordMark::kMuted, "/^求购/", false},
      {"显卡广告", &watchOnly, &muteOnly, KeywordMark::kMuted, "广告", false},
      // Everyone's lists join the scheme's own.
      {"显卡降价", &none, &watchOnly, KeywordMark::kWatched, "显卡", true},
      {"内存降价", &muteOnly, &watchOnly, KeywordMark::kNone, "", false},
  };
  for (const Case& c : cases) {
    const KeywordVerdict verdict = JudgeTitle(G(c.title), *c.scheme, *c.everyone);
    EXPECT_EQ(verdict.mark, c.mark) << c.title;
    EXPECT_EQ(GbkToUtf8(verdict.keyword), c.keyword) << c.title;
    EXPECT_EQ(verdict.alerts, c.alerts) << c.title;
  }
}

TEST(KeywordJudgeTest, EachRoundTakesTheListsAsTheyStand) {
  SchemeCache cache;
  cache.Store(1, SchemeRow{});
  cache.Store(2, SchemeRow{});
  cache.StoreOptions(1, {{"watch", G("显卡\r\nrtx")}, {"render", "1"}});
  cache.StoreOptions(2, {{"mute", G("显卡")}});
  KeywordJudge judge(cache);
  judge.BeginRound(KeywordLists{"", G("广告")});
  EXPECT_EQ(judge.Judge(1, G("RTX 显卡")).mark, KeywordMark::kWatched);
  EXPECT_EQ(judge.Judge(2, G("RTX 显卡")).mark, KeywordMark::kMuted);
  EXPECT_EQ(judge.Judge(3, G("广告")).mark, KeywordMark::kMuted);
  EXPECT_FALSE(judge.Judge(1, G("内存")).alerts);
  EXPECT_TRUE(judge.Judge(3, G("内存")).alerts);
  // A change in the cache or in everyone's lists reaches the next round, not this one.
  cache.StoreOptions(1, {});
  EXPECT_EQ(judge.Judge(1, G("显卡")).mark, KeywordMark::kWatched);
  judge.BeginRound({G("内存"), ""});
  EXPECT_EQ(judge.Judge(1, G("显卡")).mark, KeywordMark::kNone);
  EXPECT_EQ(judge.Judge(1, G("内存")).mark, KeywordMark::kWatched);
  EXPECT_EQ(judge.Judge(3, G("广告")).mark, KeywordMark::kNone);
  cache.StoreOptions(1, {{"mute", G("内存")}});
  judge.BeginRound({G("内存"), ""});
  EXPECT_EQ(judge.Judge(1, G("内存")).mark, KeywordMark::kMuted);
}

TEST(KeywordEntriesTest, ABadExpressionIsToldWithTheEnginesOwnMessage) {
  EXPECT_FALSE(CheckKeywordLines(G("显卡\r\n/rtx ?50[89]0/\r\n\r\n/a/")));
  const std::optional<KeywordProblem> problem = CheckKeywordLines(G("\r\n显卡\r\n/(rtx/\r\n/[/"));
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->line, 3);  // empty lines count as lines
  EXPECT_EQ(problem->text, "/(rtx/");
  EXPECT_EQ(problem->reason, PatternError("(rtx").value());
  EXPECT_NE(problem->reason.find("parenthesis"), std::string::npos) << problem->reason;

  const std::optional<KeywordProblem> empty = CheckKeywordLines("//");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->text, "//");
}

TEST(KeywordEntriesTest, ListsSurviveTheSettingsFileAndTheOptionsTable) {
  // Entries holding the escape's own bytes, angle brackets and a GBK character whose second byte is a letter.
  const std::string text = G("显卡\r\n/a<b>c/\r\n100%纯\r\n%3C\r\n華");
  EXPECT_EQ(ComposeKeywordValue(text).find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(ParseKeywordValue(ComposeKeywordValue(text)), text);
  EXPECT_EQ(ParseKeywordValue(ComposeKeywordValue("")), "");
  // A value written by hand without the brackets is one entry.
  EXPECT_EQ(ParseKeywordValue(G("显卡")), G("显卡"));

  test::TempDir dir;
  SettingsFile settings(dir / "mavonet.ini");
  EXPECT_EQ(ReadGlobalKeywords(settings), KeywordLists{});
  const KeywordLists lists{text, G(" 广告 \r\n\r\n/^求购/")};
  ASSERT_TRUE(WriteGlobalKeywords(settings, lists));
  EXPECT_EQ(ReadGlobalKeywords(settings), (KeywordLists{text, G("广告\r\n/^求购/")}));
  EXPECT_EQ(settings.ReadSetting(G("关注词")), ComposeKeywordValue(text));

  SchemeOptions options{{"render", "1"}, {"mute", "old"}};
  PutKeywordLists(options, KeywordLists{G("显卡\n\n rtx"), ""});
  EXPECT_EQ(options, (SchemeOptions{{"render", "1"}, {"watch", G("显卡\r\nrtx")}}));
  EXPECT_EQ(KeywordListsOf(options), (KeywordLists{G("显卡\r\nrtx"), ""}));
}

}  // namespace
}  // namespace qw
