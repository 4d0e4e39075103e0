// Drives every text operation and both conversions with one text and a few parts cut from the input, and
// checks each result against a plain character-by-character model of the operation or against invariants.
#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "text/byte_search.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace {

using qw::Pos;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

std::size_t CharLength(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1;
}

unsigned char Fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// Does part match the text at i, case-free on ASCII letters that are not second bytes?
bool MatchesAt(std::string_view text, std::size_t i, std::string_view part, bool caseFree) {
  if (i + part.size() > text.size()) return false;
  bool trail = false;
  for (std::size_t k = 0; k < part.size(); ++k) {
    const unsigned char t = text[i + k];
    const unsigned char p = part[k];
    const bool exact = !caseFree || trail;
    if (exact ? t != p : Fold(t) != Fold(p)) return false;
    trail = !trail && t >= 0x80;
  }
  return true;
}

// The scan the operations are defined by: character starts from `from` on.
Pos ModelFind(std::string_view text, std::string_view part, Pos start, bool caseFree) {
  const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
  if (from >= text.size()) return -1;
  if (part.empty()) return static_cast<Pos>(from) + 1;
  for (std::size_t i = from; i < text.size(); i += CharLength(text, i)) {
    if (MatchesAt(text, i, part, caseFree)) return static_cast<Pos>(i) + 1;
  }
  return -1;
}

Pos ModelFindLast(std::string_view text, std::string_view part, Pos start, bool caseFree) {
  if (start <= 1) return -1;
  const std::string_view head = text.substr(0, std::min<std::size_t>(text.size(), start - 1));
  Pos last = -1;
  for (std::size_t i = 0; i < head.size(); i += CharLength(head, i)) {
    if (part.empty() || MatchesAt(head, i, part, caseFree)) last = static_cast<Pos>(i) + 1;
  }
  return last;
}

