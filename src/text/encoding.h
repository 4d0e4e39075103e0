#pragma once
// Conversion between UTF-8 and GBK (code page 936, the euro sign at 0x80 included).

#include <optional>
#include <string>
#include <string_view>

namespace qw {

// UTF-8 page bytes to GBK text. Invalid UTF-8 and characters GBK lacks become "?"; never fails. The result
// ends at the first NUL byte.
std::string Utf8ToGbk(std::string_view bytes);

// GBK text to UTF-8, for showing texts in the windows. Invalid GBK becomes U+FFFD. Ends at the first NUL
// byte.
std::string GbkToUtf8(std::string_view gbk);

// The two conversions for texts that must arrive byte for byte (a scheme carried in a file): nothing where
// the lossy forms above would replace or cut. ExactGbk refuses text that is not UTF-8, holds a NUL or a
// character GBK lacks; ExactUtf8 refuses bytes that are no GBK character or a NUL, so its result converts
// back to the same bytes.
std::optional<std::string> ExactGbk(std::string_view utf8);
std::optional<std::string> ExactUtf8(std::string_view gbk);

}  // namespace qw

// A GBK copy of a UTF-8 source literal, converted once per call site and kept for the process lifetime.
#define QW_GBK(literal)                                            \
  ([]() -> const std::string& {                                    \
    static const std::string converted = ::qw::Utf8ToGbk(literal); \
    return converted;                                              \
  }())
