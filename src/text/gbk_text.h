#pragma once
// Text operations on GBK byte strings.
//
// A text is a sequence of GBK (code page 936) bytes. A byte of 0x80 or above is the lead byte of a two-byte
// character together with the byte after it; every other byte is one character. Positions are 1-based byte
// positions, lengths count bytes, and a search that finds nothing yields -1. Searches step character by
// character, so a match never begins on the second byte of a two-byte character.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qw {

// A 1-based byte position, or -1 for "not found".
using Pos = std::ptrdiff_t;
inline constexpr Pos kNotFound = -1;
// FindLast without a start position searches the whole text.
inline constexpr Pos kToEnd = PTRDIFF_MAX;

// Position of the first occurrence of part at or after start, or -1. An empty part is found at start when at
// least one byte remains there. caseFree compares ASCII letters without regard to case.
Pos Find(std::string_view text, std::string_view part, Pos start = 1, bool caseFree = false);

// Position of the last occurrence lying wholly within the first start - 1 bytes (the whole text by default),
// or -1.
Pos FindLast(std::string_view text, std::string_view part, Pos start = kToEnd, bool caseFree = false);

// Every occurrence of part replaced by by, left to right; inserted text is never searched again.
std::string ReplaceAll(std::string_view text, std::string_view part, std::string_view by, bool caseSensitive);

// The pieces between occurrences of separator. Inner empty pieces remain, a final empty piece is dropped, and
// an empty text gives no pieces.
std::vector<std::string> Split(std::string_view text, std::string_view separator);

// Removes half-width (0x20) and full-width (0xA1 0xA1) spaces at both ends, or everywhere.
std::string Trim(std::string_view text);
std::string RemoveSpaces(std::string_view text);

// Byte cuts; lengths of 0 or less and starts outside the text give the empty text.
std::string Left(std::string_view text, Pos n);
std::string Right(std::string_view text, Pos n);
std::string Mid(std::string_view text, Pos start, Pos n);

// ASCII letters lowered; second bytes of two-byte characters are never changed.
std::string Lower(std::string_view text);

bool Equal(std::string_view a, std::string_view b);

// The text between the first startMarker and the first endMarker after it, case-sensitive, or empty when
// either is missing. The token "#引号" in a marker stands for a double quote. An empty startMarker starts at
// the first byte; an empty endMarker always gives the empty text.
std::string CutRegion(std::string_view text, std::string_view startMarker, std::string_view endMarker);

// Full-width digits, signs and spaces narrowed to ASCII, then read as atoi does; saturates at the 32-bit
// limits.
std::int32_t ToInteger(std::string_view text);

}  // namespace qw
