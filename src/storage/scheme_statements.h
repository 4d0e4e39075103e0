#pragma once
// The statements with which the options window creates, updates, deletes and default-ticks a scheme (a row of
// rule). Every typed value is spliced so that it arrives in the row as typed: quoted values have their quotes
// doubled, and a value meant to stand bare (an index, an id) stands bare only when it is a plain integer.

#include <string>
#include <string_view>

namespace qw {

// One scheme as the editor holds it, in GBK.
struct SchemeFields {
  std::string code;  // "1" GBK, "0" UTF-8
  std::string url;
  std::string before;
  std::string after;
  std::string regular;
  std::string buquan;
  std::string cookie;
  std::string tindex;
  std::string uindex;
  std::string oindex;
  std::string ua;
  int classNumber = 1;
  std::string name;
  std::string type;  // the judging mode as decimal text
};

// "insert into rule(isdo,code,url,...) values('0','...',...)": a new, unticked scheme.
std::string SchemeInsertStatement(const SchemeFields& fields);

// "update rule set code='...',...,tindex=1,uindex=1,oindex=2,... where id=n": everything the editor shows,
// leaving the default tick and the monitoring history alone.
std::string SchemeUpdateStatement(const SchemeFields& fields, std::string_view id);

std::string SchemeDeleteStatement(std::string_view id);
// isdo becomes "0" when the current value reads as a non-zero number, else "1".
std::string SchemeDefaultTickStatement(std::string_view currentIsdo, std::string_view id);

// The value as it stands bare in a statement: a plain integer as it is, anything else (the empty text
// included) as a quoted literal, so a value can neither break the statement nor add to it.
std::string SqlBareValue(std::string_view value);

}  // namespace qw
