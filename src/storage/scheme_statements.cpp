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
  std::string s = "update rule set code='";
  s += SqlQuoted(f.code);
  s += "',url='";
  s += SqlQuoted(f.url);
  s += "',before='";
  s += SqlQuoted(f.before);
  s += "',after='";
  s += SqlQuoted(f.after);
  s += "',regular='";
  s += SqlQuoted(f.regular);
  s += "',buquan='";
  s += SqlQuoted(f.buquan);
  s += "',cookie='";
  s += SqlQuoted(f.cookie);
  s += "',tindex=";
  s += SqlBareValue(f.tindex);
  s += ",uindex=";
  s += SqlBareValue(f.uindex);
  s += ",oindex=";
  s += SqlBareValue(f.oindex);
  s += ",ua='";
  s += SqlQuoted(f.ua);
  s += "',class=";
  s += std::to_string(f.classNumber);
  s += ",name='";
  s += SqlQuoted(f.name);
  s += "',type='";
  s += SqlQuoted(f.type);
  s += "' where id=";
  s += SqlBareValue(id);
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
