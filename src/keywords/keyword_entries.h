#pragma once
// Keyword lists as a person writes them: one entry per line, plain text matched as a part of the title, or an
// expression written between two slashes ("/rtx ?50[89]0/"). Empty lines are nothing. Two lists make what a
// scheme (or every scheme) is told: 关注词, the titles that matter, and 屏蔽词, the titles to keep quiet
// about.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qw {

// One entry, GBK.
struct KeywordEntry {
  // The line as kept: trimmed of spaces and tabs at both ends, slashes included for an expression.
  std::string text;
  bool expression = false;
  // What is matched: the text itself, or the expression between the slashes.
  std::string pattern;
  // Its line in the list's text, from 1; empty lines count.
  int line = 0;
};

// The entries of a list's text, lines split at LF (a CR before it is dropped), in order; empty lines and
// lines of spaces only are left out.
std::vector<KeywordEntry> ParseKeywordLines(std::string_view text);

// The entries' texts joined by "\r\n": a list as it is stored, without the lines that are nothing.
std::string JoinKeywordLines(const std::vector<KeywordEntry>& entries);
// The same for a list's text.
std::string NormalizeKeywordText(std::string_view text);

// Why an entry is refused: its line (from 1), its text and the reason, GBK.
struct KeywordProblem {
  int line = 0;
  std::string text;
  std::string reason;
};

// The first entry of the text that cannot be used: an expression that does not compile (the reason is the
// regular-expression engine's own message) or one with nothing between its slashes. Nothing when every entry
// is usable.
std::optional<KeywordProblem> CheckKeywordLines(std::string_view text);

// A list in one settings value, which holds no line break: "<entry><entry>", with "%", "<" and ">" inside an
// entry written as "%25", "%3C" and "%3E". No GBK character has any of the three as its second byte.
std::string ComposeKeywordValue(std::string_view text);
// The list's text ("\r\n" between entries) back from a settings value; a value that holds no "<" (written by
// hand) is one entry per "\r\n"-free line, i.e. the value itself.
std::string ParseKeywordValue(std::string_view value);

}  // namespace qw
