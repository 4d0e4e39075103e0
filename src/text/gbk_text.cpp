#include "text/gbk_text.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "text/byte_search.h"
#include "text/encoding.h"

namespace qw {
namespace {

inline bool IsLead(unsigned char byte) { return byte >= 0x80; }

inline unsigned char AsciiLower(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// Length of the character starting at index i (a lone lead byte at the end counts as one).
inline std::size_t CharLength(std::string_view text, std::size_t i) {
  return (IsLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

// The full-width space 0xA1 0xA1 at index i, or the half-width space.
inline std::size_t SpaceLength(std::string_view text, std::size_t i) {
  if (text[i] == ' ') return 1;
  if (static_cast<unsigned char>(text[i]) == 0xA1 && i + 1 < text.size() &&
      static_cast<unsigned char>(text[i + 1]) == 0xA1) {
    return 2;
  }
  return 0;
}

// Compares n bytes of the text at a (a character start) with the part at b, ASCII letters without regard to
// case. The second byte of a two-byte character in the text is compared exactly: it may look like an ASCII
// letter, but folding it would turn the character into a different one.
bool CaseFreeEqual(const char* a, const char* b, std::size_t n) {
  bool trail = false;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char ta = static_cast<unsigned char>(a[i]);
    const unsigned char tb = static_cast<unsigned char>(b[i]);
    if (trail) {
      if (ta != tb) return false;
      trail = false;
    } else {
      if (AsciiLower(ta) != AsciiLower(tb)) return false;
      trail = IsLead(ta);
    }
  }
  return true;
}

// Tells whether 0-based index p is a character start, given that `known` (<= p) is one. A byte below 0x80 is
// always followed by a character start (it is a one-byte character or the second byte of a pair), so only the
// run of lead-range bytes just before p matters: p starts a character when that run has even length.
inline bool IsCharStart(std::string_view text, std::size_t known, std::size_t p) {
  std::size_t q = p;
  while (q > known && IsLead(static_cast<unsigned char>(text[q - 1]))) --q;
  return ((p - q) & 1u) == 0;
}

// Index (0-based) of the first case-sensitive occurrence at a character start, scanning from character start
// `from`; npos when none. A fast byte search proposes candidates and the boundary check confirms them.
std::size_t FindExact(std::string_view text, std::string_view part, std::size_t from) {
  std::size_t known = from;
  while (from + part.size() <= text.size()) {
    const std::size_t hit = SearchBytes(text.substr(from), part);
    if (hit == std::string_view::npos) return std::string_view::npos;
    const std::size_t p = from + hit;
    if (IsCharStart(text, known, p)) return p;
    // p is the second byte of a pair, so p + 1 starts a character.
    known = from = p + 1;
  }
  return std::string_view::npos;
}

std::size_t FindCaseFree(std::string_view text, std::string_view part, std::size_t from) {
  for (std::size_t i = from; i + part.size() <= text.size(); i += CharLength(text, i)) {
    if (CaseFreeEqual(text.data() + i, part.data(), part.size())) return i;
  }
  return std::string_view::npos;
}

// 0-based search for a non-empty part from a character start.
inline std::size_t FindIndex(std::string_view text, std::string_view part, std::size_t from, bool caseFree) {
  return caseFree ? FindCaseFree(text, part, from) : FindExact(text, part, from);
}

}  // namespace

Pos Find(std::string_view text, std::string_view part, Pos start, bool caseFree) {
  const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
  if (from >= text.size()) return kNotFound;
  if (part.empty()) return static_cast<Pos>(from) + 1;
  const std::size_t at = FindIndex(text, part, from, caseFree);
  return at == std::string_view::npos ? kNotFound : static_cast<Pos>(at) + 1;
}

Pos FindLast(std::string_view text, std::string_view part, Pos start, bool caseFree) {
  if (start <= 1) return kNotFound;
  const std::string_view head =
      text.substr(0, std::min<std::size_t>(text.size(), static_cast<std::size_t>(start - 1)));
  Pos last = kNotFound;
  if (part.empty()) {
    // Every character position matches; the last one is wanted.
    for (std::size_t i = 0; i < head.size(); i += CharLength(head, i)) last = static_cast<Pos>(i) + 1;
    return last;
  }
  std::size_t from = 0;
  while (true) {
    const std::size_t at = FindIndex(head, part, from, caseFree);
    if (at == std::string_view::npos) return last;
    last = static_cast<Pos>(at) + 1;
    from = at + CharLength(head, at);
  }
}

std::string ReplaceAll(std::string_view text, std::string_view part, std::string_view by,
                       bool caseSensitive) {
  if (part.empty()) return std::string(text);
  std::string out;
  std::size_t from = 0;
  std::size_t at = FindIndex(text, part, 0, !caseSensitive);
  if (at == std::string_view::npos) return std::string(text);
  out.reserve(text.size());
  while (at != std::string_view::npos) {
    out.append(text.data() + from, at - from);
    out.append(by);
    from = at + part.size();
    at = FindIndex(text, part, from, !caseSensitive);
  }
  out.append(text.data() + from, text.size() - from);
  return out;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t from = 0;
  while (true) {
    const std::size_t at = FindExact(text, separator, from);
    if (at == std::string_view::npos) {
      if (from < text.size()) pieces.emplace_back(text.substr(from));
      return pieces;
    }
    pieces.emplace_back(text.substr(from, at - from));
    from = at + separator.size();
  }
}

std::string Trim(std::string_view text) {
  std::size_t first = text.size();
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t space = SpaceLength(text, i);
    const std::size_t step = space != 0 ? space : CharLength(text, i);
    if (space == 0) {
      first = std::min(first, i);
      end = i + step;
    }
    i += step;
  }
  return first < end ? std::string(text.substr(first, end - first)) : std::string();
}

std::string RemoveSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t space = SpaceLength(text, i);
    if (space != 0) {
      i += space;
      continue;
    }
    const std::size_t step = CharLength(text, i);
    out.append(text.data() + i, step);
    i += step;
  }
  return out;
}

