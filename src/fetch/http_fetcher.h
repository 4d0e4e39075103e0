#pragma once
// The program's only HTTP client, over libcurl.
//
// FetchPage sends one request with the program's fixed header set and returns the body bytes undecoded;
// FetchPageText fetches a scheme's list page and decodes it to GBK text.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace qw {

inline constexpr std::string_view kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// Limits that keep a dead, silent or endless server from holding a thread or exhausting memory. All held
// here; tests pass short values.
struct FetchLimits {
  std::chrono::milliseconds connectTimeout{15'000};
  // No byte received for this long ends the fetch.
  std::chrono::milliseconds stallTimeout{30'000};
  // Ceiling for the whole exchange, redirects included.
  std::chrono::milliseconds totalTimeout{120'000};
  // Past this many body bytes the fetch ends with what was read.
  std::size_t maxBodyBytes = 64u << 20;
  int maxRedirects = 10;
  // PEM file of the certificate authorities to trust; empty uses the system store. Tests point it at their
  // own CA.
  std::string caFile;
};

// One request. Texts are GBK bytes and go on the wire as they are.
struct FetchRequest {
  std::string url;
  // 0 GET, 1 POST, 2 HEAD; any other value counts as 0.
  int method = 0;
  std::string postText;
  // Cookie text to send; when set it is replaced after the call by the merged cookie text (even when empty).
  std::string* cookie = nullptr;
  // Header lines separated by "\r\n", completed with the default lines.
  std::string extraHeaders;
  bool noRedirect = false;
  // Request body for POST and HEAD; takes precedence over postText.
  std::string postBytes;
  // Proxy server as "host:port"; empty for a direct connection.
  std::string proxy;
};

// How a fetch ended, for the callers that report it.
struct FetchOutcome {
  // The status of the final response; 0 when none arrived.
  long status = 0;
  // Why no usable response arrived (name lookup, connection, time-out, certificate, a refused redirect), in
  // GBK; empty when one did, whatever its status.
  std::string error;
  // The final response's Retry-After value as sent; empty without one.
  std::string retryAfter;
};

// What a fetch hands back beside the body. The headers and cookies stay unset when the request could not be
// set up.
struct FetchReply {
  std::optional<std::string> responseHeaders;
  std::optional<std::string> returnedCookies;
  FetchOutcome outcome;
};

// The header block FetchPage sends after the User-Agent line, in order, and the agent it chose.
struct ComposedHeaders {
  std::string agent;
  std::string block;
};
ComposedHeaders ComposeRequestHeaders(std::string_view url, std::string_view extraHeaders,
                                      const std::string* cookie);

std::string FetchPage(const FetchRequest& request, FetchReply* reply = nullptr,
                      const FetchLimits& limits = {}, std::stop_token stop = {});

// A page body as a scheme with this code reads it: "1" GBK as it is (up to a NUL byte), anything else UTF-8
// converted to GBK.
std::string DecodePageText(std::string body, std::string_view code);

// Fetches a scheme's page with its agent and cookie; the merged cookie replaces cookie. code "1" means the
// page is GBK already, anything else UTF-8. Returns "" when nothing was received; outcome, when given,
// receives how the fetch ended.
std::string FetchPageText(std::string_view url, std::string& cookie, std::string_view ua,
                          std::string_view code, const FetchLimits& limits = {}, std::stop_token stop = {},
                          FetchOutcome* outcome = nullptr);

}  // namespace qw
