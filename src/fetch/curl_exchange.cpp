#include "fetch/curl_exchange.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "fetch/url.h"
#include "text/encoding.h"

namespace qw {
namespace {

using Clock = std::chrono::steady_clock;

// A header block longer than this is never used, so no more of it is kept.
constexpr std::size_t kHeaderKeepLimit = 4999;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyFree {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiFree {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// State the transfer callbacks write into.
struct Transfer {
  CURL* easy = nullptr;
  ExchangeResult* result = nullptr;
  std::size_t maxBody = 0;
  // HEAD with a request body goes out as a POST renamed HEAD, so libcurl would wait for a response body that
  // never comes; the transfer ends at the end of the final header block instead.
  bool endAfterHeaders = false;
  bool interimResponse = false;
  // The empty line of the final (not 1xx) response has been read: the block is complete.
  bool finalBlockEnded = false;
  bool headersEnded = false;
  Clock::time_point lastByte;
};

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  transfer.lastByte = Clock::now();
  // libcurl hands the trailer lines of a chunked body here too, after the body; they are no part of the
  // block.
  if (transfer.finalBlockEnded) return size * count;
  std::string_view line(data, size * count);
  ExchangeResult& result = *transfer.result;
  // A status line starts a new response (an interim 1xx answer is replaced by the one after it).
  if (line.starts_with("HTTP/")) {
    result.headers.clear();
    result.headersTooLong = false;
    const std::size_t space = line.find(' ');
    transfer.interimResponse = space != std::string_view::npos && line.substr(space + 1).starts_with("1");
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (!result.headersTooLong && result.headers.size() + line.size() + 2 > kHeaderKeepLimit) {
    result.headersTooLong = true;
    result.headers.clear();
  }
  if (!result.headersTooLong) {
    // libcurl ends a line at a bare LF; a bare CR inside a line must not reach any later request either.
    const std::size_t at = result.headers.size();
    result.headers += line;
    std::replace(result.headers.begin() + static_cast<std::ptrdiff_t>(at), result.headers.end(), '\r', ' ');
    result.headers += "\r\n";
  }
  if (line.empty() && !transfer.interimResponse) {
    transfer.finalBlockEnded = true;
    if (transfer.endAfterHeaders) {
      transfer.headersEnded = true;
      return 0;
    }
  }
  return size * count;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  transfer.lastByte = Clock::now();
  std::string& body = transfer.result->body;
  const std::size_t length = size * count;
  if (body.capacity() == 0) {
    // Reserving from Content-Length spares the copies of a growing buffer for large pages.
    curl_off_t announced = -1;
    if (curl_easy_getinfo(transfer.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
        announced > 0) {
      body.reserve(std::min<std::size_t>(static_cast<std::size_t>(announced), transfer.maxBody));
    }
  }
  const std::size_t room = transfer.maxBody - std::min(transfer.maxBody, body.size());
  const std::size_t take = std::min(room, length);
  body.append(data, take);
  return take;  // a short count makes libcurl end the transfer with what the body holds
}

long Milliseconds(Clock::duration d) {
  return static_cast<long>(
      std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(d).count()));
}

// Host names with bytes a URL parser would read as structure (a query written right after the host, a space,
// GBK bytes) cannot be looked up; such a request fails as a failed name lookup would.
bool IsPlainHost(std::string_view host) {
  if (host.empty()) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
  });
}

// Why a transfer that received no response failed, as the user reads it in a scheme's state.
std::string TransportError(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return QW_GBK("无法解析域名");
    case CURLE_COULDNT_CONNECT:
      return QW_GBK("无法连接服务器");
    case CURLE_OPERATION_TIMEDOUT:
      return QW_GBK("连接超时");
    case CURLE_PEER_FAILED_VERIFICATION:
      return QW_GBK("网站证书无效");
    case CURLE_SSL_CONNECT_ERROR:
      return QW_GBK("安全连接失败");
    case CURLE_GOT_NOTHING:
      return QW_GBK("服务器未返回任何内容");
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return QW_GBK("连接中断");
    default:
      return QW_GBK("请求失败：") + curl_easy_strerror(code);
  }
}

}  // namespace

