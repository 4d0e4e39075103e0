#pragma once
// Splicing values into statement texts so that no value can end its literal or add a statement.

#include <string>
#include <string_view>

namespace qw {

// The value with every single-quote byte doubled, to stand between single quotes. Works byte-wise: SQLite
// reads the statement as bytes, so a quote byte after a GBK lead byte must be doubled too.
std::string SqlQuoted(std::string_view value);

}  // namespace qw
