// Pages that trip a proposal up: pinned threads, every form of relative link, "&amp;", odd attribute
// quoting and letter case, links that wrap markup, a thread linked three times in its row, markup inside
// scripts and comments, GBK characters whose second byte is a sign of the expression language.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extract/collect_scheme.h"
#include "extract/pipeline.h"
#include "propose/propose.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

using propose::Proposals;
using propose::ProposeSchemes;

// n rows made by row(i) for i = n down to 1, between a page's head and foot (UTF-8, converted to GBK).
std::string Page(const std::string& list, int n, const std::function<std::string(int)>& row,
                 const std::string& foot = "</ul>") {
  std::string rows;
  for (int i = n; i >= 1; --i) rows += row(i);
  return Utf8ToGbk("<html><head><title>列表</title></head><body><div class=\"nav\"><a href=\"/\">首页</a> "
                   "<a href=\"/about.html\">关于</a></div>" + list + rows + foot + "<div class=\"ft\">版权</div></body></html>");
}

std::string N(int i) { return std::to_string(i); }
std::string Title(int i) { return "第" + N(i) + "篇文章的标题在这里"; }

struct Case {
  const char* name;
  std::string page;  // GBK
  std::string address;
  std::vector<std::string> urls;  // the best candidate's, in page order
  int type;
};

std::vector<std::string> Urls(const std::string& pattern, std::vector<int> ids) {
  std::vector<std::string> urls;
  for (int i : ids) {
    std::string u = pattern;
    u.replace(u.find('#'), 1, N(i));
    urls.push_back(u);
  }
  return urls;
}

