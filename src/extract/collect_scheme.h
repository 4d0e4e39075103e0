#pragma once
// Collecting one scheme: fetch its page, judge which hits are new, store them and move its marker on.

#include <atomic>
#include <functional>
#include <stop_token>
#include <string>

#include "fetch/http_fetcher.h"

namespace qw {

class SchemeCache;
class SqlRunner;
class StatusLog;

// Judging modes (rule column type).
inline constexpr int kNewestOnTop = 0;
inline constexpr int kNewestAtBottom = 2;
inline constexpr int kRisingId = 8;

struct CollectContext {
  SchemeCache& cache;
  SqlRunner& sql;
  StatusLog& log;
  // Set when new articles were stored; the end of a monitoring cycle reads and clears it.
  std::atomic<bool>& newArticleFlag;
  FetchLimits fetchLimits{};
  std::stop_token stop{};
  // Runs after each stored article: processes pending events, then pauses 400 ms. Tests replace it.
  std::function<void()> pauseAfterStore{};
  // The time text; tests replace it.
  std::function<std::string()> timestamp{};
};

// One pass over scheme id. Returns nothing; every outcome goes to the status log and the database. A stop
// request ends the pass between two steps, after which it writes no further line and runs no further
// statement.
void CollectScheme(int id, CollectContext& context);

}  // namespace qw
