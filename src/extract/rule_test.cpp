#include "extract/rule_test.h"

#include "extract/collect_scheme.h"
#include "text/gbk_text.h"

namespace qw {

bool IsBlockedSite(std::string_view url) { return Find(url, kBlockedSiteWord) != kNotFound; }

RuleTestResult RunRuleTest(const RuleTestInput& input, const FetchLimits& limits, std::stop_token stop,
                           const RenderSettings& render) {
  RuleTestResult result;
  // Fetched as a monitoring pass fetches; the merged cookie it hands back is not kept.
  RenderSession renderer(render, stop);
  FetchedPage page = FetchSchemePage({input.url, input.cookie, input.ua, input.code, input.render}, limits,
                                     std::move(stop), &renderer);
  result.failure = std::move(page.failure);
  if (page.deadlineHit) result.note = RenderDeadlineNote();
  result.region = CutRegion(page.text, input.before, input.after);
  if (result.region.empty()) return result;
  result.hits = MatchAll(input.pattern, result.region);
  result.groupCount = GroupCount(input.pattern);
  return result;
}

}  // namespace qw
