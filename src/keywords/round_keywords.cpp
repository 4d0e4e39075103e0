#include "keywords/round_keywords.h"

#include "storage/scheme_cache.h"

namespace qw {

RoundKeywords::RoundKeywords(const SchemeCache& cache, const KeywordLists& everyone)
    : cache_(cache), everyone_(everyone) {}

KeywordVerdict RoundKeywords::Judge(int id, std::string_view title) {
  auto found = schemes_.find(id);
  if (found == schemes_.end()) {
    found = schemes_.emplace(id, CompiledKeywords(KeywordListsOf(cache_.Options(id)))).first;
  }
  return JudgeTitle(title, found->second, everyone_);
}

}  // namespace qw
