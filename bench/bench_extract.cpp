// The extraction pipeline against its floors: FlattenLines against copying the same bytes, MatchAll against a
// bare Boost search loop over the same region. Each at 64 KiB, 1 MiB and 16 MiB; bytes per second should stay
// flat as the size grows.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include <boost/regex.hpp>

#include "extract/pipeline.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace {

constexpr const char* kForumPattern = R"(<a href="thread-(\d+)-1-1\.html"[^>]*>([^<]+)</a>)";

// A GBK forum-list page of about `bytes` bytes with CR LF line ends, one thread link per row.
std::string ForumList(std::size_t bytes) {
  const std::string title = QW_GBK("关于本周版聚的时间和地点");
  const std::string user = QW_GBK("版主");
  std::string page;
  page.reserve(bytes + 512);
  for (int id = 100000; page.size() < bytes; ++id) {
    page += "<tbody id=\"normalthread_" + std::to_string(id) +
            "\">\r\n<tr>\r\n<td class=\"icn\"><img src=\"folder.gif\" />";
    page += "</td>\r\n<th class=\"common\">\r\n<a href=\"thread-" + std::to_string(id) +
            "-1-1.html\" onclick=\"atarget(this)\" class=\"s xst\">" + title + std::to_string(id % 97) +
            "</a>\r\n";
    page += "</th>\r\n<td class=\"by\"><cite><a href=\"space-uid-" + std::to_string(id % 5000) + ".html\">" +
            user + "</a></cite><em><span>2024-3-" + std::to_string(id % 28 + 1) +
            "</span></em></td>\r\n</tr>\r\n</tbody>\r\n";
  }
  page.resize(bytes);
  return page;
}

void Sizes(benchmark::internal::Benchmark* b) { b->Arg(64 << 10)->Arg(1 << 20)->Arg(4 << 20)->Arg(16 << 20); }

void BM_Memcpy(benchmark::State& state) {
  const std::string page = ForumList(static_cast<std::size_t>(state.range(0)));
  std::string copy(page.size(), '\0');
  for (auto _ : state) {
    std::memcpy(copy.data(), page.data(), page.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_Memcpy)->Apply(Sizes);

void BM_StringCopy(benchmark::State& state) {
  const std::string page = ForumList(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::string copy(page);
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_StringCopy)->Apply(Sizes);

void BM_FlattenLines(benchmark::State& state) {
  const std::string page = ForumList(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::string flat = qw::FlattenLines(page);
    benchmark::DoNotOptimize(flat.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_FlattenLines)->Apply(Sizes);

// Each instruction-set variant the processor runs (0 portable, 1 SSE2, 2 AVX2, 3 AVX-512BW, 4 AVX-512 VBMI2)
// on the 4 MiB page.
void BM_FlattenLinesLevel(benchmark::State& state) {
  const std::string page = ForumList(4 << 20);
  const auto level = static_cast<qw::SimdLevel>(state.range(0));
  if (level > qw::BestSimdLevel()) {
    state.SkipWithError("the processor lacks this level");
    return;
  }
  for (auto _ : state) {
    std::string flat = qw::FlattenLines(page, level);
    benchmark::DoNotOptimize(flat.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_FlattenLinesLevel)->DenseRange(0, 4);

void BM_ReplaceAllCrLf(benchmark::State& state) {
  const std::string page = ForumList(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::string flat = qw::ReplaceAll(page, "\r\n", "", true);
    benchmark::DoNotOptimize(flat.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_ReplaceAllCrLf)->Apply(Sizes);

// The floor for MatchAll: compile, then search over const char* ranges, resuming after each hit, touching
// nothing but the match results.
void BM_BareRegexSearch(benchmark::State& state) {
  const std::string region = qw::FlattenLines(ForumList(static_cast<std::size_t>(state.range(0))));
  std::size_t hits = 0;
  for (auto _ : state) {
    const boost::regex re(kForumPattern, boost::regex::perl | boost::regex::icase);
    const char* const begin = region.data();
    const char* const end = begin + region.size();
    const char* from = begin;
    boost::match_flag_type flags = boost::match_default | boost::match_single_line;
    boost::cmatch m;
    hits = 0;
    while (boost::regex_search(from, end, m, re, flags, begin)) {
      ++hits;
      benchmark::DoNotOptimize(m[2].second);
      if (m[0].first == m[0].second) break;
      from = m[0].second;
      flags |= boost::match_prev_avail;
    }
  }
  state.counters["hits"] = static_cast<double>(hits);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * region.size()));
}
BENCHMARK(BM_BareRegexSearch)->Apply(Sizes);

void BM_MatchAll(benchmark::State& state) {
  const std::string region = qw::FlattenLines(ForumList(static_cast<std::size_t>(state.range(0))));
  std::size_t hits = 0;
  for (auto _ : state) {
    const std::vector<qw::Hit> found = qw::MatchAll(kForumPattern, region);
    hits = found.size();
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["hits"] = static_cast<double>(hits);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * region.size()));
}
BENCHMARK(BM_MatchAll)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
