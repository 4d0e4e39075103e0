#include "extract/rule_test.h"

#include "extract/collect_scheme.h"
#include "text/gbk_text.h"

namespace qw {

bool IsBlockedSite(std::string_view url) { return Find(url, kBlockedSiteWord) != kNotFound; }

RuleTestResult RunRuleTest(const RuleTestInput& input, const FetchLimits& limits, std::stop_token stop) {
  RuleTestResult result;
  // Fetched as a monitoring pass fetches; the merged cookie it hands back is not kept.
  const std::string page =
      FetchSchemePage({input.url, input.cookie, input.ua, input.code}, limits, std::move(stop)).text;
  result.region = CutRegion(page, input.before, input.after);
  if (result.region.empty()) return result;
  result.hits = MatchAll(input.pattern, result.region);
  result.groupCount = GroupCount(input.pattern);
  return result;
}

}  // namespace qw
