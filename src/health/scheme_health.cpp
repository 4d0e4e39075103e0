#include "health/scheme_health.h"

#include "extract/collect_scheme.h"
#include "text/encoding.h"

namespace qw {

CheckResult ResultOf(const SchemeOutcome& outcome) {
  CheckResult result;
  result.stored = static_cast<int>(outcome.stored.size());
  const long status = outcome.fetch.status;
  if (!outcome.fetch.error.empty()) {
    result.failed = true;
    result.outcome = outcome.fetch.error;
  } else if (status != 0 && (status < 200 || status > 299)) {
    result.failed = true;
    result.outcome = "HTTP " + std::to_string(status);
  } else if (outcome.regionEmpty) {
    result.failed = true;
    result.outcome = QW_GBK("采集区域为空");
  } else if (outcome.hits == 0 && !outcome.nothingNew) {
    result.failed = true;
    result.outcome = QW_GBK("匹配结果为0");
  } else if (outcome.nothingNew) {
    result.outcome = QW_GBK("无新文章");
  } else {
    result.outcome = QW_GBK("匹配") + std::to_string(outcome.hits) + QW_GBK("条，新增") +
                     std::to_string(result.stored) + QW_GBK("篇");
  }
  // The browser gave what it had at the deadline: the outcome says so, as a page still loading may lack
  // articles.
  if (outcome.renderDeadlineHit) result.outcome += QW_GBK("（浏览器渲染到期限）");
  return result;
}

std::string HealthSummary(const SchemeHealth& health) {
  if (health.lastCheck.empty() && health.pausedUntil.empty()) return QW_GBK("尚未检查");
  std::string text;
  if (!health.lastCheck.empty()) {
    text = QW_GBK("上次检查：") + health.lastCheck + "\n" + QW_GBK("结果：") + health.outcome;
    if (health.failures > 0) {
      text += "\n" + QW_GBK("连续失败：") + std::to_string(health.failures) + QW_GBK(" 次");
    }
    text += "\n" + QW_GBK("上次有新文章：") + (health.lastNew.empty() ? QW_GBK("无") : health.lastNew);
  }
  if (!health.pausedUntil.empty()) {
    if (!text.empty()) text += "\n";
    text += QW_GBK("站点要求暂停访问，") + health.pausedUntil + QW_GBK(" 前跳过");
  }
  return text;
}

}  // namespace qw
