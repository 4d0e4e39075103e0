#pragma once
// The keywords of one monitoring round: everyone's lists compiled as the round starts, each scheme's own at
// its first new article of the round, so that matching costs one compile per scheme and round and nothing
// per article beyond the match itself. One worker's round uses it from one thread.

#include <map>
#include <string_view>

#include "keywords/title_judge.h"

namespace qw {

class SchemeCache;

class RoundKeywords {
 public:
  // The schemes' lists are read from the cache, as the refresh of the scheme list left them.
  RoundKeywords(const SchemeCache& cache, const KeywordLists& everyone);

  KeywordVerdict Judge(int id, std::string_view title);
  // Whether everyone's lists hold anything.
  bool EveryoneHasKeywords() const { return !everyone_.watch.Empty() || !everyone_.mute.Empty(); }

 private:
  const SchemeCache& cache_;
  CompiledKeywords everyone_;
  std::map<int, CompiledKeywords> schemes_;
};

}  // namespace qw
