#include "keywords/title_judge.h"

namespace qw {

KeywordLists KeywordListsOf(const SchemeOptions& options) {
  return {OptionOf(options, kWatchOption), OptionOf(options, kMuteOption)};
}

void PutKeywordLists(SchemeOptions& options, const KeywordLists& lists) {
  auto put = [&options](std::string_view name, std::string_view text) {
    std::string value = NormalizeKeywordText(text);
    if (value.empty()) {
      options.erase(std::string(name));
    } else {
      options[std::string(name)] = std::move(value);
    }
  };
  put(kWatchOption, lists.watch);
  put(kMuteOption, lists.mute);
}

KeywordVerdict JudgeTitle(std::string_view title, const CompiledKeywords& scheme,
                          const CompiledKeywords& everyone) {
  KeywordVerdict verdict;
  const bool watching = !scheme.watch.Empty() || !everyone.watch.Empty();
  if (!watching && scheme.mute.Empty() && everyone.mute.Empty()) return verdict;
  const PreparedTitle prepared(title);
  const std::string* muted = scheme.mute.FirstMatch(prepared);
  if (muted == nullptr) muted = everyone.mute.FirstMatch(prepared);
  if (muted != nullptr) {
    return {KeywordMark::kMuted, *muted, false};
  }
  const std::string* watched = scheme.watch.FirstMatch(prepared);
  if (watched == nullptr) watched = everyone.watch.FirstMatch(prepared);
  if (watched != nullptr) return {KeywordMark::kWatched, *watched, true};
  verdict.alerts = !watching;
  return verdict;
}

}  // namespace qw
