// Drives the URL splitting, cookie, request header and redirect functions with arbitrary bytes. The input is
// cut at the first two NUL bytes into a URL or header block, a cookie jar and a received cookie text (also
// used as extra header lines and as a Location value).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fetch/cookies.h"
#include "fetch/redirect.h"
#include "fetch/request_headers.h"
#include "fetch/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  auto next = [&input]() {
    const std::size_t cut = input.find('\0');
    std::string_view piece = input.substr(0, cut);
    input = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
    return piece;
  };
  const std::string_view first = next();
  const std::string_view jarText = next();
  const std::string_view fresh = input;

  const std::string host = qw::UrlHost(first);
  (void)qw::UrlPort(first);
  const std::string object = qw::UrlObject(first);
  (void)qw::UrlIsSecure(first);
  if (object.empty() || object.size() > first.size() + 1) __builtin_trap();
  // The host is cut from the lowered URL, so it has the URL's length at most.
  if (host.size() > first.size()) __builtin_trap();

  const std::string extracted = qw::ExtractSetCookies(first);
  std::string jar(jarText);
  const std::string merged = qw::MergeCookies(jar, fresh);
  if (merged != jar) __builtin_trap();
  for (const std::string_view item : {std::string_view(extracted), jarText, fresh})
    (void)qw::CookieName(item);

  // Whatever the texts hold, no line handed to the transport can carry a line break of its own.
  const qw::ComposedHeaders composed = qw::ComposeRequestHeaders(first, fresh, &jar);
  if (composed.agent.find_first_of("\r\n") != std::string::npos) __builtin_trap();
  for (const std::string& line : qw::WireHeaderLines(composed)) {
    if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
  }
  (void)qw::ResolveRedirect(first, fresh);
  (void)qw::HeaderValue(first, "Location");
  return 0;
}
