#include "propose/page_fetch.h"

#include "extract/collect_scheme.h"
#include "extract/pipeline.h"
#include "fetch/redirect.h"
#include "text/gbk_text.h"

namespace qw::propose {
namespace {

// The charset a Content-Type value or a meta tag names: "1", "0", or empty when it names none we know.
std::string CodeOfCharset(std::string_view text) {
  const std::string lowered = Lower(text);
  const std::size_t at = lowered.find("charset");
  if (at == std::string::npos) return {};
  std::size_t i = at + 7;
  while (i < lowered.size() && (lowered[i] == ' ' || lowered[i] == '=' || lowered[i] == '"' || lowered[i] == '\'')) ++i;
  const std::string_view name = std::string_view(lowered).substr(i, 12);
  if (name.starts_with("gb") || name.starts_with("x-gbk") || name.starts_with("cp936")) return "1";
  if (name.starts_with("utf-8") || name.starts_with("utf8")) return "0";
  return {};
}

bool ValidUtf8(std::string_view bytes, bool& anyWide) {
  anyWide = false;
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    anyWide = true;
    const std::size_t n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
    if (n == 0) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      if (i + k >= bytes.size()) return true;  // cut off at the end of what was read
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n + 1;
  }
  return true;
}

}  // namespace

std::string DeclaredPageCode(std::string_view body, std::string_view responseHeaders) {
  if (std::string code = CodeOfCharset(HeaderValue(responseHeaders, "Content-Type")); !code.empty()) return code;
  // The meta tag stands near the top of the page.
  const std::string_view head = body.substr(0, 4096);
  for (Pos at = Find(head, "<meta", 1, true); at != kNotFound; at = Find(head, "<meta", at + 1, true)) {
    const std::string_view tag = head.substr(static_cast<std::size_t>(at - 1), 300);
    if (std::string code = CodeOfCharset(tag.substr(0, tag.find('>'))); !code.empty()) return code;
  }
  return {};
}

std::string PageCode(std::string_view body, std::string_view responseHeaders) {
  if (std::string code = DeclaredPageCode(body, responseHeaders); !code.empty()) return code;
  bool anyWide = false;
  return ValidUtf8(body, anyWide) || !anyWide ? "0" : "1";
}

FetchedProposalPage FetchProposalPage(std::string_view url, std::string cookie, std::string_view ua,
                                      const FetchLimits& limits, std::stop_token stop) {
  FetchRequest request;
  request.url = url;
  request.cookie = &cookie;
  request.extraHeaders = "User-Agent: " + std::string(ua);
  FetchReply reply;
  std::string body = FetchPage(request, &reply, limits, std::move(stop));
  FetchedProposalPage page;
  page.code = PageCode(body, reply.responseHeaders.value_or(std::string()));
  page.text = FlattenLines(DecodePageText(std::move(body), page.code));
  return page;
}

FetchedProposalPage RenderProposalPage(std::string_view url, std::string cookie, std::string_view ua,
                                       std::string_view code, const RenderSettings& render,
                                       std::stop_token stop) {
  RenderSession renderer(render, stop);
  FetchedPage rendered =
      FetchSchemePage({std::string(url), std::move(cookie), std::string(ua), std::string(code), true}, {},
                      std::move(stop), &renderer);
  FetchedProposalPage page;
  const std::string declared = DeclaredPageCode(rendered.text);
  page.code = declared.empty() ? std::string(code) : declared;
  page.text = std::move(rendered.text);
  page.failure = std::move(rendered.failure);
  if (rendered.deadlineHit) page.note = RenderDeadlineNote();
  return page;
}

}  // namespace qw::propose
