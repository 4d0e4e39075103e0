#include "fetch/cookies.h"

#include <unordered_set>

#include "text/gbk_text.h"

namespace qw {

std::string CollectSetCookies(const std::vector<std::string_view>& lines) {
  std::string list;
  for (const std::string_view raw : lines) {
    const std::string line = ReplaceAll(raw, "Set-Cookie", "Set-Cookie", false);
    if (Find(line, "Set-Cookie") == kNotFound) continue;
    // Only the name=value part before the first ";" counts; the attributes after it are dropped.
    if (Find(line, ";") != kNotFound) {
      list += Trim(CutRegion(line, "Set-Cookie:", ";"));
    } else {
      list += Trim(ReplaceAll(line, "Set-Cookie:", "", false));
    }
    list += "; ";
  }
  if (!list.empty()) list.resize(list.size() - 2);
  return list;
}

std::string ExtractSetCookies(std::string_view headerBlock) {
  const std::vector<std::string> lines = Split(headerBlock, "\r\n");
  return CollectSetCookies(std::vector<std::string_view>(lines.begin(), lines.end()));
}

std::string CookieName(std::string_view item) {
  const Pos equals = Find(item, "=");
  if (equals == kNotFound) return Trim(item);
  return Trim(Left(item, equals - 1));
}

std::string MergeCookies(std::string& jar, std::string_view fresh) {
  std::vector<std::string> merged = Split(RemoveSpaces(fresh), ";");
  // Names already present: received items first, then each jar item kept. A set keeps long jars linear.
  std::unordered_set<std::string> names;
  for (const std::string& item : merged) names.insert(CookieName(item));
  for (std::string& item : Split(RemoveSpaces(jar), ";")) {
    if (names.insert(CookieName(item)).second) merged.push_back(std::move(item));
  }

  std::string joined;
  for (const std::string& item : merged) {
    if (Right(item, 8) == "=deleted") continue;  // the server deleted this cookie
    joined += item;
    joined += "; ";
  }
  if (!joined.empty()) joined.resize(joined.size() - 2);

  std::string out;
  std::unordered_set<std::string> seen;
  for (std::string& item : Split(joined, "; ")) {
    if (!seen.insert(item).second) continue;
    out += item;
    out += "; ";
  }
  if (!out.empty()) out.resize(out.size() - 2);
  jar = out;
  return out;
}

}  // namespace qw
