#include "storage/scheme_statements.h"

#include <algorithm>

#include "storage/sql_literal.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

// An integer written the way SQLite writes it back ("0", "17", "-3"; not "007" or "-0"), short enough to
// stay an integer, so that standing bare it is stored as the same text.
bool IsPlainInteger(std::string_view value) {
  if (value == "0") return true;
  if (!value.empty() && value.front() == '-') value.remove_prefix(1);
  return !value.empty() && value.size() <= 18 && value.front() != '0' &&
         std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Quoted(std::string_view value) { return "'" + SqlQuoted(value) + "'"; }

}  // namespace

std::string SqlBareValue(std::string_view value) {
  return IsPlainInteger(value) ? std::string(value) : Quoted(value);
}

std::string SchemeInsertStatement(const SchemeFields& f) {
  std::string s =
      "insert into rule(isdo,code,url,before,after,regular,buquan,cookie,tindex,uindex,oindex,ua,class,"
      "name,type) values('0'";
  for (const std::string* value : {&f.code, &f.url, &f.before, &f.after, &f.regular, &f.buquan, &f.cookie,
                                   &f.tindex, &f.uindex, &f.oindex, &f.ua}) {
    s += ',';
    s += Quoted(*value);
  }
  s += ',';
  s += std::to_string(f.classNumber);
  s += ',';
  s += Quoted(f.name);
  s += ',';
  s += Quoted(f.type);
  s += ')';
  return s;
}

std::string SchemeUpdateStatement(const SchemeFields& f, std::string_view id) {
  // Column by column: its name, and the value quoted or standing bare.
  struct Assignment {
    const char* column;
    std::string value;
  };
  const Assignment quoted[] = {{"code", f.code},    {"url", f.url},         {"before", f.before},
                               {"after", f.after},  {"regular", f.regular}, {"buquan", f.buquan},
                               {"cookie", f.cookie}};
  const Assignment bare[] = {{"tindex", SqlBareValue(f.tindex)},
                             {"uindex", SqlBareValue(f.uindex)},
                             {"oindex", SqlBareValue(f.oindex)}};
  std::string s = "update rule set ";
  for (const Assignment& a : quoted) s.append(a.column).append("='").append(SqlQuoted(a.value)).append("',");
  for (const Assignment& a : bare) s.append(a.column).append("=").append(a.value).append(",");
  s.append("ua='").append(SqlQuoted(f.ua)).append("',class=").append(std::to_string(f.classNumber));
  s.append(",name='").append(SqlQuoted(f.name)).append("',type='").append(SqlQuoted(f.type));
  s.append("' where id=").append(SqlBareValue(id));
  return s;
}

std::string SchemeDeleteStatement(std::string_view id) {
  std::string s = "DELETE FROM rule WHERE id=";
  s += SqlBareValue(id);
  return s;
}

std::string SchemeDefaultTickStatement(std::string_view currentIsdo, std::string_view id) {
  std::string s = "update rule set isdo=";
  s += ToInteger(currentIsdo) != 0 ? "0" : "1";
  s += " where id=";
  s += SqlBareValue(id);
  return s;
}

}  // namespace qw
