#pragma once
// The in-memory copy of the schemes that monitoring reads, keyed by scheme id.

#include <array>
#include <map>
#include <optional>
#include <shared_mutex>
#include <string>

#include "storage/scheme_options.h"

namespace qw {

class Connection;

// Column positions of table rule.
enum RuleColumn : int {
  kRuleId = 0,
  kRuleClass,
  kRuleCode,
  kRuleName,
  kRuleUrl,
  kRuleCookie,
  kRuleUa,
  kRuleArttile,
  kRuleArturl,
  kRuleLasttime,
  kRuleBuquan,
  kRuleRegular,
  kRuleBefore,
  kRuleAfter,
  kRuleTindex,
  kRuleUindex,
  kRuleOindex,
  kRuleIsdo,
  kRuleLastid,
  kRuleType,
  kRuleColumnCount
};

using SchemeRow = std::array<std::string, kRuleColumnCount>;

// Each cell read and write is atomic with respect to other threads. Any positive id has a row once refreshed.
class SchemeCache {
 public:
  // The cell's text; empty for an unknown id or column.
  std::string Get(int id, int column) const;
  void Set(int id, int column, std::string value);
  // A consistent copy of the whole row, or nothing for an id never cached.
  std::optional<SchemeRow> Row(int id) const;
  bool Has(int id) const;
  // Overwrites the row of id with the given cells (column 0 included).
  void Store(int id, SchemeRow row);

  // The scheme's options beyond the columns of rule; none for an unknown id.
  SchemeOptions Options(int id) const;
  void StoreOptions(int id, SchemeOptions options);

 private:
  mutable std::shared_mutex mutex_;
  std::map<int, SchemeRow> rows_;
  std::map<int, SchemeOptions> options_;
};

// Copies every row of "select * from rule" into the cache, with each scheme's options; rows of ids no longer
// in the table stay as they are.
void RefreshSchemeCache(Connection& main, SchemeCache& cache);

}  // namespace qw
