#pragma once
// How long a site that answered "too many requests" or "unavailable" asks to be left alone.

#include <chrono>
#include <ctime>
#include <optional>
#include <string_view>

namespace qw {

// The statuses that put a site in a pause: 429 Too Many Requests and 503 Service Unavailable.
bool AsksForPause(long status);

// The delay a Retry-After value asks for: whole seconds, or an HTTP date counted from now (a date in the past
// asks for none). Nothing for an empty or unreadable value.
std::optional<std::chrono::seconds> RetryAfterDelay(std::string_view value, std::time_t now);

}  // namespace qw
