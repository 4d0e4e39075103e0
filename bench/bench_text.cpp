// Text core throughput on a generated GBK forum page, each operation next to the plain library call that
// bounds it: Find of an absent marker vs memmem, CutRegion over the page vs memcpy of the same bytes,
// Utf8ToGbk vs one bare iconv call. Bytes per second should stay flat across sizes (linear work).
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "extract/pipeline.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace {

// The markers a scheme would use: the list table opens near the start of the page and closes near its end.
constexpr std::string_view kListStart = "<table id=\"threadlist\" class=\"tl\">";
constexpr std::string_view kListEnd = "</table><!-- /threadlist -->";
// A marker the page does not hold (a page layout changed under its scheme).
constexpr std::string_view kAbsent = "<div class=\"pages_btns\">";

const char* const kTitles[] = {
    "【公告】本版版规及发帖须知（2026年修订）",
    "今天的天气真不错，大家周末去哪里玩？",
    "求助：电脑开机后黑屏，风扇一直转",
    "[原创] 江南水乡游记 —— 乌镇、西塘两日行",
    "关于房价的一点看法，欢迎讨论",
    "新手报到，请多关照！",
    "转载：深度解析新能源汽车电池技术",
    "二手闲置：九成新笔记本出售 ￥3500",
    "【活动】第十二届摄影大赛作品征集",
    "讨论一下最近热播的电视剧《山海情》",
};
const char* const kAuthors[] = {"版主小王", "cloud_walker", "老张123", "匿名用户", "天涯过客"};

// The UTF-8 page of about `size` UTF-8 bytes: a head, a table of thread rows with CR LF line ends, a footer.
std::string MakeUtf8Page(std::size_t size) {
  const std::string footer = std::string(kListEnd) +
                             "\r\n<div class=\"footer\">版权所有 © 2026 某某论坛 Powered by Forum</div>\r\n"
                             "</body></html>\r\n";
  std::string page =
      "<!DOCTYPE html>\r\n<html><head><meta charset=\"gbk\"><title>社区论坛 - 综合讨论区</title></head>\r\n"
      "<body><div class=\"nav\"><a href=\"/\">首页</a> &raquo; 综合讨论区</div>\r\n";
  page += kListStart;
  page += "\r\n";
  for (unsigned row = 0; page.size() + footer.size() < size; ++row) {
    page +=
        "<tr><td class=\"icon\"><img src=\"/images/folder_new.gif\"></td><td class=\"subject\">"
        "<a href=\"thread-";
    page += std::to_string(100000 + row * 7);
    page += "-1-1.html\" target=\"_blank\">";
    page += kTitles[row % std::size(kTitles)];
    page += "</a></td><td class=\"author\">";
    page += kAuthors[row % std::size(kAuthors)];
    page += "<br><em>2026-12-";
    page += std::to_string(1 + row % 28);
    page += "</em></td><td class=\"nums\">";
    page += std::to_string(row % 97) + "/" + std::to_string(row * 13 % 5000);
    page += "</td></tr>\r\n";
  }
  page += footer;
  return page;
}

struct Page {
  std::string utf8;
  std::string gbk;
};

// Pages are generated once per size, then shared by every benchmark of that size.
const Page& PageOf(std::size_t size) {
  static std::map<std::size_t, Page> pages;
  auto [it, fresh] = pages.try_emplace(size);
  if (fresh) {
    // GBK takes two bytes where UTF-8 takes three for Chinese: size the UTF-8 page so that its GBK form has
    // about the wanted size.
    const std::string probe = MakeUtf8Page(size);
    const double gbkPerUtf8 =
        static_cast<double>(qw::Utf8ToGbk(probe).size()) / static_cast<double>(probe.size());
    it->second.utf8 = MakeUtf8Page(static_cast<std::size_t>(static_cast<double>(size) / gbkPerUtf8));
    it->second.gbk = qw::Utf8ToGbk(it->second.utf8);
  }
  return it->second;
}

void SetUp(benchmark::State& state, std::size_t bytes, const char* label) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetLabel(label);
}

void BM_FindAbsent(benchmark::State& state) {
  const std::string& page = PageOf(state.range(0)).gbk;
  for (auto _ : state) benchmark::DoNotOptimize(qw::Find(page, kAbsent));
  SetUp(state, page.size(), "Find absent marker");
}

