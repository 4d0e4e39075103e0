#include "extract/pipeline.h"

#include <algorithm>
#include <exception>
#include <locale>
#include <optional>
#include <unordered_set>

#include <boost/regex.hpp>

#include "text/gbk_text.h"

namespace qw {
namespace {

// ---------------------------------------------------------------------------------------------------------------
// Matching limits.
//
// Boost gives up a search (throwing std::runtime_error) once it has visited more states than its own
// estimate, max(N * S^2, min(N^2, 1e8)) + 1e5 for N bytes left to search and an expression S characters long,
// and it starts counting afresh for every search. On a multi-MiB page with a longish expression that bound
// lets a catastrophically backtracking pattern run for minutes (a 33-character expression on 1 MiB took 8 s;
// 16 MiB would take over two minutes, and every found hit restarts the count). MatchAll therefore shares one
// budget over all searches of a call: kBaseStateBudget plus kStatesPerByte for each byte of the region, and
// no single search gets more than what is left of it. The ordinary list-page expressions measured need 0.2
// to 2.3 states per byte, so they never reach it; a hostile one stops after roughly a second per 100 million
// states.
constexpr std::ptrdiff_t kBaseStateBudget = 100'000'000;
constexpr std::ptrdiff_t kStatesPerByte = 16;

// Hits are kept as copies, roughly a hundred bytes each before their texts; a pattern that matches every byte
// of a huge page would otherwise exhaust memory. No list page comes anywhere near this many articles.
constexpr std::size_t kMaxHits = 1'000'000;

using Iter = const char*;
using Results = boost::match_results<Iter>;
using Matcher =
    boost::BOOST_REGEX_DETAIL_NS::perl_matcher<Iter, Results::allocator_type, boost::regex::traits_type>;

// Boost keeps the state counter and its limit private in the matcher object that boost::regex_search builds
// and uses internally. MatchAll builds that same object itself (exactly as regex_search does) so it can lower
// the limit before the search and read the count after it. The members are reached through an explicit
// instantiation, where access checking does not apply; a Boost release that renames or retypes them fails to
// compile here rather than misbehaving.
struct StateCountMember {
  using type = std::ptrdiff_t Matcher::*;
  friend type MemberOf(StateCountMember);
};
struct StateLimitMember {
  using type = std::ptrdiff_t Matcher::*;
  friend type MemberOf(StateLimitMember);
};
template <typename Tag, typename Tag::type kMember>
struct ExposeMember {
  friend typename Tag::type MemberOf(Tag) { return kMember; }
};
template struct ExposeMember<StateCountMember, &Matcher::state_count>;
template struct ExposeMember<StateLimitMember, &Matcher::max_state_count>;

// The compiled pattern: Perl syntax, case-insensitive, with the classic locale so that case folding and
// character classes touch ASCII only and never alter GBK bytes, whatever the process locale is. Nothing when
// the pattern does not compile.
std::optional<boost::regex> Compile(std::string_view pattern, std::string* error = nullptr) {
  // Boost 1.74's parser reads one byte past the end of a pattern that ends inside a set range such as "[a-z";
  // a std::string copy keeps that byte inside the allocation (its terminating NUL) instead of past the
  // caller's.
  const std::string terminated(pattern);
  try {
    boost::regex re;
    re.imbue(std::locale::classic());
    re.assign(terminated.data(), terminated.data() + terminated.size(),
              boost::regex::perl | boost::regex::icase);
    return re;
  } catch (const std::exception& e) {
    if (error != nullptr) *error = e.what();
    return std::nullopt;
  }
}

Hit MakeHit(const Results& m) {
  Hit hit;
  hit.groups.reserve(m.size());
  for (std::size_t i = 0; i < m.size(); ++i) {
    const auto& group = m[static_cast<int>(i)];
    hit.groups.emplace_back(group.matched ? std::string(group.first, group.second) : std::string());
  }
  return hit;
}

const std::string& GroupRef(const Hit& hit, int k) {
  static const std::string kNoText;
  if (k < 0 || static_cast<std::size_t>(k) >= hit.groups.size()) return kNoText;
  return hit.groups[static_cast<std::size_t>(k)];
}

// The first maxHits matches, as MatchAll describes them.
std::vector<Hit> MatchUpTo(std::string_view pattern, std::string_view region, std::size_t maxHits) {
  std::vector<Hit> hits;
  if (region.empty()) return hits;
  const std::optional<boost::regex> re = Compile(pattern);
  if (!re) return hits;

  // Searches run over pointers into the caller's text, so NUL bytes are ordinary characters and nothing is
  // copied but the group texts of hits. Every search after the first starts where the last hit ended, with
  // the region's start as its base, so "^" (single-line) only matches at the region's start and look-behind
  // and \b still see the bytes before the restart.
  const Iter begin = region.data();
  const Iter end = begin + region.size();
  Iter from = begin;
  boost::match_flag_type flags = boost::match_default | boost::match_single_line;
  std::ptrdiff_t budget = kBaseStateBudget + kStatesPerByte * static_cast<std::ptrdiff_t>(region.size());
  Results m;
  while (hits.size() < maxHits && budget > 0) {
    Matcher matcher(from, end, m, *re, flags, begin);
    std::ptrdiff_t& limit = matcher.*MemberOf(StateLimitMember{});
    limit = std::min(limit, budget);
    bool found = false;
    try {
      found = matcher.find();
    } catch (const std::exception&) {
      // Complexity, stack or memory limits: keep what was found before.
      break;
    }
    budget -= matcher.*MemberOf(StateCountMember{});
    if (!found) break;
    hits.push_back(MakeHit(m));
    if (m[0].first == m[0].second) break;  // a zero-length hit ends the search
    from = m[0].second;
    flags |= boost::match_prev_avail;
  }
  return hits;
}

}  // namespace

std::vector<Hit> MatchAll(std::string_view pattern, std::string_view region) {
  return MatchUpTo(pattern, region, kMaxHits);
}

bool MatchesAny(std::string_view pattern, std::string_view region) {
  return !MatchUpTo(pattern, region, 1).empty();
}

int GroupCount(std::string_view pattern) {
  const std::optional<boost::regex> re = Compile(pattern);
  return re ? static_cast<int>(re->mark_count()) : 0;
}

std::optional<std::string> PatternError(std::string_view pattern) {
  std::string error;
  if (Compile(pattern, &error)) return std::nullopt;
  return error.empty() ? std::string("invalid expression") : error;
}

std::string GroupText(const Hit& hit, int k) { return GroupRef(hit, k); }

std::vector<std::string> TemplatePlaceholders(std::string_view urlTemplate) {
  std::vector<std::string> placeholders;
  Pos pos = 1;
  while (true) {
    const Pos open = Find(urlTemplate, "[", pos);
    if (open == kNotFound) break;
    const Pos close = Find(urlTemplate, "]", open + 1);
    if (close == kNotFound) break;
    // Positions are 1-based: the bytes between the brackets start at index open.
    std::string inner =
        Trim(urlTemplate.substr(static_cast<std::size_t>(open), static_cast<std::size_t>(close - open - 1)));
    if (inner.empty()) {
      pos = open + 1;
    } else {
      placeholders.push_back(std::move(inner));
      pos = close;
    }
  }
  return placeholders;
}

std::string ComposeArticleUrl(std::string_view urlTemplate, const std::vector<std::string>& placeholders,
                              const Hit& hit) {
  // Keys are replaced one placeholder after another, left to right, but only in the template's own text: a
  // group text put in is never searched again, not even for a later key. Otherwise a page could write "[2]"
  // into group 1 and have group 2 copied once per occurrence, growing the address without bound.
  struct Piece {
    std::string_view text;
    bool fromTemplate;
  };
  std::vector<Piece> pieces{{urlTemplate, true}};
  std::vector<Piece> next;
  std::unordered_set<std::string_view> seen;  // a repeated key has nothing left to replace
  for (const std::string& placeholder : placeholders) {
    if (!seen.insert(placeholder).second) continue;
    const std::string key = "[" + placeholder + "]";
    const std::string& by = GroupRef(hit, ToInteger(placeholder));
    next.clear();
    for (const Piece& piece : pieces) {
      if (!piece.fromTemplate) {
        next.push_back(piece);
        continue;
      }
      std::size_t from = 0;
      while (true) {
        const Pos at = Find(piece.text, key, static_cast<Pos>(from) + 1);
        if (at == kNotFound) break;
        const std::size_t index = static_cast<std::size_t>(at - 1);
        next.push_back({piece.text.substr(from, index - from), true});
        next.push_back({by, false});
        from = index + key.size();
      }
      next.push_back({piece.text.substr(from), true});
    }
    pieces.swap(next);
  }
  std::size_t size = 0;
  for (const Piece& piece : pieces) size += piece.text.size();
  std::string url;
  url.reserve(size);
  for (const Piece& piece : pieces) url.append(piece.text);
  return url;
}

}  // namespace qw