std::string Left(std::string_view text, Pos n) {
  if (n <= 0) return {};
  return std::string(
      text.substr(0, static_cast<std::size_t>(std::min<Pos>(n, static_cast<Pos>(text.size())))));
}

std::string Right(std::string_view text, Pos n) {
  if (n <= 0) return {};
  const std::size_t take = static_cast<std::size_t>(std::min<Pos>(n, static_cast<Pos>(text.size())));
  return std::string(text.substr(text.size() - take));
}

std::string Mid(std::string_view text, Pos start, Pos n) {
  if (n <= 0 || start < 1 || start > static_cast<Pos>(text.size())) return {};
  return std::string(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n)));
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size();) {
    const unsigned char byte = static_cast<unsigned char>(out[i]);
    if (IsLead(byte)) {
      i += 2;
    } else {
      out[i] = static_cast<char>(AsciiLower(byte));
      ++i;
    }
  }
  return out;
}

bool Equal(std::string_view a, std::string_view b) { return a == b; }

namespace {

// The marker with every "#引号" token turned into a double quote. Markers rarely hold the token, so a
// rewritten copy is made (in storage) only when the marker has a "#" at all.
std::string_view ExpandQuoteToken(std::string_view marker, std::string& storage) {
  if (marker.find('#') == std::string_view::npos) return marker;
  storage = ReplaceAll(marker, QW_GBK("#引号"), "\"", true);
  return storage;
}

}  // namespace

std::string CutRegion(std::string_view text, std::string_view startMarker, std::string_view endMarker) {
  std::string startStorage;
  std::string endStorage;
  const std::string_view start = ExpandQuoteToken(startMarker, startStorage);
  const std::string_view end = ExpandQuoteToken(endMarker, endStorage);
  if (end.empty()) return {};
  const Pos s = Find(text, start, 1);
  if (s == kNotFound) return {};
  const Pos regionStart = s + static_cast<Pos>(start.size());
  const Pos e = Find(text, end, regionStart);
  if (e == kNotFound) return {};
  return std::string(
      text.substr(static_cast<std::size_t>(regionStart - 1), static_cast<std::size_t>(e - regionStart)));
}

namespace {

// Yields the text's bytes with full-width digits, signs and spaces narrowed to ASCII.
class NarrowingReader {
 public:
  explicit NarrowingReader(std::string_view text) : text_(text) {}

  // The next narrowed byte, or -1 at the end.
  int Next() {
    if (pending_ >= 0) {
      const int byte = pending_;
      pending_ = -1;
      return byte;
    }
    if (i_ >= text_.size()) return -1;
    const unsigned char lead = static_cast<unsigned char>(text_[i_]);
    if (!IsLead(lead) || i_ + 1 >= text_.size()) {
      ++i_;
      return lead;
    }
    const unsigned char trail = static_cast<unsigned char>(text_[i_ + 1]);
    i_ += 2;
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) return trail & 0x7F;
    if (lead == 0xA1) {
      if (trail == 0xA1) return ' ';
      if (trail == 0xAB) return '~';
      if (trail == 0xEE || trail == 0xEF) return '*';
    }
    pending_ = trail;
    return lead;
  }

 private:
  std::string_view text_;
  std::size_t i_ = 0;
  int pending_ = -1;
};

inline bool IsCSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::int32_t ToInteger(std::string_view text) {
  NarrowingReader reader(text);
  int c = reader.Next();
  while (IsCSpace(c)) c = reader.Next();
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = (c == '-');
    c = reader.Next();
  }
  // Accumulate as a negative number so that INT32_MIN is reachable; saturate instead of overflowing.
  std::int64_t value = 0;
  while (c >= '0' && c <= '9') {
    value = value * 10 - (c - '0');
    if (value < -static_cast<std::int64_t>(INT32_MAX) - 1) {
      value = -static_cast<std::int64_t>(INT32_MAX) - 1;
      if (!negative) return INT32_MAX;
      return INT32_MIN;
    }
    c = reader.Next();
  }
  if (negative) return static_cast<std::int32_t>(value);
  return value < -static_cast<std::int64_t>(INT32_MAX) ? INT32_MAX : static_cast<std::int32_t>(-value);
}

}  // namespace qw