std::vector<Case> Cases() {
  std::vector<Case> cases;
  const std::vector<int> five{5, 4, 3, 2, 1};
  const auto li = [](const std::string& href) {
    return [href](int i) {
      std::string h = href;
      h.replace(h.find('#'), 1, N(i));
      return "<li><a href=\"" + h + "\">" + Title(i) + "</a></li>";
    };
  };
  cases.push_back({"relative", Page("<ul class=\"list\">", 5, li("thread-#.html")),
                   "http://bbs.example/sub/forum-2.html", Urls("http://bbs.example/sub/thread-#.html", five), 8});
  cases.push_back({"dot relative", Page("<ul class=\"list\">", 5, li("./a/#.html")), "http://x.example/b/list.html",
                   Urls("http://x.example/b/a/#.html", five), 8});
  cases.push_back({"parent relative", Page("<ul class=\"list\">", 5, li("../../a/#.html")),
                   "http://x.example/b/c/d/list.html", Urls("http://x.example/b/a/#.html", five), 8});
  cases.push_back({"root relative", Page("<ul class=\"list\">", 5, li("/news/#.html")), "https://x.example/b/list",
                   Urls("https://x.example/news/#.html", five), 8});
  cases.push_back({"scheme relative", Page("<ul class=\"list\">", 5, li("//cdn.example.com/n/#.html")),
                   "https://x.example/", Urls("https://cdn.example.com/n/#.html", five), 8});
  cases.push_back({"ampersands", Page("<ul class=\"list\">", 5, li("viewthread.php?tid=#&amp;extra=page%3D1")),
                   "http://bbs.example/", Urls("http://bbs.example/viewthread.php?tid=#&extra=page%3D1", five), 8});
  cases.push_back({"unquoted upper case", Page("<TABLE>", 5, [](int i) {
                     return "<TR><TD><A HREF=show.asp?id=" + N(i) + " TARGET=_blank>" + Title(i) + "</A></TD></TR>";
                   }, "</TABLE>"),
                   "http://old.example/news/", Urls("http://old.example/news/show.asp?id=#", five), 8});
  cases.push_back({"single quotes, attributes in any order", Page("<ul class='list'>", 5, [](int i) {
                     return "<li><a target='_blank' class='t' href='/p/" + N(i) + ".html' data-x='{\"a\":1}'>" +
                            Title(i) + "</a></li>";
                   }),
                   "http://x.example/", Urls("http://x.example/p/#.html", five), 8});
  cases.push_back({"one hit per article", Page("<table id=\"threads\">", 5, [](int i) {
                     const std::string t = "thread-" + N(i) + "-1-1.html";
                     return "<tr><td><a href=\"" + t + "\"><img src=\"new.gif\"></a></td><th><a href=\"" + t +
                            "\" class=\"xst\">" + Title(i) + "</a> <a href=\"thread-" + N(i) +
                            "-3-1.html\">3</a></th><td><a href=\"" + t + "\" class=\"num\">" + N(i * 7) +
                            "</a></td></tr>";
                   }, "</table>"),
                   "http://bbs.example/", Urls("http://bbs.example/thread-#-1-1.html", five), 8});
  cases.push_back({"markup in scripts and comments", Page(
                       "<script>var t='<ul class=\"list\"><li><a href=\"/n/900.html\">脚本里的标题很长很长</a></li>"
                       "<li><a href=\"/n/901.html\">脚本里的标题很长很长</a></li><li><a href=\"/n/902.html\">脚本里的标题"
                       "很长很长</a></li></ul>';</script><!-- <li><a href=\"/n/903.html\">注释里的标题很长很长</a></li>"
                       "<li><a href=\"/n/904.html\">注释里的标题很长很长</a></li><li><a href=\"/n/905.html\">注释里的</a>"
                       "</li> --><ul class=\"list\">",
                       5, li("/n/#.html")),
                   "http://x.example/", Urls("http://x.example/n/#.html", five), 8});
  cases.push_back({"ids past 32 bits", Page("<ul class=\"list\">", 5, li("/p/888888888#")), "https://x.example/",
                   Urls("https://x.example/p/888888888#", five), kNewestOnTop});
  cases.push_back({"oldest first", Page("<ol id=\"log\">", 5, [](int i) {
                     return "<li><a href=\"/c/" + std::string(1, static_cast<char>('f' - i)) + "-notes.html\">" +
                            Title(i) + "</a> 2024-0" + N(6 - i) + "-01</li>";
                   }, "</ol>"),
                   "https://x.example/", {"https://x.example/c/a-notes.html", "https://x.example/c/b-notes.html",
                                          "https://x.example/c/c-notes.html", "https://x.example/c/d-notes.html",
                                          "https://x.example/c/e-notes.html"},
                   kNewestAtBottom});
  {
    // Discuz: pinned threads, a separator, then the board's own threads.
    std::string rows;
    for (int t : {90, 91}) {
      rows += "<tbody id=\"stickthread_" + N(t) + "\"><tr><th><img src=\"pin_1.gif\"><a href=\"thread-" + N(t) +
              "-1-1.html\" class=\"s xst\">" + Title(t) + "</a></th></tr></tbody>";
    }
    rows += "<tbody id=\"separatorline\"><tr><th>版块主题</th></tr></tbody>";
    for (int t = 5; t >= 1; --t) {
      rows += "<tbody id=\"normalthread_" + N(t) + "\"><tr><th><a href=\"thread-" + N(t) + "-1-1.html\" class=\"s xst\">" +
              Title(t) + "</a></th></tr></tbody>";
    }
    cases.push_back({"pinned before the separator",
                     Utf8ToGbk("<html><body><table id=\"threadlisttableid\">" + rows + "</table></body></html>"),
                     "http://bbs.example/", Urls("http://bbs.example/thread-#-1-1.html", five), 8});
  }
  {
    // GBK characters whose second byte is "\" (0x5C) or "|" (0x7C): in the fixed part of the addresses and in
    // the titles.
    const std::string backslash = "\xB0\x5C";
    const std::string bar = "\xB0\x7C";
    std::string rows;
    for (int i = 5; i >= 1; --i) {
      rows += "<li><a href=\"/" + backslash + bar + "/" + N(i) + ".html\">" + backslash + Utf8ToGbk(Title(i)) + bar +
              "</a></li>";
    }
    Case c{"second bytes that are signs", "<html><body><ul class=\"list\">" + rows + "</ul></body></html>",
           "http://x.example/", {}, 8};
    for (int i = 5; i >= 1; --i) c.urls.push_back("http://x.example/" + backslash + bar + "/" + N(i) + ".html");
    cases.push_back(c);
  }
  return cases;
}