void BM_MemmemAbsent(benchmark::State& state) {
  const std::string& page = PageOf(state.range(0)).gbk;
  for (auto _ : state) {
    benchmark::DoNotOptimize(memmem(page.data(), page.size(), kAbsent.data(), kAbsent.size()));
  }
  SetUp(state, page.size(), "memmem absent marker (baseline)");
}

void BM_CutRegion(benchmark::State& state) {
  const std::string& page = PageOf(state.range(0)).gbk;
  std::size_t region = 0;
  for (auto _ : state) {
    std::string cut = qw::CutRegion(page, kListStart, kListEnd);
    region = cut.size();
    benchmark::DoNotOptimize(cut.data());
  }
  if (region + 4096 < page.size()) state.SkipWithError("the list markers did not frame the page");
  SetUp(state, page.size(), "CutRegion near start and end");
}

void BM_MemcpyRegion(benchmark::State& state) {
  const std::string& page = PageOf(state.range(0)).gbk;
  const std::size_t from = page.find(kListStart) + kListStart.size();
  const std::size_t length = page.find(kListEnd) - from;
  std::string out(length, '\0');
  for (auto _ : state) {
    std::memcpy(out.data(), page.data() + from, length);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  SetUp(state, page.size(), "memcpy of the region (baseline)");
}

void BM_FlattenLines(benchmark::State& state) {
  const std::string& page = PageOf(state.range(0)).gbk;
  for (auto _ : state) {
    std::string flat = qw::FlattenLines(page);
    benchmark::DoNotOptimize(flat.data());
  }
  SetUp(state, page.size(), "FlattenLines of the page");
}

// Each instruction-set variant the processor runs (0 portable, 1 SSE2, 2 AVX2, 3 AVX-512BW, 4 AVX-512 VBMI2)
// on the 4 MiB page.
void BM_FlattenLinesLevel(benchmark::State& state) {
  const std::string& page = PageOf(4 << 20).gbk;
  const auto level = static_cast<qw::SimdLevel>(state.range(0));
  if (level > qw::BestSimdLevel()) {
    state.SkipWithError("the processor lacks this level");
    return;
  }
  for (auto _ : state) {
    std::string flat = qw::FlattenLines(page, level);
    benchmark::DoNotOptimize(flat.data());
  }
  SetUp(state, page.size(), "FlattenLines of the page at one level");
}

void BM_MemcpyPage(benchmark::State& state) {
  const std::string& page = PageOf(state.range(0)).gbk;
  std::string out(page.size(), '\0');
  for (auto _ : state) {
    std::memcpy(out.data(), page.data(), page.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  SetUp(state, page.size(), "memcpy of the page (baseline)");
}

void BM_Utf8ToGbk(benchmark::State& state) {
  const Page& page = PageOf(state.range(0));
  for (auto _ : state) {
    std::string gbk = qw::Utf8ToGbk(page.utf8);
    benchmark::DoNotOptimize(gbk.data());
  }
  SetUp(state, page.utf8.size(), "Utf8ToGbk of the UTF-8 page");
}

void BM_IconvBare(benchmark::State& state) {
  const Page& page = PageOf(state.range(0));
  iconv_t cd = iconv_open("CP936", "UTF-8");
  std::string out(page.utf8.size(), '\0');
  for (auto _ : state) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(page.utf8.data());
    std::size_t inLeft = page.utf8.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    benchmark::DoNotOptimize(iconv(cd, &in, &inLeft, &to, &outLeft));
    benchmark::ClobberMemory();
  }
  iconv_close(cd);
  SetUp(state, page.utf8.size(), "one bare iconv call (baseline)");
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (std::int64_t size : {64 << 10, 1 << 20, 4 << 20, 16 << 20}) b->Arg(size);
}

// Each operation directly followed by its baseline, so the pairs run under the same conditions.
BENCHMARK(BM_FindAbsent)->Apply(Sizes);
BENCHMARK(BM_MemmemAbsent)->Apply(Sizes);
BENCHMARK(BM_CutRegion)->Apply(Sizes);
BENCHMARK(BM_MemcpyRegion)->Apply(Sizes);
BENCHMARK(BM_FlattenLines)->Apply(Sizes);
BENCHMARK(BM_MemcpyPage)->Apply(Sizes);
BENCHMARK(BM_FlattenLinesLevel)->DenseRange(0, 4);
BENCHMARK(BM_Utf8ToGbk)->Apply(Sizes);
BENCHMARK(BM_IconvBare)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
