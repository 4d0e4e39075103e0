#pragma once
// The keyword lists that hold for every scheme, kept in the settings file under 关注词 and 屏蔽词. A settings
// value is one line, so each list is stored as ComposeKeywordValue writes it.

#include <string>

#include "keywords/title_judge.h"

namespace qw {

class SettingsFile;

const std::string& WatchWordsKey();  // 关注词
const std::string& MuteWordsKey();   // 屏蔽词

KeywordLists ReadGlobalKeywords(const SettingsFile& settings);
// Both values; false when the file could not be written (the first list may then be saved alone).
bool WriteGlobalKeywords(SettingsFile& settings, const KeywordLists& lists);

}  // namespace qw
