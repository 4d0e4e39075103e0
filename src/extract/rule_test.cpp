#include "extract/rule_test.h"

#include "text/gbk_text.h"

namespace qw {

bool IsBlockedSite(std::string_view url) { return Find(url, kBlockedSiteWord) != kNotFound; }

RuleTestResult RunRuleTest(const RuleTestInput& input, const FetchLimits& limits, std::stop_token stop) {
  RuleTestResult result;
  // The fetcher merges the cookie it was given with the page's; the test keeps neither.
  std::string cookie = input.cookie;
  const std::string page = FlattenLines(FetchPageText(input.url, cookie, input.ua, input.code, limits, stop));
  result.region = CutRegion(page, input.before, input.after);
  if (result.region.empty()) return result;
  result.hits = MatchAll(input.pattern, result.region);
  result.groupCount = GroupCount(input.pattern);
  return result;
}

}  // namespace qw
