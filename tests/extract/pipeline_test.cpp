#include "extract/pipeline.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

using Groups = std::vector<std::string>;

std::vector<Groups> AllGroups(const std::vector<Hit>& hits) {
  std::vector<Groups> all;
  for (const Hit& hit : hits) all.push_back(hit.groups);
  return all;
}

Hit HitOf(Groups groups) { return Hit{std::move(groups)}; }

// ---------------------------------------------------------------------------------------------------------------
// FlattenLines

TEST(FlattenLinesTest, RemovesOnlyPairsThatBeginACharacter) {
  const std::string zhong = QW_GBK("中");  // D6 D0
  struct Case {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"", ""},
      {"a\r\nb\r\n", "ab"},
      {"a\rb\nc", "a\rb\nc"},  // lone CR and LF stay
      {"\r\r\n\n", "\r\n"},    // the pair in the middle goes, its neighbours stay
      {"\r\n\r\n\r\n", ""},
      {zhong + "\r\n" + zhong, zhong + zhong},
      {"\xD6\r\n", "\xD6\r\n"},  // CR is the second byte of a character
      {"\xD6\xD0\xD6\r\nx", "\xD6\xD0\xD6\r\nx"},
      {std::string("a\0\r\nb", 5), std::string("a\0b", 3)},
      {"\r", "\r"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FlattenLines(c.text), c.expected) << testing::PrintToString(c.text);
  }
}

// Random texts with long runs of lead-range bytes and of CR and LF, which check the carries between 64-byte
// blocks and the byte-wise tail. Round numbers from 20000 on give texts long enough for the output to be made
// available in several slices.
std::string RandomFlattenText(std::mt19937& random, int round) {
  const char alphabet[] = {'\r', '\n', 'a', '\x81', '\xD6', '\0', '\r', '\n', '\xD6', '\xA1'};
  std::string text(round < 20000 ? random() % 300 : 50000 + random() % 50000, ' ');
  const std::size_t kinds = 2 + random() % (sizeof alphabet - 1);  // some texts are CR and LF only
  for (char& byte : text) byte = alphabet[random() % kinds];
  return text;
}

TEST(FlattenLinesTest, AgreesWithReplaceAllOnRandomText) {
  std::mt19937 random(7);
  for (int round = 0; round < 20020; ++round) {
    const std::string text = RandomFlattenText(random, round);
    ASSERT_EQ(FlattenLines(text), ReplaceAll(text, "\r\n", "", true)) << testing::PrintToString(text);
  }
}

const char* LevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::kPortable:
      return "Portable";
    case SimdLevel::kSse2:
      return "Sse2";
    case SimdLevel::kAvx2:
      return "Avx2";
    case SimdLevel::kAvx512:
      return "Avx512";
    case SimdLevel::kAvx512Vbmi2:
      return "Avx512Vbmi2";
  }
  return "Unknown";
}

// Every instruction-set variant. One above what the processor has cannot run here (it would be lowered to the
// best the processor has), so it reports itself skipped.
class FlattenLinesLevelTest : public ::testing::TestWithParam<SimdLevel> {};

INSTANTIATE_TEST_SUITE_P(Levels, FlattenLinesLevelTest,
                         ::testing::Values(SimdLevel::kPortable, SimdLevel::kSse2, SimdLevel::kAvx2,
                                           SimdLevel::kAvx512, SimdLevel::kAvx512Vbmi2),
                         [](const ::testing::TestParamInfo<SimdLevel>& info) {
                           return std::string(LevelName(info.param));
                         });

TEST_P(FlattenLinesLevelTest, AgreesWithReplaceAll) {
  const SimdLevel level = GetParam();
  if (level > BestSimdLevel()) GTEST_SKIP() << "this processor lacks " << LevelName(level);
  std::mt19937 random(11);
  for (int round = 19000; round < 20005; ++round) {
    const std::string text = RandomFlattenText(random, round);
    ASSERT_EQ(FlattenLines(text, level), ReplaceAll(text, "\r\n", "", true)) << testing::PrintToString(text);
  }
}

