#include "storage/scheme_options.h"

#include "storage/database.h"
#include "storage/sql_literal.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

constexpr std::string_view kCreateTable =
    "create table if not exists scheme_options(id INTEGER NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL, "
    "PRIMARY KEY(id, name));";

}  // namespace

const std::string& OptionOf(const SchemeOptions& options, std::string_view name) {
  static const std::string kUnset;
  const auto found = options.find(std::string(name));
  return found == options.end() ? kUnset : found->second;
}

std::map<int, SchemeOptions> ReadAllSchemeOptions(Connection& connection) {
  std::map<int, SchemeOptions> all;
  if (!HasSchemeOptionsTable(connection)) return all;
  const ResultTable table = Query(connection, "select id,name,value from scheme_options");
  for (int r = 0; r < table.RowCount(); ++r) {
    all[ToInteger(table.Cell(r, 0))][table.Cell(r, 1)] = table.Cell(r, 2);
  }
  return all;
}

SchemeOptions ReadSchemeOptions(Connection& connection, int id) {
  SchemeOptions options;
  if (!HasSchemeOptionsTable(connection)) return options;
  const ResultTable table =
      Query(connection, "select name,value from scheme_options where id=" + std::to_string(id));
  for (int r = 0; r < table.RowCount(); ++r) options[table.Cell(r, 0)] = table.Cell(r, 1);
  return options;
}

std::string SchemeOptionsStatement(int id, const SchemeOptions& options) {
  const std::string idText = std::to_string(id);
  std::string sql(kCreateTable);
  sql += "delete from scheme_options where id=" + idText + ";";
  for (const auto& [name, value] : options) {
    if (value.empty()) continue;
    sql += "insert into scheme_options(id,name,value) values(" + idText + ",'" + SqlQuoted(name) + "','" +
           SqlQuoted(value) + "');";
  }
  return sql;
}

bool HasSchemeOptionsTable(Connection& connection) { return HasTable(connection, "scheme_options"); }

bool ForgetSchemeOptions(Connection& connection, int id) {
  return !HasSchemeOptionsTable(connection) ||
         Execute(connection, "delete from scheme_options where id=" + std::to_string(id));
}

bool SaveSchemeOptions(Connection& connection, int id, const SchemeOptions& options) {
  if (Execute(connection, "begin;" + SchemeOptionsStatement(id, options) + "commit;")) return true;
  Execute(connection, "rollback");
  return false;
}

}  // namespace qw
