#include "propose/regex_text.h"

namespace qw::propose {
namespace {

bool IsSign(char c) {
  switch (c) {
    case '\\': case '^': case '$': case '.': case '|': case '?': case '*': case '+':
    case '(': case ')': case '[': case ']': case '{': case '}':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string RegexLiteral(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size() + 8);
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    const char c = gbk[i];
    if (static_cast<unsigned char>(c) >= 0x80 && i + 1 < gbk.size()) {
      out += c;
      if (IsSign(gbk[i + 1])) out += '\\';
      out += gbk[++i];
      continue;
    }
    if (IsSign(c)) out += '\\';
    out += c;
  }
  return out;
}

}  // namespace qw::propose
