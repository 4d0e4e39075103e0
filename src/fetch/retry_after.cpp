#include "fetch/retry_after.h"

#include <curl/curl.h>

#include <algorithm>
#include <string>

namespace qw {

bool AsksForPause(long status) { return status == 429 || status == 503; }

std::optional<std::chrono::seconds> RetryAfterDelay(std::string_view value, std::time_t now) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  if (value.empty()) return std::nullopt;
  if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    // Anything past a day is as good as forever here; the digits are not read further.
    constexpr long long kDay = 86400;
    long long seconds = 0;
    for (const char c : value) {
      seconds = std::min(kDay, seconds * 10 + (c - '0'));
    }
    return std::chrono::seconds(seconds);
  }
  // The three date forms HTTP allows (IMF-fixdate, RFC 850 and asctime); libcurl reads them all.
  const std::time_t when = curl_getdate(std::string(value).c_str(), nullptr);
  if (when == -1) return std::nullopt;
  return std::chrono::seconds(std::max<std::time_t>(0, when - now));
}

}  // namespace qw
