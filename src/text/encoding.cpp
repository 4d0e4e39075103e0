#include "text/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qw {
namespace {

// One conversion descriptor per thread and direction, opened on first use and reset before each conversion.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts input into out from index `written` on, within out's current size. Stops at the end of the
  // input, at the first sequence the converter rejects, or when out is full (then noRoom is set). Returns how
  // many input bytes were consumed.
  std::size_t Convert(std::string_view input, std::string& out, std::size_t& written, bool& noRoom) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* outPtr = out.data() + written;
    std::size_t outLeft = out.size() - written;
    const std::size_t result = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
    noRoom = result == static_cast<std::size_t>(-1) && errno == E2BIG;
    written = out.size() - outLeft;
    return input.size() - inLeft;
  }

 private:
  iconv_t cd_;
};

// Reads the UTF-8 sequence at the start of s (not empty). Returns its length when it is well formed;
// otherwise returns 0 and sets `invalid` to the length of its maximal ill-formed subpart (at least one byte),
// the bytes that one replacement character stands for. This is the Unicode practice that Windows' converter
// follows too: a truncated sequence is one replacement, every stray continuation byte is one more.
std::size_t Utf8Sequence(std::string_view s, std::size_t& invalid) {
  const unsigned char c = static_cast<unsigned char>(s[0]);
  invalid = 1;
  if (c < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;  // the range the second byte must lie in; later bytes are 0x80..0xBF
  unsigned char high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;   // overlong below U+0800
    if (c == 0xED) high = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;   // overlong below U+10000
    if (c == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= s.size()) {
      invalid = i;
      return 0;
    }
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < low || b > high) {
      invalid = i;
      return 0;
    }
    low = 0x80;
    high = 0xBF;
  }
  return length;
}

std::string_view UpToNul(std::string_view bytes) {
  const void* nul = std::memchr(bytes.data(), 0, bytes.size());
  return nul == nullptr ? bytes : bytes.substr(0, static_cast<const char*>(nul) - bytes.data());
}

}  // namespace

std::string Utf8ToGbk(std::string_view bytes) {
  // A NUL byte is never part of a multi-byte UTF-8 sequence, so cutting the input there cuts the result
  // there.
  bytes = UpToNul(bytes);
  if (bytes.empty()) return {};
  thread_local Converter converter("CP936", "UTF-8");
  // GBK never takes more bytes than UTF-8 for the same character, and a replacement takes one byte.
  std::string out(bytes.size(), '\0');
  std::size_t written = 0;
  while (!bytes.empty()) {
    bool noRoom = false;
    const std::size_t used = converter.ok() ? converter.Convert(bytes, out, written, noRoom) : 0;
    bytes.remove_prefix(used);
    if (bytes.empty()) break;
    if (noRoom || out.size() - written < 8) {  // room for a replacement and the next try: grow and go on
      out.resize(out.size() + bytes.size() + 16);
      continue;
    }
    // Rejected here: a character GBK lacks, or a sequence that is not UTF-8. Either becomes one "?".
    std::size_t invalid = 0;
    const std::size_t valid = Utf8Sequence(bytes, invalid);
    out[written++] = '?';
    bytes.remove_prefix(valid != 0 ? valid : invalid);
  }
  out.resize(written);
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  gbk = UpToNul(gbk);
  if (gbk.empty()) return {};
  thread_local Converter converter("UTF-8", "CP936");
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  // Every GBK byte becomes at most three UTF-8 bytes (a replacement character included).
  std::string out(gbk.size() * 3, '\0');
  std::size_t written = 0;
  while (!gbk.empty()) {
    bool noRoom = false;
    const std::size_t used = converter.ok() ? converter.Convert(gbk, out, written, noRoom) : 0;
    gbk.remove_prefix(used);
    if (gbk.empty()) break;
    if (noRoom || out.size() - written < 8) {  // room for a replacement and the next try: grow and go on
      out.resize(out.size() + gbk.size() * 3 + 16);
      continue;
    }
    std::memcpy(out.data() + written, kReplacement, 3);
    written += 3;
    // A lead byte and the non-ASCII byte after it form one character even when GBK leaves it unassigned, so
    // both become the one replacement and the following characters stay aligned. An ASCII byte after a lead
    // byte is not a valid second byte: only the lead is lost, and the ASCII character (a line break, say)
    // survives.
    const unsigned char lead = static_cast<unsigned char>(gbk[0]);
    const bool pair =
        lead >= 0x81 && lead <= 0xFE && gbk.size() >= 2 && static_cast<unsigned char>(gbk[1]) >= 0x80;
    gbk.remove_prefix(pair ? 2 : 1);
  }
  out.resize(written);
  return out;
}

std::optional<std::string> ExactGbk(std::string_view utf8) {
  if (utf8.find('\0') != std::string_view::npos) return std::nullopt;
  std::string gbk = Utf8ToGbk(utf8);
  // A refused character or sequence becomes "?", and no GBK character holds that byte (a second byte is
  // 0x40 or above), so a "?" more than the text had marks a loss.
  if (std::count(gbk.begin(), gbk.end(), '?') != std::count(utf8.begin(), utf8.end(), '?'))
    return std::nullopt;
  return gbk;
}

std::optional<std::string> ExactUtf8(std::string_view gbk) {
  if (gbk.find('\0') != std::string_view::npos) return std::nullopt;
  std::string utf8 = GbkToUtf8(gbk);
  if (Utf8ToGbk(utf8) != gbk) return std::nullopt;
  return utf8;
}

}  // namespace qw
