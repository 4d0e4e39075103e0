#pragma once
// Page text written into a regular expression so that it matches itself only.

#include <string>
#include <string_view>

namespace qw::propose {

// GBK text as a literal of a Perl expression. Two-byte characters stay whole: a second byte that is a sign of
// the expression language ("\" "|" "[" and the like are all possible second bytes) is escaped on its own.
std::string RegexLiteral(std::string_view gbk);

}  // namespace qw::propose
