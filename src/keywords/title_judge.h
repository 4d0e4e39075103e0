#pragma once
// What a scheme's keywords and everyone's make of a title: muted when a 屏蔽词 matches (mute wins over
// watch), watched when a 关注词 does. The alert follows: a muted title never alerts; where the scheme or
// everyone has 关注词, only a watched title does; without any keyword every title alerts, as always.

#include <string>
#include <string_view>

#include "keywords/keyword_set.h"
#include "storage/keyword_marks.h"
#include "storage/scheme_options.h"

namespace qw {

// The names of a scheme's two lists among its options; each value is the list's entries joined by "\r\n".
inline constexpr std::string_view kWatchOption = "watch";
inline constexpr std::string_view kMuteOption = "mute";

// The two lists of one scope, as texts (GBK, one entry per line).
struct KeywordLists {
  std::string watch;
  std::string mute;
  bool operator==(const KeywordLists&) const = default;
};

KeywordLists KeywordListsOf(const SchemeOptions& options);
// The options that hold the lists (normalized); an empty list removes its option.
void PutKeywordLists(SchemeOptions& options, const KeywordLists& lists);

// Both lists compiled.
struct CompiledKeywords {
  CompiledKeywords() = default;
  explicit CompiledKeywords(const KeywordLists& lists) : watch(lists.watch), mute(lists.mute) {}
  KeywordSet watch;
  KeywordSet mute;
};

struct KeywordVerdict {
  KeywordMark mark = KeywordMark::kNone;
  // The entry that decided, as written; "" when none did.
  std::string keyword;
  bool alerts = true;
};

// The verdict of the scheme's own lists together with everyone's.
KeywordVerdict JudgeTitle(std::string_view title, const CompiledKeywords& scheme,
                          const CompiledKeywords& everyone);

}  // namespace qw
