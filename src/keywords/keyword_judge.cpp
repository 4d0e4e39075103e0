#include "keywords/keyword_judge.h"

#include "storage/scheme_cache.h"

namespace qw {

KeywordJudge::KeywordJudge(const SchemeCache& cache) : cache_(cache) {}

void KeywordJudge::BeginRound(const KeywordLists& everyone) {
  ++round_;
  if (everyone == everyoneLists_) return;
  everyoneLists_ = everyone;
  everyone_ = CompiledKeywords(everyone);
}

KeywordVerdict KeywordJudge::Judge(int id, std::string_view title) {
  Scheme& scheme = schemes_[id];
  if (scheme.round != round_) {
    scheme.round = round_;
    KeywordLists lists = KeywordListsOf(cache_.Options(id));
    if (lists != scheme.lists) {
      scheme.compiled = CompiledKeywords(lists);
      scheme.lists = std::move(lists);
    }
  }
  return JudgeTitle(title, scheme.compiled, everyone_);
}

}  // namespace qw