ExchangeResult RunExchange(const ExchangeRequest& request, const FetchLimits& limits,
                           Clock::time_point deadline, std::stop_token stop) {
  InitCurlOnce();
  ExchangeResult result;
  // A stopped fetch sends nothing: not even a name look-up or a connection starts.
  if (stop.stop_requested()) {
    result.outcome = ExchangeResult::Outcome::kAborted;
    return result;
  }
  std::unique_ptr<CURL, EasyFree> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiFree> multi(curl_multi_init());
  result.error = QW_GBK("无法发起请求");
  if (!easy || !multi) return result;

  std::unique_ptr<curl_slist, ListFree> headers;
  for (const std::string& line : request.headerLines) {
    curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
    if (grown == nullptr) return result;
    headers.release();
    headers.reset(grown);
  }
  // Lines libcurl would add by default but HTTP/1.1 does not require; when the block carries a line of that
  // name, that line is sent instead.
  for (const char* removal : {"Accept:", "Expect:", "Content-Type:", "Proxy-Connection:"}) {
    curl_slist* grown = curl_slist_append(headers.get(), removal);
    if (grown == nullptr) return result;
    headers.release();
    headers.reset(grown);
  }
  result.outcome = ExchangeResult::Outcome::kCompleted;

  const std::string host = UrlHost(request.url);
  const bool secure = UrlIsSecure(request.url);
  std::int32_t port = UrlPort(request.url);
  // A port text without digits gives 0, which stands for the default port of the connection's scheme.
  if (port == 0) port = secure ? 443 : 80;
  if (!IsPlainHost(host) || port < 0 || port > 65535) {
    result.error = QW_GBK("网址无效");
    return result;
  }
  std::string target = UrlObject(request.url);
  if (!request.proxy.empty() && !secure) {
    // A proxy that does not tunnel is asked for the absolute URL.
    std::string origin = "http://" + host;
    if (port != 80) {
      origin += ':';
      origin += std::to_string(port);
    }
    target.insert(0, origin);
  }
  const std::string curlUrl = (secure ? "https://" : "http://") + host + ":" + std::to_string(port) + "/";
  const std::string proxy = request.proxy.empty() || request.proxy.find("://") != std::string::npos
                                ? request.proxy
                                : "http://" + request.proxy;

  Transfer transfer;
  transfer.easy = easy.get();
  transfer.result = &result;
  transfer.maxBody = limits.maxBodyBytes;
  transfer.lastByte = Clock::now();

  CURL* e = easy.get();
  curl_easy_setopt(e, CURLOPT_URL, curlUrl.c_str());
  curl_easy_setopt(e, CURLOPT_REQUEST_TARGET, target.c_str());
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  // An empty proxy text switches the environment's proxy variables off; NOPROXY "" keeps no_proxy from
  // bypassing a proxy that was passed.
  curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(e, CURLOPT_NOPROXY, "");
  // The proxy's answer to the CONNECT of a secure URL is not the page's response; only the latter reaches
  // the header callback, whose block ends with the first final response.
  curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer);
  if (!limits.caFile.empty()) curl_easy_setopt(e, CURLOPT_CAINFO, limits.caFile.c_str());

  const auto now = Clock::now();
  const long left = std::max(1L, Milliseconds(deadline - now));
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                   std::max(1L, std::min(left, Milliseconds(limits.connectTimeout))));
  curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, left);

  const std::string_view verb = request.verb;
  if (verb == "HEAD") {
    if (request.sendBody) {
      transfer.endAfterHeaders = true;
    } else {
      curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    }
  }
  if (request.sendBody) {
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, request.body.empty() ? "" : request.body.data());
  }
  if (verb != "GET") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.verb);

  if (curl_multi_add_handle(multi.get(), e) != CURLM_OK) return result;
  result.error.clear();
  bool aborted = false;
  {
    // A stop request wakes the wait below at once.
    std::stop_callback wake(stop, [m = multi.get()] { curl_multi_wakeup(m); });
    int running = 1;
    while (true) {
      // The token is looked at before each step, as a step may start the look-up or the connection.
      if (stop.stop_requested()) {
        aborted = true;
        break;
      }
      if (curl_multi_perform(multi.get(), &running) != CURLM_OK || running == 0) break;
      const auto moment = Clock::now();
      const auto stallEnd = transfer.lastByte + limits.stallTimeout;
      if (stop.stop_requested() || moment >= stallEnd || moment >= deadline) {
        aborted = true;
        break;
      }
      const long wait = std::max(1L, Milliseconds(std::min(stallEnd, deadline) - moment));
      curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(std::min(wait, 1000L)), nullptr);
    }
  }
  CURLcode code = CURLE_OK;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
    if (message->msg == CURLMSG_DONE) code = message->data.result;
  }
  curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &result.status);
  curl_multi_remove_handle(multi.get(), e);

  // The transport's own time-out counts like ours; any other failure keeps what arrived, as a broken
  // connection does.
  if (transfer.headersEnded) {
    result.body.clear();
  } else if (aborted || code == CURLE_OPERATION_TIMEDOUT) {
    result.outcome = ExchangeResult::Outcome::kAborted;
    curl_off_t connected = 0;
    curl_easy_getinfo(e, CURLINFO_CONNECT_TIME_T, &connected);
    result.error = stop.stop_requested() ? QW_GBK("已停止")
                   : connected == 0      ? QW_GBK("连接超时")
                                         : QW_GBK("响应超时");
  } else if (code != CURLE_OK && result.status == 0) {
    result.error = TransportError(code);
  }
  return result;
}

}  // namespace qw
