#include "storage/scheme_cache.h"

#include <algorithm>
#include <mutex>

#include "storage/database.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

bool ValidCell(int id, int column) { return id > 0 && column >= 0 && column < kRuleColumnCount; }

}  // namespace

std::string SchemeCache::Get(int id, int column) const {
  if (!ValidCell(id, column)) return {};
  std::shared_lock lock(mutex_);
  const auto found = rows_.find(id);
  return found == rows_.end() ? std::string() : found->second[static_cast<std::size_t>(column)];
}

void SchemeCache::Set(int id, int column, std::string value) {
  if (!ValidCell(id, column)) return;
  std::unique_lock lock(mutex_);
  rows_[id][static_cast<std::size_t>(column)] = std::move(value);
}

std::optional<SchemeRow> SchemeCache::Row(int id) const {
  std::shared_lock lock(mutex_);
  const auto found = rows_.find(id);
  if (found == rows_.end()) return std::nullopt;
  return found->second;
}

bool SchemeCache::Has(int id) const {
  std::shared_lock lock(mutex_);
  return rows_.contains(id);
}

void SchemeCache::Store(int id, SchemeRow row) {
  if (id <= 0) return;
  std::unique_lock lock(mutex_);
  rows_[id] = std::move(row);
}

SchemeOptions SchemeCache::Options(int id) const {
  std::shared_lock lock(mutex_);
  const auto found = options_.find(id);
  return found == options_.end() ? SchemeOptions{} : found->second;
}

void SchemeCache::StoreOptions(int id, SchemeOptions options) {
  if (id <= 0) return;
  std::unique_lock lock(mutex_);
  options_[id] = std::move(options);
}

void RefreshSchemeCache(Connection& main, SchemeCache& cache) {
  const ResultTable table = Query(main, "select * from rule");
  std::map<int, SchemeOptions> options = ReadAllSchemeOptions(main);
  const int columns = std::min(table.ColumnCount(), static_cast<int>(kRuleColumnCount));
  for (int r = 0; r < table.RowCount(); ++r) {
    const int id = ToInteger(table.Cell(r, kRuleId));
    if (id <= 0) continue;  // No scheme has such a key; nothing could look the row up.
    SchemeRow row = cache.Row(id).value_or(SchemeRow{});
    for (int c = 0; c < columns; ++c) row[static_cast<std::size_t>(c)] = table.Cell(r, c);
    cache.Store(id, std::move(row));
    cache.StoreOptions(id, std::move(options[id]));
  }
}

}  // namespace qw