TEST(ProposeCases, BestCandidateCollectsTheList) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const Proposals p = ProposeSchemes(FlattenLines(c.page), c.address);
    ASSERT_EQ(p.outcome, Proposals::kFound);
    ASSERT_FALSE(p.candidates.empty());
    const propose::ProposedScheme& best = p.candidates.front();
    std::vector<std::string> urls;
    for (const propose::ProposedArticle& a : best.articles) {
      urls.push_back(a.url);
      EXPECT_EQ(a.title.find_first_of("<>"), std::string::npos) << a.title;
    }
    EXPECT_EQ(urls, c.urls) << best.regular;
    EXPECT_EQ(best.type, c.type) << best.regular;
    EXPECT_EQ(propose::FirstPassArticles(best, FlattenLines(c.page)), best.articles);
  }
}

TEST(ProposeCases, TitlesAsTheListShowsThem) {
  // A link that holds only a picture: its title attribute. A quote in a title stays.
  const std::string page = Page("<div class=\"grid\">", 4, [](int i) {
    return "<div class=\"cell\"><a href=\"/v/" + N(i) + "\" title=\"视频" + N(i) + "：It's &quot;good&quot;\"><img src=\"" +
           N(i) + ".jpg\"></a></div>";
  }, "</div>");
  const Proposals p = ProposeSchemes(page, "http://x.example/");
  ASSERT_FALSE(p.candidates.empty());
  EXPECT_EQ(p.candidates.front().articles.front().title, Utf8ToGbk("视频4：It's &quot;good&quot;"));

  // A link around a label and the title: the title, not the label.
  const std::string labelled = Page("<ul class=\"list\">", 4, [](int i) {
    return "<li><a href=\"/a/" + N(i) + ".html\"><span class=\"tag\">头条</span>" + Title(i) + "</a></li>";
  });
  const Proposals q = ProposeSchemes(labelled, "http://x.example/");
  ASSERT_FALSE(q.candidates.empty());
  EXPECT_EQ(q.candidates.front().articles.front().title, Utf8ToGbk(Title(4)));
}

TEST(ProposeCases, PagesWithoutAList) {
  EXPECT_EQ(ProposeSchemes("", "http://x.example/").outcome, Proposals::kEmptyPage);
  EXPECT_EQ(ProposeSchemes("<html><body><p>Nothing to see</p><a href=\"/a\">one</a> <a href=\"/b\">two</a></body></html>",
                           "http://x.example/")
                .outcome,
            Proposals::kNothingRepeats);
  std::string deep = "<html><body>";
  for (int i = 0; i < 6000; ++i) deep += "<div>";
  EXPECT_EQ(ProposeSchemes(deep, "http://x.example/").outcome, Proposals::kTooDeep);
  // Binary junk is no list either.
  std::string junk(4096, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 131) % 256);
  EXPECT_NE(ProposeSchemes(junk, "http://x.example/").outcome, Proposals::kFound);
}

TEST(ProposeCases, LongOneLinePage) {
  // Several MiB on one line: a list of 3,000 rows among as much again of other markup.
  std::string page = "<!doctype html><html><body><div id=app><main class=feed>";
  for (int i = 3000; i >= 1; --i) {
    page += "<div class=card><a href=\"/item/" + N(100000 + i) + "\" class=card-link><h3>" + Utf8ToGbk(Title(i)) +
            "</h3></a><p>" + std::string(600, 'x') + "</p><a href=\"/u/" + N(i % 50) + "\">u</a></div>";
  }
  page += "</main></div></body></html>";
  ASSERT_GT(page.size(), 2u << 20);
  const Proposals p = ProposeSchemes(page, "https://x.example/");
  ASSERT_FALSE(p.candidates.empty());
  EXPECT_EQ(p.candidates.front().articles.size(), 3000u);
  EXPECT_EQ(p.candidates.front().articles.front().url, "https://x.example/item/103000");
}

}  // namespace
}  // namespace qw
