#include "fetch/http_fetcher.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "fetch/cookies.h"
#include "fetch/curl_exchange.h"
#include "fetch/redirect.h"
#include "fetch/request_headers.h"
#include "fetch/url.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

// What responseHeaders holds when no header block arrived or it was too long to accept.
constexpr std::size_t kNoHeaderBlock = 5000;

const char* Verb(int method) {
  switch (method) {
    case 1:
      return "POST";
    case 2:
      return "HEAD";
    default:
      return "GET";
  }
}

// The lines of a header block as the exchange received them one by one: it ends each with "\r\n" and leaves
// no CR inside one, so the block is cut at every "\r\n" byte for byte. A search by GBK characters would let a
// raw UTF-8 value ending in an odd run of high bytes take the CR of its line end for a second byte.
std::vector<std::string_view> BlockLines(std::string_view block) {
  std::vector<std::string_view> lines;
  while (!block.empty()) {
    const std::size_t end = block.find("\r\n");
    lines.push_back(block.substr(0, end));
    if (end == std::string_view::npos) break;
    block.remove_prefix(end + 2);
  }
  return lines;
}

}  // namespace

std::string FetchPage(const FetchRequest& request, FetchReply* reply, const FetchLimits& limits,
                      std::stop_token stop) {
  const auto deadline = std::chrono::steady_clock::now() + limits.totalTimeout;
  int method = request.method < 0 || request.method > 2 ? 0 : request.method;
  std::string body = request.postBytes.empty() ? request.postText : request.postBytes;

  ExchangeRequest hop;
  hop.url = request.url;
  hop.headerLines = WireHeaderLines(ComposeRequestHeaders(request.url, request.extraHeaders, request.cookie));
  hop.proxy = request.proxy;
  const std::string firstHost = UrlHost(request.url);

  ExchangeResult result;
  for (int redirects = 0;; ++redirects) {
    hop.verb = Verb(method);
    hop.sendBody = method == 1 || (method == 2 && !body.empty());
    hop.body = hop.sendBody ? std::string_view(body) : std::string_view();
    result = RunExchange(hop, limits, deadline, stop);
    if (result.outcome != ExchangeResult::Outcome::kCompleted) break;
    if (request.noRedirect || !IsRedirectStatus(result.status)) break;
    if (redirects >= limits.maxRedirects) {
      result.error = QW_GBK("重定向次数过多");
      break;
    }
    const std::string next = ResolveRedirect(hop.url, HeaderValue(result.headers, "Location"));
    if (next.empty()) break;
    if (UrlIsSecure(hop.url) && !UrlIsSecure(next)) {
      // Leaving TLS is never done silently: the page counts as not received.
      result.body.clear();
      result.error = QW_GBK("拒绝从 https 网址跳转到 http 网址");
      break;
    }
    // Browsers turn a POST into a GET after 301 and 302, and everything but HEAD after 303.
    if ((result.status == 303 && method != 2) ||
        ((result.status == 301 || result.status == 302) && method == 1)) {
      method = 0;
      body.clear();
    }
    if (UrlHost(next) != firstHost) {
      // The cookie belongs to the site it was given for.
      std::erase_if(hop.headerLines, [](const std::string& line) { return IsHeaderNamed(line, "Cookie"); });
    }
    hop.url = next;
  }

  if (reply != nullptr) {
    reply->outcome.status = result.status;
    reply->outcome.error = result.error;
    reply->outcome.retryAfter = HeaderValue(result.headers, "Retry-After");
  }
  if (result.outcome == ExchangeResult::Outcome::kSetupFailed) return {};
  if (result.outcome == ExchangeResult::Outcome::kAborted) result.body.clear();

  std::string headers = result.headers.empty() || result.headersTooLong
                            ? std::string(kNoHeaderBlock, ' ')
                            : ReplaceAll(result.headers, "Set-Cookie", "Set-Cookie", false);
  std::string cookies = CollectSetCookies(BlockLines(headers));
  if (request.cookie != nullptr) cookies = MergeCookies(*request.cookie, cookies);
  if (reply != nullptr) {
    reply->responseHeaders = std::move(headers);
    reply->returnedCookies = std::move(cookies);
  }
  return std::move(result.body);
}

std::string FetchPageText(std::string_view url, std::string& cookie, std::string_view ua,
                          std::string_view code, const FetchLimits& limits, std::stop_token stop,
                          FetchOutcome* outcome) {
  FetchRequest request;
  request.url = url;
  request.cookie = &cookie;
  request.extraHeaders = "User-Agent: " + std::string(ua);
  FetchReply reply;
  std::string body = FetchPage(request, &reply, limits, std::move(stop));
  if (outcome != nullptr) *outcome = std::move(reply.outcome);
  return DecodePageText(std::move(body), code);
}

std::string DecodePageText(std::string body, std::string_view code) {
  if (code != "1") return Utf8ToGbk(body);
  body.resize(std::min(body.size(), body.find('\0')));
  return body;
}

}  // namespace qw
