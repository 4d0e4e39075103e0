#pragma once
// Cookie texts: "name=value" items joined by "; ", without attributes.

#include <string>
#include <string_view>
#include <vector>

namespace qw {

// The cookie text of the cookies a raw response header block sets (attributes dropped).
std::string ExtractSetCookies(std::string_view headerBlock);

// The cookie text of the cookies that the given response header lines set, one item per Set-Cookie line (in
// any letter case), in order; attributes dropped. A Set-Cookie line without a value gives an empty item.
std::string CollectSetCookies(const std::vector<std::string_view>& lines);

// Merges freshly received cookies into jar: received items win over jar items of the same name, deleted
// cookies vanish, exact duplicates are dropped. The result is stored into jar and returned.
std::string MergeCookies(std::string& jar, std::string_view fresh);

// The name of one cookie item: the text before its first "=", trimmed.
std::string CookieName(std::string_view item);

}  // namespace qw
