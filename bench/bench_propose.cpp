// Proposing schemes against its floor: ProposeSchemes over a page beside the bare MatchAll of the expression
// it proposes for that page. A 300 KB forum board (goal: 50 ms at most) and a 5 MiB single-page site written
// on one line (goal: 1 s at most).

#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>

#include "extract/pipeline.h"
#include "propose/propose.h"
#include "text/encoding.h"

namespace {

using qw::FlattenLines;
using qw::Utf8ToGbk;

// A GBK forum board of about `bytes` bytes, CR LF line ends flattened as the pass does: pinned threads, a
// separator and threads, each row with an icon link, the title, the author and the reply count; a menu, a
// column of hot threads and a script around it.
std::string ForumBoard(std::size_t bytes) {
  const std::string title = Utf8ToGbk("关于本周版聚的时间和地点的讨论");
  const std::string user = Utf8ToGbk("网友");
  std::string page = Utf8ToGbk(
      "<!DOCTYPE html><html><head><meta charset=\"gbk\"><title>灌水区</title><script>var tpl='<a href=\"thread-1-1-1.html\">"
      "x</a>';</script></head>\r\n<body><div id=\"hd\"><ul><li><a href=\"forum.php\">论坛</a></li><li><a href=\"home.php\">家园"
      "</a></li></ul></div>\r\n<div class=\"sd\"><ul class=\"hot\">");
  for (int i = 0; i < 10; ++i) page += "<li><a href=\"thread-" + std::to_string(900 + i) + "-1-1.html\">" + title + "</a></li>";
  page += "</ul></div>\r\n<table id=\"threadlisttableid\">\r\n";
  page += "<tbody id=\"stickthread_1\"><tr><th><img src=\"pin_1.gif\"><a href=\"thread-1-1-1.html\" class=\"s xst\">" + title +
          "</a></th></tr></tbody>\r\n<tbody id=\"separatorline\"><tr><th>-</th></tr></tbody>\r\n";
  const std::string end = "</table><div class=\"pg\"><a href=\"forum-2-2.html\">2</a></div></body></html>";
  for (int id = 900000; page.size() + end.size() + 600 < bytes; --id) {
    const std::string t = std::to_string(id);
    page += "<tbody id=\"normalthread_" + t + "\">\r\n<tr><td class=\"icn\"><a href=\"thread-" + t +
            "-1-1.html\" target=\"_blank\"><img src=\"folder_new.gif\" /></a></td>\r\n<th class=\"new\"><a href=\"thread-" + t +
            "-1-1.html\" onclick=\"atarget(this)\" class=\"s xst\">" + title + std::to_string(id % 97) +
            "</a></th>\r\n<td class=\"by\"><cite><a href=\"space-uid-" + std::to_string(id % 5000) + ".html\">" + user +
            "</a></cite><em><span>2024-3-" + std::to_string(id % 28 + 1) + "</span></em></td>\r\n<td class=\"num\"><a href=\"thread-" +
            t + "-1-1.html\" class=\"xi2\">" + std::to_string(id % 300) + "</a><em>" + std::to_string(id % 9000) +
            "</em></td></tr>\r\n</tbody>\r\n";
  }
  return FlattenLines(page + end);
}

// A single-page site rendered by its server, on one line: cards of an article list among as much other markup,
// and the state the scripts start from.
std::string OneLineSite(std::size_t bytes) {
  const std::string title = Utf8ToGbk("新的一周从这里开始：城市交通与天气");
  const std::string text = Utf8ToGbk("这是卡片上的一段摘要文字，介绍文章的主要内容，读者可以点开阅读全文。");
  std::string page = "<!DOCTYPE html><html lang=zh><head><meta charset=utf-8><title>feed</title></head><body><div id=app "
                     "data-server-rendered=true><header><nav><a href=/>home</a><a href=/hot>hot</a></nav></header><main class=feed>";
  std::string state = "<script>window.__STATE__={\"list\":[";
  const std::string end = "</main></div>";
  for (int id = 1000000; page.size() + state.size() + end.size() + 2000 < bytes; ++id) {
    const std::string t = std::to_string(id);
    page += "<div class=card data-v-5f1a><a href=\"/item/" + t + "\" class=card-link data-v-5f1a><h3 data-v-5f1a>" + title +
            "</h3><p data-v-5f1a>" + text + "</p></a><div class=meta data-v-5f1a><a href=\"/user/" + std::to_string(id % 700) +
            "\" data-v-5f1a>u" + std::to_string(id % 700) + "</a><span data-v-5f1a>" + std::to_string(id % 999) + "</span></div></div>";
    state += "{\"id\":" + t + ",\"html\":\"<a href=\\\"/item/" + t + "\\\">x</a>\"},";
  }
  return page + end + state + "{}]};</script></body></html>";
}

const std::string& Page(int which) {
  static const std::string board = ForumBoard(300'000);
  static const std::string site = OneLineSite(5u << 20);
  return which == 0 ? board : site;
}

const char* Address(int which) { return which == 0 ? "http://bbs.example.com/forum-2-1.html" : "https://feed.example.com/"; }

void BM_ProposeSchemes(benchmark::State& state) {
  const std::string& page = Page(static_cast<int>(state.range(0)));
  std::size_t articles = 0;
  for (auto _ : state) {
    const qw::propose::Proposals p = qw::propose::ProposeSchemes(page, Address(static_cast<int>(state.range(0))));
    if (p.candidates.empty()) throw std::runtime_error("no proposal");
    articles = p.candidates.front().articles.size();
    benchmark::DoNotOptimize(articles);
  }
  state.counters["articles"] = static_cast<double>(articles);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.SetLabel(std::to_string(page.size() / 1024) + " KiB");
}
BENCHMARK(BM_ProposeSchemes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The floor: the proposed expression alone over the whole page, as a pass runs it.
void BM_BareMatchAll(benchmark::State& state) {
  const std::string& page = Page(static_cast<int>(state.range(0)));
  const qw::propose::Proposals p = qw::propose::ProposeSchemes(page, Address(static_cast<int>(state.range(0))));
  if (p.candidates.empty()) throw std::runtime_error("no proposal");
  const std::string& expression = p.candidates.front().regular;
  for (auto _ : state) {
    const std::vector<qw::Hit> hits = qw::MatchAll(expression, page);
    benchmark::DoNotOptimize(hits.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.SetLabel(std::to_string(page.size() / 1024) + " KiB");
}
BENCHMARK(BM_BareMatchAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
