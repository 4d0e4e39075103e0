#include "extract/pipeline.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <exception>
#include <locale>
#include <optional>
#include <unordered_set>

#include <boost/regex.hpp>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// FlattenLines makes its output available in slices of this size, small enough to stay in cache.
constexpr std::size_t kFlattenSlice = 16 << 10;

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
std::optional<boost::regex> Compile(std::string_view pattern) {
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
  } catch (const std::exception&) {
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

inline bool IsLead(char byte) { return static_cast<unsigned char>(byte) >= 0x80; }

// FlattenLines works on 64-byte blocks, each described by bit masks (bit i for byte i of the block).
struct BlockMasks {
  std::uint64_t cr = 0;
  std::uint64_t lf = 0;
  std::uint64_t lead = 0;  // bytes of 0x80 and above
};

inline BlockMasks Classify(const char* block) {
  BlockMasks m;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * k));
    const auto bits = [](int mask) { return static_cast<std::uint64_t>(static_cast<std::uint16_t>(mask)); };
    m.cr |= bits(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr))) << (16 * k);
    m.lf |= bits(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))) << (16 * k);
    m.lead |= bits(_mm_movemask_epi8(v)) << (16 * k);
  }
#else
  for (int k = 0; k < 64; ++k) {
    const std::uint64_t bit = std::uint64_t{1} << k;
    if (block[k] == '\r') m.cr |= bit;
    if (block[k] == '\n') m.lf |= bit;
    if (IsLead(block[k])) m.lead |= bit;
  }
#endif
  return m;
}

// Which bytes of a block are second bytes of two-byte characters. A run of lead-range bytes pairs up from its
// first byte, so a byte is a second byte exactly when an odd run of pairing lead-range bytes ends just before
// it; the run's parity comes from one subtraction over the whole block (the method simdjson uses for runs of
// backslashes). `carry` says whether the block's first byte is a second byte and is updated for the next
// block.
inline std::uint64_t SecondBytes(std::uint64_t lead, std::uint64_t& carry) {
  constexpr std::uint64_t kOddBits = 0xAAAAAAAAAAAAAAAAull;
  const std::uint64_t pairing = lead & ~carry;  // lead-range bytes that start a pair unless paired already
  const std::uint64_t code = (((pairing << 1) | kOddBits) - pairing) ^ kOddBits;
  const std::uint64_t second = code ^ (lead | carry);
  carry = (code & lead) >> 63;
  return second;
}

}  // namespace

std::string FlattenLines(std::string_view text) {
  // The same result as ReplaceAll(text, "\r\n", "", true): a pair goes only where its CR begins a character,
  // never where the CR is the second byte of a two-byte one. Blocks of 64 bytes are classified with vector
  // compares; nothing is written before the first pair, and from there kept bytes are moved down.
  const char* const data = text.data();
  const std::size_t size = text.size();
  std::string out;
  char* w = nullptr;      // next output byte, once a pair has been removed
  char* limit = nullptr;  // end of the output bytes made available so far
  // The output is made available (zero-filled by resize) a slice at a time just ahead of the writes, so the
  // filling happens in cache instead of as a separate pass over the whole text.
  const auto grow = [&] {
    const std::size_t used = static_cast<std::size_t>(w - out.data());
    out.resize(std::min(size, used + 128 + kFlattenSlice));
    w = out.data() + used;
    limit = out.data() + out.size();
  };
  std::uint64_t secondCarry = 0;  // the next block starts with a second byte
  std::uint64_t lfCarry = 0;      // the next block starts with the LF of a removed pair
  std::size_t i = 0;
  // A block reads up to 64 bytes past its start and writes up to 64 bytes past the output position; both stay
  // inside the text (the output never runs ahead of the input).
  for (; i + 128 <= size; i += 64) {
    const char* const block = data + i;
    const BlockMasks m = Classify(block);
    const std::uint64_t second = SecondBytes(m.lead, secondCarry);
    const std::uint64_t lfAfter = (m.lf >> 1) | (static_cast<std::uint64_t>(block[64] == '\n') << 63);
    std::uint64_t pairs = m.cr & ~second & lfAfter;  // CRs of the pairs that go
    const int skip = static_cast<int>(lfCarry);      // the LF of a pair that began in the block before
    lfCarry = pairs >> 63;
    if (w != nullptr && limit - w < 128) grow();
    if (pairs == 0 && skip == 0) {
      if (w != nullptr) {
        std::memcpy(w, block, 64);
        w += 64;
      }
      continue;
    }
    if (w == nullptr) {
      out.reserve(size);
      out.assign(data, i);
      w = out.data() + i;
      grow();
    }
    // Each kept run is moved with one fixed 64-byte copy; the bytes it writes past the run are overwritten by
    // the next one.
    int from = skip;
    while (pairs != 0) {
      const int cr = std::countr_zero(pairs);
      pairs &= pairs - 1;
      std::memcpy(w, block + from, 64);
      w += cr - from;
      from = cr + 2;
    }
    from = std::min(from, 64);
    std::memcpy(w, block + from, 64);
    w += 64 - from;
  }
  // The last bytes one character at a time.
  if (w != nullptr) {
    const std::size_t used = static_cast<std::size_t>(w - out.data());
    out.resize(used + (size - i));
    w = out.data() + used;
  }
  bool inPair = secondCarry != 0;
  if (lfCarry != 0) ++i;
  while (i < size) {
    const char c = data[i];
    if (!inPair && c == '\r' && i + 1 < size && data[i + 1] == '\n') {
      if (w == nullptr) {
        out.assign(text);
        w = out.data() + i;
      }
      i += 2;
      continue;
    }
    inPair = !inPair && IsLead(c);
    if (w != nullptr) *w++ = c;
    ++i;
  }
  if (w == nullptr) return std::string(text);
  out.resize(static_cast<std::size_t>(w - out.data()));
  return out;
}

std::vector<Hit> MatchAll(std::string_view pattern, std::string_view region) {
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
  while (hits.size() < kMaxHits && budget > 0) {
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

int GroupCount(std::string_view pattern) {
  const std::optional<boost::regex> re = Compile(pattern);
  return re ? static_cast<int>(re->mark_count()) : 0;
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
