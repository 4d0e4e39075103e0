// FetchPageText against a bare libcurl loop on the same local page, and the peak memory of a large fetch.
//
// The speed figure: 200 sequential fetches of a 100 KiB page, once through FetchPageText and once through a
// bare curl_easy_perform loop that, like FetchPage, creates a fresh easy handle for every fetch. Both run
// interleaved in the same process against the same server; the ratio of their wall times is printed before
// the Google Benchmark runs of the same two loops.
//
// The memory figure: a child process fetches a 30 MiB body and reports how far its peak resident size
// (ru_maxrss) grew over the value it had just before the fetch.

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "fetch/http_fetcher.h"
#include "support/http_test_server.h"

namespace {

using qw::test::HttpTestServer;
using qw::test::ReceivedRequest;
using qw::test::ResponseStream;

constexpr int kFetches = 200;
const std::string kPage = qw::test::MakeResponse(200, std::string(100 * 1024, 'p'));

HttpTestServer& PageServer() {
  static HttpTestServer server([](const ReceivedRequest&) { return kPage; });
  return server;
}

std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

std::size_t FetchWithFetchPageText(const std::string& url) {
  std::size_t bytes = 0;
  for (int i = 0; i < kFetches; ++i) {
    std::string cookie;
    bytes += qw::FetchPageText(url, cookie, "bench", "1").size();
  }
  return bytes;
}

std::size_t FetchWithBareCurl(const std::string& url) {
  std::size_t bytes = 0;
  for (int i = 0; i < kFetches; ++i) {
    std::string body;
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    bytes += body.size();
  }
  return bytes;
}

void BM_FetchPageText200(benchmark::State& state) {
  const std::string url = PageServer().Url("/page");
  for (auto _ : state) benchmark::DoNotOptimize(FetchWithFetchPageText(url));
}
BENCHMARK(BM_FetchPageText200)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BareCurl200(benchmark::State& state) {
  const std::string url = PageServer().Url("/page");
  for (auto _ : state) benchmark::DoNotOptimize(FetchWithBareCurl(url));
}
BENCHMARK(BM_BareCurl200)->Unit(benchmark::kMillisecond)->Iterations(3);

double Seconds(std::size_t (*loop)(const std::string&), const std::string& url) {
  const auto start = std::chrono::steady_clock::now();
  const std::size_t bytes = loop(url);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (bytes != static_cast<std::size_t>(kFetches) * 100 * 1024)
    std::printf("  (short read: %zu bytes)\n", bytes);
  return seconds;
}

void ReportSpeedRatio() {
  const std::string url = PageServer().Url("/page");
  FetchWithBareCurl(url);  // warm-up: libraries loaded, server threads started
  double fetcher = 0;
  double bare = 0;
  for (int round = 0; round < 5; ++round) {
    fetcher += Seconds(&FetchWithFetchPageText, url);
    bare += Seconds(&FetchWithBareCurl, url);
  }
  std::printf(
      "speed: 5 rounds x %d fetches of 100 KiB: FetchPageText %.3f s, bare libcurl (fresh handle each) "
      "%.3f s, ratio %.3f (goal <= 1.15)\n",
      kFetches, fetcher, bare, fetcher / bare);
}

// Peak resident growth in KiB of a child that fetches the url once.
long PeakGrowthKib(const std::string& url, bool asText) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    std::string cookie;
    (void)qw::FetchPageText(url + "?warm", cookie, "bench", "1");  // libraries and buffers set up
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    qw::FetchLimits limits;
    limits.maxBodyBytes = 64u << 20;
    qw::FetchRequest request;
    request.url = url;
    const std::size_t size = asText ? qw::FetchPageText(url, cookie, "bench", "0", limits).size()
                                    : qw::FetchPage(request, nullptr, limits).size();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    const long growth = size == (30u << 20) ? after.ru_maxrss - before.ru_maxrss : -2;
    (void)!::write(pipeFds[1], &growth, sizeof growth);
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  long growth = -1;
  (void)!::read(pipeFds[0], &growth, sizeof growth);
  ::close(pipeFds[0]);
  ::waitpid(child, nullptr, 0);
  return growth;
}

void ReportPeakMemory() {
  // The server streams the body from one small block, so its own memory stays out of the child's figure.
  HttpTestServer big([](const ReceivedRequest& request, ResponseStream& out) {
    const bool announce = request.raw.find("/sized") != std::string::npos;
    const bool warm = request.raw.find("?warm") != std::string::npos;
    const std::size_t total = warm ? 1024 : 30u << 20;
    std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
    if (announce) head += "Content-Length: " + std::to_string(total) + "\r\n";
    if (!out.Send(head + "\r\n")) return;
    const std::string block(64 * 1024, 'm');
    for (std::size_t sent = 0; sent < total; sent += block.size()) {
      if (!out.Send(std::string_view(block).substr(0, std::min(block.size(), total - sent)))) return;
    }
  });
  const double mib = 30.0 * 1024;
  for (const auto& [path, text, label] :
       {std::tuple{"/sized", false, "FetchPage, Content-Length"},
        std::tuple{"/unsized", false, "FetchPage, no length"},
        std::tuple{"/sized", true, "FetchPageText (UTF-8 to GBK), Content-Length"}}) {
    const long growth = PeakGrowthKib(big.Url(path), text);
    std::printf("memory: %s: peak RSS grew %ld KiB for a 30 MiB body = %.2fx (goal < 3x)\n", label, growth,
                growth / mib);
  }
}

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  ReportPeakMemory();
  ReportSpeedRatio();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
