#include "text/encoding.h"

#include <iconv.h>

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

  // Converts input, appending to out (which has room reserved by the caller). Stops at the first byte the
  // converter rejects and returns how many input bytes were consumed.
  std::size_t Convert(std::string_view input, std::string& out, std::size_t& written) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* outPtr = out.data() + written;
    std::size_t outLeft = out.size() - written;
    iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
    written = out.size() - outLeft;
    return input.size() - inLeft;
  }

 private:
  iconv_t cd_;
};

// Length of the well-formed UTF-8 sequence at the start of s, or 0 when it is not well formed.
std::size_t Utf8SequenceLength(std::string_view s) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const auto cont = [&](std::size_t i) { return i < s.size() && (b(i) & 0xC0) == 0x80; };
  const unsigned char c = b(0);
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (c == 0xE0 && b(1) < 0xA0) return 0;   // overlong
    if (c == 0xED && b(1) >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (c == 0xF0 && b(1) < 0x90) return 0;
    if (c == 0xF4 && b(1) >= 0x90) return 0;
    return 4;
  }
  return 0;
}

// Bytes of the maximal ill-formed prefix at the start of s (at least one), replaced by one character.
std::size_t Utf8InvalidLength(std::string_view s) {
  std::size_t n = 1;
  while (n < s.size() && n < 4 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80 &&
         Utf8SequenceLength(s.substr(n)) == 0) {
    ++n;
  }
  return n;
}

std::string_view UpToNul(std::string_view bytes) {
  const void* nul = std::memchr(bytes.data(), 0, bytes.size());
  return nul == nullptr ? bytes : bytes.substr(0, static_cast<const char*>(nul) - bytes.data());
}

}  // namespace

std::string Utf8ToGbk(std::string_view bytes) {
  // A NUL byte is never part of a multi-byte UTF-8 sequence, so cutting the input there cuts the result there.
  bytes = UpToNul(bytes);
  if (bytes.empty()) return {};
  thread_local Converter converter("CP936", "UTF-8");
  // GBK never takes more bytes than UTF-8 for the same character, and a replacement takes one byte.
  std::string out(bytes.size(), '\0');
  std::size_t written = 0;
  while (!bytes.empty()) {
    const std::size_t used = converter.ok() ? converter.Convert(bytes, out, written) : 0;
    bytes.remove_prefix(used);
    if (bytes.empty()) break;
    if (out.size() - written < 8) {  // stopped for room, not for the input: grow and go on
      out.resize(out.size() + bytes.size() + 16);
      continue;
    }
    // Rejected here: a character GBK lacks, or a sequence that is not UTF-8. Either becomes one "?".
    const std::size_t valid = Utf8SequenceLength(bytes);
    out[written++] = '?';
    bytes.remove_prefix(valid != 0 ? valid : Utf8InvalidLength(bytes));
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
    const std::size_t used = converter.ok() ? converter.Convert(gbk, out, written) : 0;
    gbk.remove_prefix(used);
    if (gbk.empty()) break;
    if (out.size() - written < 8) {  // stopped for room, not for the input: grow and go on
      out.resize(out.size() + gbk.size() * 3 + 16);
      continue;
    }
    std::memcpy(out.data() + written, kReplacement, 3);
    written += 3;
    // A pair with an invalid second byte loses only its first byte, so an ASCII byte after it survives.
    gbk.remove_prefix(1);
  }
  out.resize(written);
  return out;
}

}  // namespace qw
