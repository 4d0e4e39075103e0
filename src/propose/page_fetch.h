#pragma once
// Fetching a page to propose a scheme for: the request a scheme's pass sends, and the page's encoding read
// from the response and the page itself, so that a new scheme starts with the right one.

#include <stop_token>
#include <string>
#include <string_view>

#include "fetch/http_fetcher.h"

namespace qw::propose {

// "1" when the page is GBK (GB2312, GB18030), "0" when it is UTF-8: as the response's Content-Type names it,
// else as the page's own meta tag does, else as its bytes read.
std::string PageCode(std::string_view body, std::string_view responseHeaders = {});

struct FetchedProposalPage {
  std::string text;  // GBK, flattened as the pass flattens it; empty when nothing was received
  std::string code;  // the encoding it was read in
};

// One GET with the scheme's address, cookie and agent, as a pass sends it (the cookie merged by the
// exchange is not kept); the body read in its own encoding.
FetchedProposalPage FetchProposalPage(std::string_view url, std::string cookie, std::string_view ua,
                                      const FetchLimits& limits = {}, std::stop_token stop = {});

}  // namespace qw::propose
