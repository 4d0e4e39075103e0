#include "schemes/scheme_import.h"

#include <algorithm>

#include "schemes/scheme_file.h"
#include "storage/database.h"
#include "storage/scheme_options.h"
#include "storage/scheme_statements.h"
#include "storage/settings_file.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

std::string IndexText(const std::optional<int>& index) {
  return index ? std::to_string(*index) : std::string();
}

SchemeFields FieldsOf(const SchemeRecord& s, int classNumber) {
  SchemeFields f;
  f.code.assign(1, s.gbk ? '1' : '0');
  f.url = s.url;
  f.before = s.before;
  f.after = s.after;
  f.regular = s.expression;
  f.buquan = s.urlTemplate;
  f.cookie = s.cookie;
  f.tindex = IndexText(s.titleIndex);
  f.uindex = IndexText(s.idIndex);
  f.oindex = IndexText(s.spareIndex);
  f.ua = s.agent;
  f.classNumber = classNumber;
  f.name = s.name;
  f.type = std::to_string(s.mode);
  return f;
}

// The category list as the settings value stores it: "<a><b>".
std::string CategoryValue(const std::vector<std::string>& names) {
  std::string value;
  for (const std::string& name : names) value.append("<").append(name).append(">");
  return value;
}

// Runs the inserts in one transaction; false (everything rolled back) with the database's reason.
bool StoreSchemes(Connection& connection, const std::vector<const SchemeRecord*>& schemes,
                  const std::vector<std::string>& categories, std::vector<int>& ids, std::string& error) {
  // Taking the write lock at the start keeps another connection from writing between two inserts.
  if (!Execute(connection, "begin immediate", error)) return false;
  for (const SchemeRecord* scheme : schemes) {
    const auto category = std::find(categories.begin(), categories.end(), scheme->category);
    // No category stays none: number 0 names none, as the file's scheme named none.
    const int classNumber =
        scheme->category.empty() ? 0 : static_cast<int>(category - categories.begin()) + 1;
    bool stored = Execute(connection, SchemeInsertStatement(FieldsOf(*scheme, classNumber)), error);
    int id = 0;
    if (stored) {
      const ResultTable row = Query(connection, "select last_insert_rowid()");
      id = ToInteger(row.Cell(0, 0));
      stored = id > 0;
      if (!stored) error = LastError(connection);
    }
    // Options a deleted scheme left under the same id are not the imported one's.
    if (stored && (!scheme->options.empty() || HasSchemeOptionsTable(connection))) {
      stored = Execute(connection, SchemeOptionsStatement(id, scheme->options), error);
    }
    if (!stored) {
      Execute(connection, "rollback");
      ids.clear();
      return false;
    }
    ids.push_back(id);
  }
  if (Execute(connection, "commit", error)) return true;
  Execute(connection, "rollback");
  ids.clear();
  return false;
}

}  // namespace

ImportPlan PlanImport(Connection& connection, std::string_view fileBytes) {
  ImportPlan plan;
  SchemeFileContents contents = ReadSchemeFile(fileBytes);
  if (!contents.error.empty()) {
    plan.error = std::move(contents.error);
    plan.fileRefused = true;
    return plan;
  }
  const ResultTable existing = Query(connection, "select id,url,regular from rule order by id");
  if (existing.ColumnCount() == 0) {
    plan.error = Utf8ToGbk("无法读取数据库中的方案：") + LastError(connection);
    return plan;
  }
  for (SchemeRecord& scheme : contents.schemes) {
    ImportCandidate candidate;
    for (const std::vector<std::string>& row : existing.rows) {
      if (row[1] == scheme.url && row[2] == scheme.expression) {
        candidate.equalId = ToInteger(row[0]);
        break;
      }
    }
    candidate.scheme = std::move(scheme);
    plan.candidates.push_back(std::move(candidate));
  }
  return plan;
}

ImportOutcome ImportSchemes(Connection& connection, SettingsFile& settings, const ImportPlan& plan,
                            const std::vector<bool>& add) {
  ImportOutcome outcome;
  if (!plan.error.empty()) {
    outcome.error = plan.error;
    return outcome;
  }
  std::vector<const SchemeRecord*> chosen;
  for (std::size_t i = 0; i < plan.candidates.size(); ++i) {
    if (i < add.size() && add[i]) chosen.push_back(&plan.candidates[i].scheme);
  }

  const std::string oldValue = settings.ReadSetting(CategoriesKey());
  outcome.categories = ParseCategoryValue(oldValue);
  for (const SchemeRecord* scheme : chosen) {
    if (scheme->category.empty()) continue;
    if (std::find(outcome.categories.begin(), outcome.categories.end(), scheme->category) !=
        outcome.categories.end()) {
      continue;
    }
    outcome.categories.push_back(scheme->category);
    outcome.addedCategories.push_back(scheme->category);
  }
  if (!outcome.addedCategories.empty()) {
    const std::string value = CategoryValue(outcome.categories);
    if (value.size() > kSettingReadLimit) {
      outcome.error = Utf8ToGbk(std::string("类别列表加上新类别后超过 ")
                                    .append(std::to_string(kSettingReadLimit))
                                    .append(" 字节，存不下；请先在 高级设置 中删减类别"));
      return outcome;
    }
    if (!settings.WriteSetting(CategoriesKey(), value)) {
      outcome.error = Utf8ToGbk(
          std::string("无法写入设置文件 ").append(settings.Path().string()).append("，类别未能添加"));
      return outcome;
    }
  }

  std::string error;
  if (!StoreSchemes(connection, chosen, outcome.categories, outcome.ids, error)) {
    if (!outcome.addedCategories.empty()) settings.WriteSetting(CategoriesKey(), oldValue);
    outcome.error = Utf8ToGbk("数据库拒绝了导入：") + error;
    outcome.addedCategories.clear();
    outcome.categories = ParseCategoryValue(oldValue);
    return outcome;
  }
  outcome.ok = true;
  return outcome;
}

}  // namespace qw