std::string ModelReplaceAll(std::string_view text, std::string_view part, std::string_view by,
                            bool caseSensitive) {
  if (part.empty()) return std::string(text);
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (MatchesAt(text, i, part, !caseSensitive)) {
      out += by;
      i += part.size();
    } else {
      const std::size_t n = CharLength(text, i);
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

bool IsSpaceAt(std::string_view s, std::size_t i) {
  return s[i] == ' ' || (static_cast<unsigned char>(s[i]) == 0xA1 && i + 1 < s.size() &&
                         static_cast<unsigned char>(s[i + 1]) == 0xA1);
}

std::int32_t ModelToInteger(std::string_view text) {
  std::string narrowed;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char a = text[i];
    if (CharLength(text, i) == 2) {
      const unsigned char b = text[i + 1];
      if (a == 0xA3 && b >= 0xA1 && b <= 0xFE) {
        narrowed += static_cast<char>(b & 0x7F);
      } else if (a == 0xA1 && b == 0xA1) {
        narrowed += ' ';
      } else if (a == 0xA1 && b == 0xAB) {
        narrowed += '~';
      } else if (a == 0xA1 && (b == 0xEE || b == 0xEF)) {
        narrowed += '*';
      } else {
        narrowed.append(text.substr(i, 2));
      }
      i += 2;
    } else {
      narrowed += static_cast<char>(a);
      ++i;
    }
  }
  // strtoll reads as atoi does and saturates at the 64-bit limits; the 32-bit limits lie within.
  const long long value = std::strtoll(narrowed.c_str(), nullptr, 10);
  return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(value);
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = s[i];
    std::size_t n = c < 0x80                 ? 1
                    : c >= 0xC2 && c <= 0xDF ? 2
                    : c >= 0xE0 && c <= 0xEF ? 3
                    : c >= 0xF0 && c <= 0xF4 ? 4
                                             : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::uint8_t flags = input.ConsumeIntegral<std::uint8_t>();
  const bool caseFree = flags & 1;
  // Positions near the text and, now and then, far outside it.
  const Pos start = (flags & 2) ? input.ConsumeIntegral<Pos>() : input.ConsumeIntegralInRange<Pos>(-2, 300);
  const Pos length = (flags & 4) ? input.ConsumeIntegral<Pos>() : input.ConsumeIntegralInRange<Pos>(-2, 300);
  const std::string part = input.ConsumeRandomLengthString(32);
  const std::string endMarker = input.ConsumeRandomLengthString(32);
  const std::string by = input.ConsumeRandomLengthString(8);
  const std::string text = input.ConsumeRemainingBytesAsString();

  // Every variant of the byte search agrees with memmem.
  const void* hit = memmem(text.data(), text.size(), part.data(), part.size());
  const std::size_t expectedHit =
      hit == nullptr ? std::string_view::npos : static_cast<const char*>(hit) - text.data();
  for (qw::SearchLevel level :
       {qw::SearchLevel::kMemmem, qw::SearchLevel::kSse2, qw::SearchLevel::kAvx2, qw::SearchLevel::kAvx512}) {
    Check(qw::SearchBytes(text, part, level) == expectedHit, "SearchBytes");
  }

  // Find and FindLast agree with the scan; a hit is a character start (from the scan's start) holding part.
  const Pos found = qw::Find(text, part, start, caseFree);
  Check(found == ModelFind(text, part, start, caseFree), "Find");
  if (found != -1 && start <= 1) {
    Check(found >= 1 && static_cast<std::size_t>(found) <= text.size(), "Find in range");
    Check(MatchesAt(text, found - 1, part, caseFree), "Find holds part");
    std::size_t i = 0;
    while (i < static_cast<std::size_t>(found - 1)) i += CharLength(text, i);
    Check(i == static_cast<std::size_t>(found - 1), "Find at a character start");
  }
  Check(qw::FindLast(text, part, start, caseFree) == ModelFindLast(text, part, start, caseFree), "FindLast");
  Check(qw::FindLast(text, part, qw::kToEnd, caseFree) == ModelFindLast(text, part, qw::kToEnd, caseFree),
        "FindLast to the end");

  // ReplaceAll in both cases; an absent part gives the text back.
  const std::string replaced = qw::ReplaceAll(text, part, by, !caseFree);
  Check(replaced == ModelReplaceAll(text, part, by, !caseFree), "ReplaceAll");
  if (ModelFind(text, part, 1, caseFree) == -1) Check(replaced == text, "ReplaceAll of an absent part");

  // Split then joining with the separator gives the text, less at most one final separator.
  const std::vector<std::string> pieces = qw::Split(text, part);
  if (!part.empty()) {
    std::string joined;
    for (std::size_t k = 0; k < pieces.size(); ++k) joined += (k == 0 ? "" : part) + pieces[k];
    Check(joined == text || joined + part == text, "Split joins back");
  }
  Check(!text.empty() || pieces.empty(), "Split of the empty text");

  // Trim gives a substring with no space at either end; RemoveSpaces leaves none at any character start.
  const std::string trimmed = qw::Trim(text);
  Check(text.find(trimmed) != std::string::npos, "Trim is a substring");
  if (!trimmed.empty()) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < trimmed.size(); i += CharLength(trimmed, i)) last = i;
    Check(!IsSpaceAt(trimmed, 0) && !IsSpaceAt(trimmed, last), "Trim ends");
  }
  const std::string noSpaces = qw::RemoveSpaces(text);
  Check(noSpaces.size() <= text.size(), "RemoveSpaces shrinks");
  for (std::size_t i = 0; i < noSpaces.size(); i += CharLength(noSpaces, i)) {
    Check(!IsSpaceAt(noSpaces, i), "RemoveSpaces leaves no space");
  }

  // Byte cuts stay inside the text.
  const std::string left = qw::Left(text, length);
  const std::string right = qw::Right(text, length);
  const std::string mid = qw::Mid(text, start, length);
  Check(text.compare(0, left.size(), left) == 0, "Left is a prefix");
  Check(right.size() <= text.size() && text.compare(text.size() - right.size(), right.size(), right) == 0,
        "Right is a suffix");
  Check(mid.empty() || text.compare(start - 1, mid.size(), mid) == 0, "Mid is the bytes at start");
  Check(static_cast<Pos>(left.size()) == std::max<Pos>(0, std::min<Pos>(length, text.size())), "Left length");

  // Lower changes only ASCII capitals at character starts.
  const std::string lower = qw::Lower(text);
  Check(lower.size() == text.size(), "Lower keeps the length");
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    Check(lower[i] == static_cast<char>(Fold(text[i])), "Lower of a character start");
    if (CharLength(text, i) == 2) Check(lower[i + 1] == text[i + 1], "Lower keeps second bytes");
  }

  // CutRegion gives the bytes between the markers (with the quote token), always a substring of the text.
  const std::string region = qw::CutRegion(text, part, endMarker);
  Check(text.find(region) != std::string::npos, "CutRegion is a substring");
  const std::string quote = QW_GBK("#引号");
  const std::string s = ModelReplaceAll(part, quote, "\"", true);
  const std::string e = ModelReplaceAll(endMarker, quote, "\"", true);
  std::string expected;
  const Pos sp = ModelFind(text, s, 1, false);
  if (!e.empty() && sp != -1) {
    const Pos after = sp + static_cast<Pos>(s.size());
    const Pos ep = ModelFind(text, e, after, false);
    if (ep != -1) expected = text.substr(after - 1, ep - after);
  }
  Check(region == expected, "CutRegion");

  Check(qw::ToInteger(text) == ModelToInteger(UpToNul(text)), "ToInteger");
  Check(qw::Equal(text, text) && (text.empty() || !qw::Equal(text, text + "x")), "Equal");

  // Conversions: no NUL, never longer than the input, valid output, and GBK text survives a round trip.
  const std::string gbk = qw::Utf8ToGbk(text);
  Check(gbk.find('\0') == std::string::npos, "Utf8ToGbk has no NUL");
  Check(gbk.size() <= UpToNul(text).size(), "Utf8ToGbk no longer than the input");
  const std::string utf8 = qw::GbkToUtf8(text);
  Check(utf8.find('\0') == std::string::npos, "GbkToUtf8 has no NUL");
  Check(IsValidUtf8(utf8), "GbkToUtf8 gives UTF-8");
  Check(qw::Utf8ToGbk(qw::GbkToUtf8(gbk)) == gbk, "GBK round trip");
  if (IsValidUtf8(UpToNul(text))) Check(gbk.size() <= UpToNul(text).size(), "valid UTF-8 shrinks");
  return 0;
}
