#pragma once
// An article a pass has just stored, as the alert tells it.

#include <string>

namespace qw {

struct NewArticle {
  int schemeId = 0;
  // The scheme's name, which the article list shows as its site; GBK like the rest.
  std::string site;
  std::string title;
  std::string url;
};

}  // namespace qw
