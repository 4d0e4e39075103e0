#include "fetch/cookies.h"

#include <unordered_set>
#include <vector>

#include "text/gbk_text.h"

namespace qw {
namespace {

// Cookie values come from servers as raw bytes, often UTF-8, so the ";" and "=" that structure a cookie text
// are found byte by byte: an odd run of high bytes before one would otherwise take it for the second byte of
// a GBK character. No GBK character ends in a byte below 0x40, so GBK texts split as they would by
// characters.
std::vector<std::string> SplitAtBytes(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  while (!text.empty()) {
    const std::size_t at = text.find(separator);
    pieces.emplace_back(text.substr(0, at));
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + separator.size());
  }
  return pieces;
}

// The text between the first "Set-Cookie:" and the first ";" after it, or empty when either is missing.
std::string ValueBeforeAttributes(std::string_view line) {
  constexpr std::string_view kPrefix = "Set-Cookie:";
  const Pos prefix = Find(line, kPrefix);
  if (prefix == kNotFound) return {};
  const std::size_t from = static_cast<std::size_t>(prefix - 1) + kPrefix.size();
  const std::size_t semicolon = line.find(';', from);
  if (semicolon == std::string_view::npos) return {};
  return std::string(line.substr(from, semicolon - from));
}

}  // namespace

std::string CollectSetCookies(const std::vector<std::string_view>& lines) {
  std::string list;
  for (const std::string_view raw : lines) {
    const std::string line = ReplaceAll(raw, "Set-Cookie", "Set-Cookie", false);
    if (Find(line, "Set-Cookie") == kNotFound) continue;
    // Only the name=value part before the first ";" counts; the attributes after it are dropped.
    if (line.find(';') != std::string::npos) {
      list += Trim(ValueBeforeAttributes(line));
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

std::string CookieName(std::string_view item) { return Trim(item.substr(0, item.find('='))); }

std::string MergeCookies(std::string& jar, std::string_view fresh) {
  std::vector<std::string> merged = SplitAtBytes(RemoveSpaces(fresh), ";");
  // Names already present: received items first, then each jar item kept. A set keeps long jars linear.
  std::unordered_set<std::string> names;
  for (const std::string& item : merged) names.insert(CookieName(item));
  for (std::string& item : SplitAtBytes(RemoveSpaces(jar), ";")) {
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
  for (std::string& item : SplitAtBytes(joined, "; ")) {
    if (!seen.insert(item).second) continue;
    out += item;
    out += "; ";
  }
  if (!out.empty()) out.resize(out.size() - 2);
  jar = out;
  return out;
}

}  // namespace qw