// A page with CR LF line ends goes through FlattenLines before its markers are searched.
TEST(PipelineTest, MarkersSeeTheFlattenedPage) {
  const std::string page = FlattenLines("<html>\r\n<div id=\"list\">\r\n<a>one</a>\r\n</div>\r\n</html>");
  EXPECT_EQ(CutRegion(page, "<html><div", "</html>"), " id=\"list\"><a>one</a></div>");
  EXPECT_EQ(CutRegion(page, "<html>\r\n<div", "</html>"), "");
  EXPECT_EQ(CutRegion(page, QW_GBK("id=#引号list#引号>"), "</div>"), "<a>one</a>");
  EXPECT_EQ(CutRegion(page, "<DIV", "</div>"), "");  // markers keep letter case
  EXPECT_EQ(CutRegion(page, "", "<a>"), "<html><div id=\"list\">");
  EXPECT_EQ(CutRegion(page, "<html>", ""), "");
  EXPECT_EQ(CutRegion(page, "</div>", "<div"), "");
  EXPECT_EQ(FlattenLines("a\nb\n"), "a\nb\n");  // bare LF line ends stay
}

// ---------------------------------------------------------------------------------------------------------------
// MatchAll

TEST(MatchAllTest, FindsForumListEntriesInOrderIgnoringCase) {
  const std::string title1 = QW_GBK("中文标题");
  const std::string region = "<li><A HREF=\"thread-15-1-1.html\" class=\"s\">" + title1 +
                             "</a></li>\n<li><a href=\"thread-16-1-1.html\">Second</A></li>";
  const auto hits = MatchAll(R"(<a href="thread-(\d+)-1-1\.html"[^>]*>([^<]+)</a>)", region);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].groups,
            (Groups{"<A HREF=\"thread-15-1-1.html\" class=\"s\">" + title1 + "</a>", "15", title1}));
  EXPECT_EQ(hits[1].groups, (Groups{"<a href=\"thread-16-1-1.html\">Second</A>", "16", "Second"}));
}

TEST(MatchAllTest, FollowsTheSearchRules) {
  struct Case {
    const char* what;
    std::string pattern;
    std::string region;
    std::vector<Groups> expected;
  };
  const std::vector<Case> cases = {
      {"non-overlapping, in order", "aa", "aaaaa", {{"aa"}, {"aa"}}},
      {"^ at the region start only", "^a", "a\na", {{"a"}}},
      {"^ never after a line break", "^b", "a\nb", {}},
      {"^ not again where a search resumes", "^a", "aaa", {{"a"}}},
      {"$ at the region end only", "a$", "a\na", {{"a"}}},
      {"$ never before a line break", "a$", "a\nb", {}},
      {"\\b sees the byte before a resumed search", R"(\bab)", "abab ab", {{"ab"}, {"ab"}}},
      {"look-behind sees it too", "(?<=b)a", "aba", {{"a"}}},
      {"empty alternative: one empty hit", "|a", "aaa", {{""}}},
      {"zero-length hit ends the search after it", "a|(?=b)", "aabab", {{"a"}, {"a"}, {""}}},
      {"empty pattern", "", "abc", {{""}}},
      {"empty region", "a*", "", {}},
      {"group outside the match is empty", "(a)|(b)", "b", {{"b", "", "b"}}},
      {"NUL bytes are ordinary",
       R"(\x00(b+))",
       std::string("a\0bb\0b", 6),
       {{std::string("\0bb", 3), "bb"}, {std::string("\0b", 2), "b"}}},
      {"NUL in the pattern", std::string("a\0", 2), std::string("a\0a", 3), {{std::string("a\0", 2)}}},
      {"GBK bytes match only themselves", "\xC4\xE3", "\xE4\xE3\xC4\xE3", {{"\xC4\xE3"}}},
      {"no match", "z", "abc", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AllGroups(MatchAll(c.pattern, c.region)), c.expected) << c.what;
  }
}

TEST(MatchAllTest, PatternThatDoesNotCompileGivesNoHits) {
  const std::string deep = std::string(5000, '(') + "a" + std::string(5000, ')');
  for (const std::string& pattern : {std::string("("), std::string("a)"), std::string("[a"),
                                     std::string("a{2,1}"), std::string("\\"), std::string("(?<"), deep}) {
    EXPECT_TRUE(MatchAll(pattern, "a(a)[a").empty()) << pattern.substr(0, 20);
    EXPECT_EQ(GroupCount(pattern), 0) << pattern.substr(0, 20);
  }
}

