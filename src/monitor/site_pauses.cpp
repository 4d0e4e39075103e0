#include "monitor/site_pauses.h"

#include <algorithm>

#include "fetch/retry_after.h"
#include "fetch/url.h"

namespace qw {

std::string SiteOf(std::string_view url) {
  std::string site = UrlHost(url);
  const std::int32_t port = UrlPort(url);
  if (port != (UrlIsSecure(url) ? 443 : 80)) {
    site += ':';
    site += std::to_string(port);
  }
  return site;
}

SitePauses::SitePauses(std::function<Clock::time_point()> now) : now_(std::move(now)) {}

SitePauses::Clock::time_point SitePauses::Now() const { return now_ ? now_() : Clock::now(); }

void SitePauses::Answered(const std::string& site, long status, std::string_view retryAfter) {
  if (!AsksForPause(status)) return;
  const Clock::time_point now = Now();
  const std::optional<std::chrono::seconds> asked = RetryAfterDelay(retryAfter, Clock::to_time_t(now));
  const std::chrono::seconds pause = std::min(asked.value_or(kPauseWithoutRetryAfter), kLongestPause);
  if (pause <= std::chrono::seconds::zero()) return;
  std::lock_guard lock(mutex_);
  Clock::time_point& until = until_[site];
  until = std::max(until, now + pause);
  any_.store(true);
}

std::optional<std::time_t> SitePauses::PausedUntil(const std::string& site) const {
  if (!any_.load()) return std::nullopt;
  const Clock::time_point now = Now();
  std::lock_guard lock(mutex_);
  const auto found = until_.find(site);
  if (found == until_.end() || found->second <= now) return std::nullopt;
  return Clock::to_time_t(found->second);
}

}  // namespace qw
