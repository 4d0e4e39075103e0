#include "fetch/request_headers.h"

#include "fetch/url.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

std::string TrimTabsAndSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace

ComposedHeaders ComposeRequestHeaders(std::string_view url, std::string_view extraHeaders,
                                      const std::string* cookie) {
  ComposedHeaders out;
  if (Find(extraHeaders, "User-Agent:", 1, true) == kNotFound) {
    out.agent = std::string(kDefaultAgent);
  } else {
    out.agent = Trim(CutRegion(std::string(extraHeaders) + "\r\n", "User-Agent:", "\r\n"));
    if (out.agent.empty()) {
      const Pos colon = Find(extraHeaders, ":");
      out.agent = Trim(extraHeaders.substr(static_cast<std::size_t>(colon)));
    }
    // The fallback above takes the rest of the whole block, which may run over further lines; an agent is one
    // header value, so it ends at the first line break.
    const std::size_t lineEnd = out.agent.find_first_of("\r\n");
    if (lineEnd != std::string::npos) out.agent = Trim(out.agent.substr(0, lineEnd));
  }

  std::string& block = out.block;
  block = extraHeaders;
  if (block.empty()) {
    block = "Accept: */*";
  } else if (Find(block, "Accept:") == kNotFound) {
    block += "\r\nAccept: */*";
  }
  if (Find(block, "Referer:") == kNotFound) {
    block += "\r\nReferer: ";
    block += url;
  }
  if (Find(block, "Accept-Language:") == kNotFound) block += "\r\nAccept-Language: zh-cn";
  if (Find(block, "Content-Type:") == kNotFound)
    block += "\r\nContent-Type: application/x-www-form-urlencoded";
  if (cookie != nullptr && !cookie->empty()) {
    // A cookie text holding "Cookie:" is made of whole header lines written by the caller.
    block += Find(*cookie, "Cookie:") != kNotFound ? "\r\n" : "\r\nCookie: ";
    block += *cookie;
  }
  return out;
}

bool IsHeaderNamed(std::string_view line, std::string_view name) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  return Lower(TrimTabsAndSpaces(line.substr(0, colon))) == Lower(name);
}

std::vector<std::string> WireHeaderLines(const ComposedHeaders& composed) {
  std::vector<std::string> lines;
  // libcurl sends "Name;" as a header with an empty value ("Name:" alone would remove the header).
  lines.push_back(composed.agent.empty() ? "User-Agent;" : "User-Agent: " + composed.agent);
  for (std::string line : Split(composed.block, "\r\n")) {
    for (char& c : line) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || IsBlank(line.substr(0, colon))) continue;
    if (IsHeaderNamed(line, "User-Agent")) continue;  // the agent line above replaces it
    if (IsBlank(std::string_view(line).substr(colon + 1))) line = line.substr(0, colon) + ";";
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace qw
