#include "fetch/redirect.h"

#include <string>

#include "fetch/request_headers.h"
#include "fetch/url.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

std::string TrimTabsAndSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

// Removes "." and ".." segments from an absolute path (no query), as browsers do.
std::string RemoveDotSegments(std::string_view path) {
  std::string out;
  std::size_t at = 0;
  while (at < path.size()) {
    std::size_t end = path.find('/', at + 1);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view segment = path.substr(at, end - at);  // starts with "/"
    if (segment == "/.") {
      if (end == path.size()) out += '/';
    } else if (segment == "/..") {
      const std::size_t cut = out.rfind('/');
      out.resize(cut == std::string::npos ? 0 : cut);
      if (end == path.size()) out += '/';
    } else {
      out += segment;
    }
    at = end;
  }
  return out.empty() ? "/" : out;
}

}  // namespace

bool IsRedirectStatus(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string HeaderValue(std::string_view headerBlock, std::string_view name) {
  for (const std::string& line : Split(headerBlock, "\r\n")) {
    if (IsHeaderNamed(line, name))
      return TrimTabsAndSpaces(std::string_view(line).substr(line.find(':') + 1));
  }
  return {};
}

std::string ResolveRedirect(std::string_view base, std::string_view location) {
  const std::string target = TrimTabsAndSpaces(location);
  if (target.empty()) return {};
  const std::string lowered = Lower(target);
  if (lowered.starts_with("http://") || lowered.starts_with("https://")) return target;
  const std::size_t schemeEnd = target.find("://");
  if (schemeEnd != std::string::npos && target.find_first_of("/?#") > schemeEnd) return {};

  const bool secure = UrlIsSecure(base);
  const std::string scheme = secure ? "https://" : "http://";
  if (target.starts_with("//")) return scheme + target.substr(2);

  const std::int32_t port = UrlPort(base);
  std::string origin = scheme + UrlHost(base);
  if (port != (secure ? 443 : 80)) {
    origin += ':';
    origin += std::to_string(port);
  }
  if (target.starts_with("/")) {
    const std::size_t pathEnd = target.find_first_of("?#");
    return origin + RemoveDotSegments(std::string_view(target).substr(0, pathEnd)) +
           (pathEnd == std::string::npos ? "" : target.substr(pathEnd));
  }

  std::string basePath = UrlObject(base);
  basePath = basePath.substr(0, basePath.find('#'));
  if (target.starts_with("#")) return origin + basePath + target;
  basePath = basePath.substr(0, basePath.find('?'));
  if (target.starts_with("?")) return origin + basePath + target;
  const std::string directory = basePath.substr(0, basePath.rfind('/') + 1);
  const std::string joined = directory + target;
  const std::size_t pathEnd = joined.find_first_of("?#");
  return origin + RemoveDotSegments(std::string_view(joined).substr(0, pathEnd)) +
         (pathEnd == std::string::npos ? "" : joined.substr(pathEnd));
}

}  // namespace qw
