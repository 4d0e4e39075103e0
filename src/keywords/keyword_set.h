#pragma once
// A keyword list compiled once to be matched against many titles. Plain entries match as a part of the title
// with ASCII letters in either case; expressions are compiled as a scheme's expression is (Perl syntax,
// case-insensitive, ASCII-only case folding). Either way a match is GBK-aware: it never starts or ends
// inside a two-byte character, so "a" does not match a character whose second byte is the byte of "a".

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "keywords/keyword_entries.h"

namespace qw {

// A title readied once for all the lists it is matched against: its letters lowered and its character starts
// found.
class PreparedTitle {
 public:
  explicit PreparedTitle(std::string_view title);

  std::string_view Text() const { return text_; }
  std::string_view Lowered() const { return lowered_; }
  // Whether byte index i (0..size) begins a character or is the end.
  bool IsBoundary(std::size_t i) const { return i >= starts_.size() || starts_[i] != 0; }

 private:
  std::string_view text_;
  std::string lowered_;
  std::vector<unsigned char> starts_;
};

class KeywordSet {
 public:
  KeywordSet();
  // The entries of the list's text; an expression that does not compile matches nothing (saving refuses
  // such an entry, so only a hand-edited database holds one).
  explicit KeywordSet(std::string_view text);
  ~KeywordSet();
  KeywordSet(KeywordSet&&) noexcept;
  KeywordSet& operator=(KeywordSet&&) noexcept;

  bool Empty() const;
  // The first entry of the list that the title matches (as written, slashes included), or nullptr.
  const std::string* FirstMatch(const PreparedTitle& title) const;

 private:
  struct Compiled;
  std::unique_ptr<Compiled> compiled_;
};

}  // namespace qw
