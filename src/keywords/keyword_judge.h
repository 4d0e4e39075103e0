#pragma once
// The keywords a monitoring worker judges new titles by, round after round. As a round begins it takes
// everyone's lists; each scheme's own are looked at again at the scheme's first title of the round and
// compiled only when they differ from what was compiled before. So matching costs at most one compile per
// scheme and round, none while the lists stay as they are, and nothing per title beyond the match itself.
// One worker uses it from one thread.

#include <cstdint>
#include <map>
#include <string_view>

#include "keywords/title_judge.h"

namespace qw {

class SchemeCache;

class KeywordJudge {
 public:
  // The schemes' lists are read from the cache, as the refresh of the scheme list left them.
  explicit KeywordJudge(const SchemeCache& cache);

  void BeginRound(const KeywordLists& everyone);
  KeywordVerdict Judge(int id, std::string_view title);
  // Whether everyone's lists hold anything this round.
  bool EveryoneHasKeywords() const { return !everyoneLists_.watch.empty() || !everyoneLists_.mute.empty(); }

 private:
  struct Scheme {
    KeywordLists lists;
    CompiledKeywords compiled;
    std::uint64_t round = 0;
  };

  const SchemeCache& cache_;
  std::uint64_t round_ = 0;
  KeywordLists everyoneLists_;
  CompiledKeywords everyone_;
  std::map<int, Scheme> schemes_;
};

}  // namespace qw
