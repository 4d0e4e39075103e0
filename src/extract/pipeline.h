#pragma once
// From a page text and a scheme's expression to hits, and from a hit to its texts and article address.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/simd_level.h"

namespace qw {

// One match of a scheme's expression: group 0 is the whole match, groups 1..G the capturing groups. A group
// that took no part in the match holds the empty text.
struct Hit {
  std::vector<std::string> groups;
};

// The text with every "\r\n" pair removed whose CR begins a character (as GBK text is read character by
// character, a byte of 0x80 and above takes the next byte with it); lone CR and LF bytes stay. Same result as
// ReplaceAll(text, "\r\n", "", true), at close to the speed of copying the text: it scans 64 bytes at a time
// with the best vector instructions the processor has.
std::string FlattenLines(std::string_view text);
// The same with the instructions of `level` at most; tests hold each level against ReplaceAll.
std::string FlattenLines(std::string_view text, SimdLevel level);

// Every non-overlapping match of pattern (Perl syntax, case-insensitive, "^" and "$" only at the region's
// ends) in order. A pattern that does not compile, or whose matching exceeds the engine's limits, gives no
// hits (or the hits found before that point). A zero-length hit ends the search.
std::vector<Hit> MatchAll(std::string_view pattern, std::string_view region);
// Whether MatchAll would find at least one hit; stops at the first.
bool MatchesAny(std::string_view pattern, std::string_view region);

// The number of capturing groups of pattern, or 0 when it does not compile.
int GroupCount(std::string_view pattern);

// Why pattern does not compile the way MatchAll compiles it (the engine's own message), or nothing when it
// does.
std::optional<std::string> PatternError(std::string_view pattern);

// The text of group k, or "" for a group outside 0..G.
std::string GroupText(const Hit& hit, int k);

// The trimmed, non-empty texts between "[" and "]" in the template, in order.
std::vector<std::string> TemplatePlaceholders(std::string_view urlTemplate);

// The template with every "[n]" key of the placeholder list replaced by the text of group n.
std::string ComposeArticleUrl(std::string_view urlTemplate, const std::vector<std::string>& placeholders,
                              const Hit& hit);

}  // namespace qw
