#include "storage/sql_literal.h"

namespace qw {

std::string SqlQuoted(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 8);
  for (const char byte : value) {
    out.push_back(byte);
    if (byte == '\'') out.push_back('\'');
  }
  return out;
}

}  // namespace qw
