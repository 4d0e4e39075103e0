#include "fetch/url.h"

#include "text/gbk_text.h"

namespace qw {
namespace {

// The text between the scheme prefix and the next "/", lowered. Without "https://" in front, the host starts
// after the first "http://" anywhere in the URL, so a scheme-less URL that carries "http://" in its query is
// split at that inner prefix; a URL without any prefix is taken as http.
std::string HostAndPort(std::string_view url) {
  std::string t = Lower(url);
  if (t.empty() || t.back() != '/') t += '/';
  if (Left(t, 8) == "https://") return CutRegion(t, "https://", "/");
  if (Find(t, "http://") == kNotFound) t.insert(0, "http://");
  return CutRegion(t, "http://", "/");
}

}  // namespace

std::string UrlHost(std::string_view url) {
  std::string hostAndPort = HostAndPort(url);
  const Pos colon = Find(hostAndPort, ":");
  if (colon == kNotFound) return hostAndPort;
  return Left(hostAndPort, colon - 1);
}

std::int32_t UrlPort(std::string_view url) {
  const std::string hostAndPort = HostAndPort(url);
  const Pos colon = FindLast(hostAndPort, ":");
  if (colon == kNotFound) return Left(Lower(url), 5) == "https" ? 443 : 80;
  return ToInteger(std::string_view(hostAndPort).substr(static_cast<std::size_t>(colon)));
}

std::string UrlObject(std::string_view url) {
  const std::string host = UrlHost(url);
  const Pos hostAt = Find(url, host, 1, true);
  const Pos slash = Find(url, "/", hostAt, true);
  if (slash == kNotFound) return "/";
  return std::string(url.substr(static_cast<std::size_t>(slash - 1)));
}

bool UrlIsSecure(std::string_view url) { return Lower(Left(url, 8)) == "https://"; }

}  // namespace qw
