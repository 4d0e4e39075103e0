#pragma once
// Trying a scheme's capture settings against its live page before it is saved: the page fetched as monitoring
// fetches it, the region cut, every hit with all its groups. Nothing is stored and no cookie is kept.

#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "extract/pipeline.h"
#include "fetch/http_fetcher.h"
#include "render/render_session.h"

namespace qw {

// Addresses holding this domain label (letter case as written) are never monitored.
inline constexpr std::string_view kBlockedSiteWord = "quillwatch";
bool IsBlockedSite(std::string_view url);

// The capture settings under test, in GBK.
struct RuleTestInput {
  std::string url;
  std::string code;  // "1" GBK, anything else UTF-8
  std::string before;
  std::string after;
  std::string pattern;
  std::string cookie;
  std::string ua;
  // Through the browser, as monitoring gets the page of a scheme so marked.
  bool render = false;
};

struct RuleTestResult {
  // The capture region; empty when the fetch failed, the page was empty or a marker was not found.
  std::string region;
  // Why the browser gave no page ("浏览器渲染失败：…"), or that it gave what it had at its deadline; GBK.
  std::string failure{};
  std::string note{};
  std::vector<Hit> hits;
  // Capturing groups of the pattern (0 when it does not compile).
  int groupCount = 0;
};

// A stop ends the fetch early; the result is then as for a failed fetch. A page through the browser gets a
// renderer of its own, ended before this returns.
RuleTestResult RunRuleTest(const RuleTestInput& input, const FetchLimits& limits = {},
                           std::stop_token stop = {}, const RenderSettings& render = {});

}  // namespace qw
