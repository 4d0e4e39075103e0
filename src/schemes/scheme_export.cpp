#include "schemes/scheme_export.h"

#include <map>

#include "schemes/scheme_file.h"
#include "storage/database.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

// The columns a person sets, by name, so that a table with its columns in another order reads the same.
constexpr char kSelect[] =
    "select id,class,code,name,url,cookie,ua,buquan,regular,\"before\",\"after\",tindex,uindex,oindex,type "
    "from rule";
enum Column {
  kId,
  kClass,
  kCode,
  kName,
  kUrl,
  kCookie,
  kUa,
  kBuquan,
  kRegular,
  kBefore,
  kAfter,
  kTindex,
  kUindex,
  kOindex,
  kType
};

// An index box: empty stays empty; anything else is the group number monitoring reads from it.
std::optional<int> IndexOf(const std::string& text) {
  if (Trim(text).empty()) return std::nullopt;
  return ToInteger(text);
}

int ModeOf(const std::string& type) {
  const int mode = ToInteger(type);
  return mode == kNewestAtBottom || mode == kRisingId ? mode : kNewestOnTop;
}

SchemeRecord RecordOf(const std::vector<std::string>& row, const std::vector<std::string>& categories) {
  SchemeRecord s;
  s.name = row[kName];
  const int category = ToInteger(row[kClass]);
  if (category >= 1 && category <= static_cast<int>(categories.size())) s.category = categories[category - 1];
  // As monitoring reads it: GBK only for "1".
  s.gbk = row[kCode] == "1";
  s.url = row[kUrl];
  s.cookie = row[kCookie];
  s.agent = row[kUa];
  s.before = row[kBefore];
  s.after = row[kAfter];
  s.expression = row[kRegular];
  s.urlTemplate = row[kBuquan];
  s.titleIndex = IndexOf(row[kTindex]);
  s.idIndex = IndexOf(row[kUindex]);
  s.spareIndex = IndexOf(row[kOindex]);
  s.mode = ModeOf(row[kType]);
  return s;
}

}  // namespace

SchemeRecords ReadSchemeRecords(Connection& connection, const std::vector<std::string>& categories,
                                const std::vector<int>& ids) {
  SchemeRecords records;
  const ResultTable table = Query(connection, std::string(kSelect) + " order by id");
  if (table.ColumnCount() == 0) {
    records.error = Utf8ToGbk("无法读取方案：") + LastError(connection);
    return records;
  }
  const std::map<int, SchemeOptions> options = ReadAllSchemeOptions(connection);
  std::map<int, const std::vector<std::string>*> byId;
  for (const std::vector<std::string>& row : table.rows) byId.emplace(ToInteger(row[kId]), &row);

  std::vector<int> wanted = ids;
  if (wanted.empty()) {
    for (const auto& [id, row] : byId) wanted.push_back(id);
  }
  for (const int id : wanted) {
    const auto found = byId.find(id);
    if (found == byId.end()) {
      records.schemes.clear();
      records.error = Utf8ToGbk("没有编号为 " + std::to_string(id) + " 的方案");
      return records;
    }
    SchemeRecord record = RecordOf(*found->second, categories);
    if (const auto own = options.find(id); own != options.end()) record.options = own->second;
    records.schemes.push_back(std::move(record));
  }
  return records;
}

SchemeExport ExportSchemes(Connection& connection, const std::vector<std::string>& categories,
                           const std::vector<int>& ids, bool withCookie) {
  SchemeExport result;
  SchemeRecords records = ReadSchemeRecords(connection, categories, ids);
  if (!records.error.empty()) {
    result.error = std::move(records.error);
    return result;
  }
  SchemeFileText file = WriteSchemeFile(records.schemes, withCookie);
  result.text = std::move(file.text);
  result.error = std::move(file.error);
  result.count = result.error.empty() ? static_cast<int>(records.schemes.size()) : 0;
  return result;
}

}  // namespace qw
