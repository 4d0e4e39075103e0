#pragma once
// Fetching a page to propose a scheme for: the request a scheme's pass sends, and the page's encoding read
// from the response and the page itself, so that a new scheme starts with the right one.

#include <stop_token>
#include <string>
#include <string_view>

#include "fetch/http_fetcher.h"
#include "render/render_session.h"

namespace qw::propose {

// "1" when the page is GBK (GB2312, GB18030), "0" when it is UTF-8: as the response's Content-Type names it,
// else as the page's own meta tag does, else as its bytes read.
std::string PageCode(std::string_view body, std::string_view responseHeaders = {});
// The same from the response and the meta tag alone; empty when neither names one.
std::string DeclaredPageCode(std::string_view body, std::string_view responseHeaders = {});

struct FetchedProposalPage {
  std::string text;  // GBK, flattened as the pass flattens it; empty when nothing was received
  std::string code;  // the encoding it was read in
  // Why the browser gave no page ("浏览器渲染失败：…"), or that it gave what it had at its deadline; GBK.
  std::string failure{};
  std::string note{};
};

// One GET with the scheme's address, cookie and agent, as a pass sends it (the cookie merged by the
// exchange is not kept); the body read in its own encoding.
FetchedProposalPage FetchProposalPage(std::string_view url, std::string cookie, std::string_view ua,
                                      const FetchLimits& limits = {}, std::stop_token stop = {});

// The page through the browser, as a pass gets the page of a scheme marked for it, with a renderer of its own
// ended before this returns. code is the scheme's encoding, in which the browser reads a page that names none;
// the page's own meta tag, which the rendered document keeps, says otherwise when it names another.
FetchedProposalPage RenderProposalPage(std::string_view url, std::string cookie, std::string_view ua,
                                       std::string_view code, const RenderSettings& render,
                                       std::stop_token stop = {});

}  // namespace qw::propose
