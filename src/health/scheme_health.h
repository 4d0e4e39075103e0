#pragma once
// A scheme's health: when it was last checked, what came of it, how many checks in a row failed, and when it
// last brought something new. A check fails when the site could not be reached or answered with an error,
// and when the page no longer gives what the scheme expects (an empty capture region, or no hit at all): the
// page has changed.

#include <string>

namespace qw {

struct SchemeOutcome;

struct SchemeHealth {
  // Time text of the last check; empty before the first.
  std::string lastCheck;
  // What the last check found, in GBK.
  std::string outcome;
  // Failed checks in a row.
  int failures = 0;
  // Time text of the last check that stored an article; empty until one did.
  std::string lastNew;
  // While the scheme's site has asked for a pause, the time text of its end. Not kept across restarts, as
  // the pause is not.
  std::string pausedUntil;
};

// From this many failures in a row a scheme counts as failing: it is marked, and the status log says so once.
inline constexpr int kFailingStreak = 3;
inline bool IsFailing(const SchemeHealth& health) { return health.failures >= kFailingStreak; }

// One check as the health counts it.
struct CheckResult {
  std::string outcome;  // GBK
  bool failed = false;
  // Articles stored.
  int stored = 0;
};

// The check a judged pass amounts to: the fetch error, "HTTP <status>" for an answer other than 2xx,
// "采集区域为空", "匹配结果为0" (failures), or "无新文章" and "匹配N条，新增M篇".
CheckResult ResultOf(const SchemeOutcome& outcome);

// The lines the scheme's tree item shows when the mouse rests on it, separated by "\n"; GBK.
std::string HealthSummary(const SchemeHealth& health);

}  // namespace qw
