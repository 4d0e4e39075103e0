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
  // Whether the keywords let it alert (a 屏蔽词 matched, or the scheme watches for 关注词 and none did: not).
  bool alerts = true;
  // The 关注词 that matched, as written; "" when none did.
  std::string keyword{};
};

}  // namespace qw
