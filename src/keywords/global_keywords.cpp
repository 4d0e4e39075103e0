#include "keywords/global_keywords.h"

#include "storage/settings_file.h"
#include "text/encoding.h"

namespace qw {

const std::string& WatchWordsKey() { return QW_GBK("关注词"); }
const std::string& MuteWordsKey() { return QW_GBK("屏蔽词"); }

KeywordLists ReadGlobalKeywords(const SettingsFile& settings) {
  return {ParseKeywordValue(settings.ReadSetting(WatchWordsKey())),
          ParseKeywordValue(settings.ReadSetting(MuteWordsKey()))};
}

bool WriteGlobalKeywords(SettingsFile& settings, const KeywordLists& lists) {
  return settings.WriteSetting(WatchWordsKey(), ComposeKeywordValue(lists.watch)) &&
         settings.WriteSetting(MuteWordsKey(), ComposeKeywordValue(lists.mute));
}

}  // namespace qw
