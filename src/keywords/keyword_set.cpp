#include "keywords/keyword_set.h"

#include <exception>
#include <locale>
#include <optional>

#include <boost/regex.hpp>

#include "text/gbk_text.h"

namespace qw {
namespace {

// As a scheme's expression is compiled for matching a page: Perl syntax, case-insensitive, the classic locale
// so that folding and classes touch ASCII only and never alter GBK bytes. Nothing when it does not compile.
std::optional<boost::regex> CompileExpression(const std::string& pattern) {
  try {
    boost::regex re;
    re.imbue(std::locale::classic());
    // The std::string keeps a terminating byte behind the pattern, which Boost's parser may read.
    re.assign(pattern.data(), pattern.data() + pattern.size(), boost::regex::perl | boost::regex::icase);
    return re;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

PreparedTitle::PreparedTitle(std::string_view title)
    : text_(title), lowered_(Lower(title)), starts_(title.size(), 0) {
  for (std::size_t i = 0; i < title.size();) {
    starts_[i] = 1;
    i += static_cast<unsigned char>(title[i]) >= 0x80 ? 2 : 1;
  }
}

struct KeywordSet::Compiled {
  struct Entry {
    std::string text;
    // A plain entry: its text with the letters lowered as the title's are.
    std::string lowered;
    // An expression entry; nothing for a plain one, and for an expression that does not compile.
    std::optional<boost::regex> expression;
    bool isExpression = false;
  };
  std::vector<Entry> entries;

  static bool PlainMatches(const Entry& entry, const PreparedTitle& title) {
    const std::string_view text = title.Lowered();
    const std::string_view part = entry.lowered;
    for (std::size_t from = 0; from + part.size() <= text.size();) {
      const std::size_t at = text.find(part, from);
      if (at == std::string_view::npos) return false;
      if (title.IsBoundary(at) && title.IsBoundary(at + part.size())) return true;
      from = at + 1;
    }
    return false;
  }

  static bool ExpressionMatches(const boost::regex& re, const PreparedTitle& title) {
    const char* const begin = title.Text().data();
    const char* const end = begin + title.Text().size();
    boost::match_flag_type flags = boost::match_default | boost::match_single_line;
    boost::match_results<const char*> m;
    std::size_t from = 0;
    while (from <= title.Text().size()) {
      bool found = false;
      try {
        found = boost::regex_search(begin + from, end, m, re, flags, begin);
      } catch (const std::exception&) {
        return false;  // the engine's complexity limit: no match rather than a stalled pass
      }
      if (!found) return false;
      const std::size_t start = static_cast<std::size_t>(m[0].first - begin);
      const std::size_t stop = static_cast<std::size_t>(m[0].second - begin);
      if (title.IsBoundary(start) && title.IsBoundary(stop)) return true;
      // A match from inside a character is no match; the search goes on from the next character.
      from = start + 1;
      while (!title.IsBoundary(from)) ++from;
      flags |= boost::match_prev_avail;
    }
    return false;
  }
};

KeywordSet::KeywordSet() : compiled_(std::make_unique<Compiled>()) {}

KeywordSet::KeywordSet(std::string_view text) : KeywordSet() {
  for (KeywordEntry& entry : ParseKeywordLines(text)) {
    Compiled::Entry compiled;
    compiled.isExpression = entry.expression;
    if (entry.expression) {
      if (!entry.pattern.empty()) compiled.expression = CompileExpression(entry.pattern);
    } else {
      compiled.lowered = Lower(entry.pattern);
    }
    compiled.text = std::move(entry.text);
    compiled_->entries.push_back(std::move(compiled));
  }
}

KeywordSet::~KeywordSet() = default;
KeywordSet::KeywordSet(KeywordSet&&) noexcept = default;
KeywordSet& KeywordSet::operator=(KeywordSet&&) noexcept = default;

bool KeywordSet::Empty() const { return compiled_->entries.empty(); }

const std::string* KeywordSet::FirstMatch(const PreparedTitle& title) const {
  for (const Compiled::Entry& entry : compiled_->entries) {
    const bool matches = entry.isExpression
                             ? entry.expression && Compiled::ExpressionMatches(*entry.expression, title)
                             : Compiled::PlainMatches(entry, title);
    if (matches) return &entry.text;
  }
  return nullptr;
}

}  // namespace qw
