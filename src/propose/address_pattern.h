#pragma once
// The shape that the addresses of a list's articles share: the parts every address writes the same, and the
// parts that differ from one article to the next. The differing parts become the expression's groups and the
// template's "[n]" keys; the shared ones are written out.

#include <string>
#include <string_view>
#include <vector>

namespace qw::propose {

struct AddressPart {
  enum Kind { kFixed, kNumber, kWord };
  Kind kind = kFixed;
  std::string text;  // a fixed part's bytes as the page writes them
  // A varying part's bytes in each address, in the order of the addresses given.
  std::vector<std::string> values;
  bool date = false;  // a year, or a month or day after one
};

// The parts of the addresses (as the page writes them, "&amp;" and all), or nothing when they share no shape.
// Numbers that look like dates are varying parts even where every address has the same one today, since the
// next article's address will not.
std::vector<AddressPart> AddressShape(const std::vector<std::string_view>& addresses);

// The address text with "&amp;" (and its numeric forms) written as "&", as a browser reads it.
std::string DecodeAmpersands(std::string_view text);

// The index of the varying number that names each article, if there is one: distinct in every address and
// read as a positive 32-bit number. -1 when none does.
int ArticleIdPart(const std::vector<AddressPart>& parts);

}  // namespace qw::propose
