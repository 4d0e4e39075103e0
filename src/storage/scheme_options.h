#pragma once
// What a person sets for a scheme beyond the columns of rule (its keywords, fetching it through a browser),
// kept as named texts in a table of its own. rule and info keep their exact columns, so a database stays
// usable by older versions; the table is created when an option is first saved, and a database without it
// (an older one, or one opened read-only) reads as every scheme having no options.

#include <map>
#include <string>
#include <string_view>

namespace qw {

class Connection;

// Option name → value, both GBK. A missing name is an option left at its default.
using SchemeOptions = std::map<std::string, std::string>;

// The value of name, or "" when it is not set.
const std::string& OptionOf(const SchemeOptions& options, std::string_view name);

// The options of every scheme that has any; nothing for a database without the table.
std::map<int, SchemeOptions> ReadAllSchemeOptions(Connection& connection);
SchemeOptions ReadSchemeOptions(Connection& connection, int id);

// The statements that make options the whole set of scheme id's options, creating the table first when it is
// not there; an empty value removes its option. Runs as a part of a larger text (the save of the scheme) or
// alone.
std::string SchemeOptionsStatement(int id, const SchemeOptions& options);

// Replaces scheme id's options in one transaction; false (and nothing changed) when the database refused.
bool SaveSchemeOptions(Connection& connection, int id, const SchemeOptions& options);

// Whether the database has the table; a scheme stored without options needs a statement only then, to clear
// what a deleted scheme may have left under an id that rule gives out again (it has no AUTOINCREMENT).
bool HasSchemeOptionsTable(Connection& connection);
// Removes the options of a deleted scheme; a database without the table is left without one.
bool ForgetSchemeOptions(Connection& connection, int id);

}  // namespace qw