// Bytes placed so that the last one is followed by an inaccessible page: any read past them faults.
class BytesBeforeGuardPage {
 public:
  explicit BytesBeforeGuardPage(std::string_view bytes)
      : page_(static_cast<std::size_t>(sysconf(_SC_PAGESIZE))) {
    void* mapped = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::runtime_error("mmap failed");
    base_ = static_cast<char*>(mapped);
    if (mprotect(base_ + page_, page_, PROT_NONE) != 0) throw std::runtime_error("mprotect failed");
    char* start = base_ + page_ - bytes.size();
    std::copy(bytes.begin(), bytes.end(), start);
    view_ = std::string_view(start, bytes.size());
  }
  ~BytesBeforeGuardPage() { munmap(base_, 2 * page_); }
  BytesBeforeGuardPage(const BytesBeforeGuardPage&) = delete;
  BytesBeforeGuardPage& operator=(const BytesBeforeGuardPage&) = delete;

  std::string_view view() const { return view_; }

 private:
  std::size_t page_;
  char* base_ = nullptr;
  std::string_view view_;
};

// Boost's parser reads one byte past a pattern that ends inside a set range.
TEST(MatchAllTest, PatternEndingInsideASetRangeIsReadWithinItsBytes) {
  for (const std::string_view text : {"[a-b", "[a-b-", "x[0-9"}) {
    const BytesBeforeGuardPage pattern(text);
    EXPECT_TRUE(MatchAll(pattern.view(), "ab-0").empty()) << text;
    EXPECT_EQ(GroupCount(pattern.view()), 0) << text;
  }
}

TEST(GroupCountTest, CountsCapturingGroupsOnly) {
  EXPECT_EQ(GroupCount(""), 0);
  EXPECT_EQ(GroupCount("a"), 0);
  EXPECT_EQ(GroupCount("(a)(b(c))"), 3);
  EXPECT_EQ(GroupCount("(?:a)(?=b)"), 0);
  EXPECT_EQ(GroupCount("(?<id>\\d+)-(x)"), 2);
}

// ---------------------------------------------------------------------------------------------------------------
// Hostile expressions and pages

// Without the guard these searches throw out of Boost: the first two exceed its step limit, the third its
// backtracking stack.
TEST(MatchAllGuardTest, EngineLimitsEndTheSearchWithTheHitsSoFar) {
  const std::string xs(2000, 'x');
  EXPECT_TRUE(MatchAll("(x+)+y", xs).empty());
  EXPECT_EQ(AllGroups(MatchAll("ab|(x+)+y", "ab ab " + xs)), (std::vector<Groups>{{"ab", ""}, {"ab", ""}}));
  EXPECT_TRUE(MatchAll("(x|x?)+y", std::string(1 << 20, 'x')).empty());
}

// Boost's own limit grows with the page and the square of the expression length: this search alone would be
// allowed about 4e10 steps (several minutes). The per-call budget stops it after about a second.
TEST(MatchAllGuardTest, LongHostileExpressionOnABigPageStopsWithinTheBudget) {
  std::string pattern = "(x+)+y";
  while (pattern.size() < 200) pattern += "|never-written-anywhere";
  EXPECT_TRUE(MatchAll(pattern, std::string(1 << 20, 'x')).empty());
}

// Every search after a hit restarts Boost's own count, so twelve searches of some 3e7 steps each would all
// succeed; the budget is shared by all searches of one call and ends the list early.
TEST(MatchAllGuardTest, BudgetIsSharedAcrossHits) {
  std::string region;
  for (int i = 0; i < 12; ++i) region += std::string(20, 'x') + "z";
  region += std::string(10000, '-');  // keeps Boost's own limit per search at its 1e8 cap
  const auto hits = MatchAll("(x+)+y|z", region);
  EXPECT_GT(hits.size(), 0u);
  EXPECT_LT(hits.size(), 12u);
}

std::string ForumPage(std::size_t bytes) {
  const std::string title = QW_GBK("中文标题");
  std::string page = "<html><body><table id=\"list\">\r\n";
  for (int id = 1; page.size() < bytes; ++id) {
    page += "<tr><th class=\"new\"><a href=\"thread-" + std::to_string(id) + "-1-1.html\" class=\"xst\">" +
            title + std::to_string(id) + "</a></th><td>user</td></tr>\r\n";
  }
  return page + "</table></body></html>";
}

