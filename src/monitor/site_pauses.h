#pragma once
// Sites that asked to be left alone for a while: a 429 (too many requests) or 503 (unavailable) answer
// pauses its site for the time its Retry-After asks, an hour at most, five minutes without a readable one.
// Every worker of the program shares one object, so no pass asks a paused site; the sites' schemes are
// skipped until the pause ends. A site is the host with its port, as a port is a server of its own.

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace qw {

inline constexpr std::chrono::seconds kLongestPause{3600};
inline constexpr std::chrono::seconds kPauseWithoutRetryAfter{300};

// The site of a scheme's address: the host name, with ":port" when the port is not the default one.
std::string SiteOf(std::string_view url);

class SitePauses {
 public:
  using Clock = std::chrono::system_clock;
  // now gives the wall-clock time (Retry-After may be a date); tests pass their own.
  explicit SitePauses(std::function<Clock::time_point()> now = {});

  // After a response from site with status and Retry-After value: pauses the site when the status asks for
  // it. A longer pause already running stays.
  void Answered(const std::string& site, long status, std::string_view retryAfter);
  // The end of the site's pause, or nothing when it is not paused.
  std::optional<std::time_t> PausedUntil(const std::string& site) const;

 private:
  Clock::time_point Now() const;

  std::function<Clock::time_point()> now_;
  mutable std::mutex mutex_;
  std::map<std::string, Clock::time_point> until_;
  // Whether any pause was ever set: the common case asks no lock.
  std::atomic<bool> any_{false};
};

}  // namespace qw