TEST(MatchAllGuardTest, FiftyMebibytePage) {
  const std::string region = CutRegion(FlattenLines(ForumPage(50u << 20)), "<table id=\"list\">", "</table>");
  const auto hits = MatchAll(R"(<a href="thread-(\d+)-1-1\.html"[^>]*>([^<]+)</a>)", region);
  ASSERT_GT(hits.size(), 400'000u);
  EXPECT_EQ(GroupText(hits.back(), 1), std::to_string(hits.size()));
  EXPECT_EQ(GroupText(hits.back(), 2), QW_GBK("中文标题") + std::to_string(hits.size()));
}

// A pattern that matches every byte of a huge page would need gigabytes of hits; the list stops at a million.
TEST(MatchAllGuardTest, HitListIsBounded) {
  EXPECT_EQ(MatchAll(".", std::string(3'000'000, 'a')).size(), 1'000'000u);
}

// ---------------------------------------------------------------------------------------------------------------
// Group texts, placeholders and article addresses

TEST(GroupTextTest, IndexesOutsideTheGroupsGiveEmptyText) {
  const Hit hit = HitOf({"thread-15", "15", ""});
  EXPECT_EQ(GroupText(hit, 0), "thread-15");
  EXPECT_EQ(GroupText(hit, 1), "15");
  EXPECT_EQ(GroupText(hit, 2), "");
  for (int k : {3, 100, INT_MAX, -1, INT_MIN}) EXPECT_EQ(GroupText(hit, k), "") << k;
  EXPECT_EQ(GroupText(Hit{}, 0), "");
}

TEST(TemplatePlaceholdersTest, TextsBetweenBrackets) {
  const std::string fullSpace = "\xA1\xA1";
  const std::string yi = QW_GBK("乚");  // 81 5D: its second byte is "]"
  struct Case {
    std::string urlTemplate;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"[]", {}},
      {"", {}},
      {"http://bbs.example.com/thread-[1]-[2].html", {"1", "2"}},
      {"[ 1 ]", {"1"}},
      {"[" + fullSpace + "3 " + fullSpace + "]", {"3"}},
      {"[ ][2]", {"2"}},
      {"[1][1]", {"1", "1"}},
      {"[id]", {"id"}},
      {"[1", {}},
      {"1]", {}},
      {"][1]", {"1"}},
      {"[[1]", {"[1"}},
      {"[1]]", {"1"}},
      {"[a][b", {"a"}},
      {"[" + yi + "]", {yi}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TemplatePlaceholders(c.urlTemplate), c.expected) << c.urlTemplate;
  }
}

TEST(ComposeArticleUrlTest, ReplacesEachKeyByItsGroup) {
  const Hit hit = HitOf({"whole", "15", "3"});
  struct Case {
    std::string urlTemplate;
    std::string expected;
  };
  const Case cases[] = {
      {"http://bbs.example.com/thread-[1]-[2].html", "http://bbs.example.com/thread-15-3.html"},
      {"http://x/[1]?again=[1]", "http://x/15?again=15"},
      {"[]", "[]"},
      {"no placeholder", "no placeholder"},
      {"http://x/[id]", "http://x/whole"},   // a word selects group 0
      {"http://x/[ 1 ]", "http://x/[ 1 ]"},  // the key is rebuilt trimmed and not found
      {"http://x/[7]", "http://x/"},         // no such group
      {"http://x/[-1]", "http://x/"},
      {"http://x/[" + QW_GBK("２") + "]", "http://x/3"},  // full-width digits read as half-width
      {"[1", "[1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComposeArticleUrl(c.urlTemplate, TemplatePlaceholders(c.urlTemplate), hit), c.expected)
        << c.urlTemplate;
  }
}

// A page controls the group texts; a key it writes into one must not be replaced by a later group.
TEST(ComposeArticleUrlTest, GroupTextIsNeverSearchedForKeys) {
  EXPECT_EQ(ComposeArticleUrl("[1]/[2]", {"1", "2"}, HitOf({"", "[2]", "x"})), "[2]/x");
  std::string keys;
  for (int i = 0; i < 1000; ++i) keys += "[2]";
  const Hit hostile = HitOf({"", keys, std::string(100000, 'x')});
  EXPECT_EQ(ComposeArticleUrl("[1]-[2]", {"1", "2"}, hostile).size(), keys.size() + 1 + 100000);
}

TEST(ComposeArticleUrlTest, PlaceholderListFromTheCaller) {
  const Hit hit = HitOf({"whole", "15"});
  EXPECT_EQ(ComposeArticleUrl("a[1]b[]c", {"1", ""}, hit), "a15bwholec");  // "" reads as 0
  EXPECT_EQ(ComposeArticleUrl("a[1]b", {}, hit), "a[1]b");
  EXPECT_EQ(ComposeArticleUrl("", {"1"}, hit), "");
}

}  // namespace
}  // namespace qw
