#include "text/byte_search.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QW_X86_SEARCH 1
#endif

#include "text/simd_level.h"

namespace qw {
namespace {

// How common a byte is in the pages the system reads (HTML with ASCII markup, GBK Chinese text): the search
// filters on the needle's least common bytes, so few positions need a full comparison.
int Commonness(unsigned char c) {
  if (c == ' ' || c == '<' || c == '>' || c == '"' || c == '=' || c == '/' || c == '\r' || c == '\n')
    return 4;
  if (std::strchr("etaoinsrdlchpum", c) != nullptr && c != 0) return 3;
  if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':' || c == '\t')
    return 2;
  if (c >= 0x80) return 2;  // each GBK byte value is moderately common in Chinese text
  if (c >= 'A' && c <= 'Z') return 1;
  return 0;  // rare punctuation and control bytes
}

// Picks the two needle offsets to filter on: the least common byte, then the least common other byte value
// (or at least another offset). The needle has two bytes or more.
void ChooseProbes(std::string_view needle, std::size_t& first, std::size_t& second) {
  first = 0;
  for (std::size_t i = 1; i < needle.size(); ++i) {
    if (Commonness(needle[i]) < Commonness(needle[first])) first = i;
  }
  second = first == 0 ? 1 : 0;
  bool distinct = needle[second] != needle[first];
  for (std::size_t i = 0; i < needle.size(); ++i) {
    if (i == first) continue;
    const bool iDistinct = needle[i] != needle[first];
    if ((iDistinct && !distinct) ||
        (iDistinct == distinct && Commonness(needle[i]) < Commonness(needle[second]))) {
      second = i;
      distinct = iDistinct;
    }
  }
}

std::size_t MemmemFrom(std::string_view haystack, std::string_view needle, std::size_t from) {
  const void* hit = memmem(haystack.data() + from, haystack.size() - from, needle.data(), needle.size());
  return hit == nullptr ? std::string_view::npos : static_cast<const char*>(hit) - haystack.data();
}

// Checks the candidate starts in a block: bit j of mask marks position base + j. Returns the first real
// match, or npos; counts the failed comparisons so a hostile text can be handed to memmem.
inline std::size_t CheckCandidates(std::string_view haystack, std::string_view needle, std::size_t base,
                                   unsigned mask, std::size_t& misses) {
  while (mask != 0) {
    const std::size_t at = base + static_cast<unsigned>(__builtin_ctz(mask));
    if (std::memcmp(haystack.data() + at, needle.data(), needle.size()) == 0) return at;
    ++misses;
    mask &= mask - 1;
  }
  return std::string_view::npos;
}

// Beyond this many failed comparisons per 64 bytes scanned (plus a small allowance), the filter bytes are too
// common in this text and memmem, whose worst case is linear, takes over.
inline bool TooManyMisses(std::size_t misses, std::size_t scanned) { return misses > 64 + scanned / 64; }

#ifdef QW_X86_SEARCH

// Four 32-byte comparisons per round: the haystack's bytes at the two probe offsets against the needle's.
__attribute__((target("avx2"))) inline __m256i Avx2Probe(const char* p1, const char* p2, __m256i a,
                                                         __m256i b) {
  return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p1)), a),
                          _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p2)), b));
}

__attribute__((target("avx2"))) std::size_t SearchAvx2(std::string_view haystack, std::string_view needle,
                                                       std::size_t first, std::size_t second) {
  constexpr std::size_t kBlock = 128;
  const std::size_t lastStart = haystack.size() - needle.size();
  const __m256i a = _mm256_set1_epi8(needle[first]);
  const __m256i b = _mm256_set1_epi8(needle[second]);
  const char* p1 = haystack.data() + first;
  const char* p2 = haystack.data() + second;
  std::size_t misses = 0;
  std::size_t pos = 0;
  // Every start pos .. pos + 127 is a valid start, so all loads stay inside the haystack.
  for (; pos + kBlock - 1 <= lastStart; pos += kBlock) {
    __m256i m[4];
    for (int k = 0; k < 4; ++k) m[k] = Avx2Probe(p1 + pos + 32 * k, p2 + pos + 32 * k, a, b);
    const __m256i any = _mm256_or_si256(_mm256_or_si256(m[0], m[1]), _mm256_or_si256(m[2], m[3]));
    if (_mm256_testz_si256(any, any)) continue;
    for (int k = 0; k < 4; ++k) {
      const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(m[k]));
      const std::size_t at = CheckCandidates(haystack, needle, pos + 32 * k, mask, misses);
      if (at != std::string_view::npos) return at;
    }
    if (TooManyMisses(misses, pos)) return MemmemFrom(haystack, needle, pos + kBlock);
  }
  return MemmemFrom(haystack, needle, pos);
}

// The same filter on 64-byte vectors, where the processor has AVX-512BW.
__attribute__((target("avx512f,avx512bw"))) std::size_t SearchAvx512(std::string_view haystack,
                                                                     std::string_view needle,
                                                                     std::size_t first, std::size_t second) {
  constexpr std::size_t kBlock = 128;
  const std::size_t lastStart = haystack.size() - needle.size();
  const __m512i a = _mm512_set1_epi8(needle[first]);
  const __m512i b = _mm512_set1_epi8(needle[second]);
  const char* p1 = haystack.data() + first;
  const char* p2 = haystack.data() + second;
  std::size_t misses = 0;
  std::size_t pos = 0;
  for (; pos + kBlock - 1 <= lastStart; pos += kBlock) {
    const __mmask64 m0 = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p1 + pos), a) &
                         _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p2 + pos), b);
    const __mmask64 m1 = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p1 + pos + 64), a) &
                         _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p2 + pos + 64), b);
    if ((m0 | m1) == 0) continue;
    for (int k = 0; k < 4; ++k) {
      const std::uint64_t m = k < 2 ? m0 : m1;
      const unsigned mask = static_cast<unsigned>(m >> (32 * (k & 1)));
      const std::size_t at = CheckCandidates(haystack, needle, pos + 32 * k, mask, misses);
      if (at != std::string_view::npos) return at;
    }
    if (TooManyMisses(misses, pos)) return MemmemFrom(haystack, needle, pos + kBlock);
  }
  return MemmemFrom(haystack, needle, pos);
}

std::size_t SearchSse2(std::string_view haystack, std::string_view needle, std::size_t first,
                       std::size_t second) {
  constexpr std::size_t kBlock = 32;
  const std::size_t lastStart = haystack.size() - needle.size();
  const __m128i a = _mm_set1_epi8(needle[first]);
  const __m128i b = _mm_set1_epi8(needle[second]);
  const char* p1 = haystack.data() + first;
  const char* p2 = haystack.data() + second;
  std::size_t misses = 0;
  std::size_t pos = 0;
  for (; pos + kBlock - 1 <= lastStart; pos += kBlock) {
    const __m128i* q1 = reinterpret_cast<const __m128i*>(p1 + pos);
    const __m128i* q2 = reinterpret_cast<const __m128i*>(p2 + pos);
    const __m128i m0 =
        _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(q1), a), _mm_cmpeq_epi8(_mm_loadu_si128(q2), b));
    const __m128i m1 =
        _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(q1 + 1), a), _mm_cmpeq_epi8(_mm_loadu_si128(q2 + 1), b));
    const unsigned mask =
        static_cast<unsigned>(_mm_movemask_epi8(m0)) | (static_cast<unsigned>(_mm_movemask_epi8(m1)) << 16);
    if (mask == 0) continue;
    const std::size_t at = CheckCandidates(haystack, needle, pos, mask, misses);
    if (at != std::string_view::npos) return at;
    if (TooManyMisses(misses, pos)) return MemmemFrom(haystack, needle, pos + kBlock);
  }
  return MemmemFrom(haystack, needle, pos);
}

#endif  // QW_X86_SEARCH

}  // namespace

SearchLevel BestSearchLevel() {
  switch (BestSimdLevel()) {
    case SimdLevel::kAvx512Vbmi2:  // the search has no use for the byte compress
    case SimdLevel::kAvx512:
      return SearchLevel::kAvx512;
    case SimdLevel::kAvx2:
      return SearchLevel::kAvx2;
    case SimdLevel::kSse2:
      return SearchLevel::kSse2;
    case SimdLevel::kPortable:
      break;
  }
  return SearchLevel::kMemmem;
}

std::size_t SearchBytes(std::string_view haystack, std::string_view needle, SearchLevel level) {
  if (needle.empty()) return 0;
  if (needle.size() > haystack.size()) return std::string_view::npos;
  if (needle.size() == 1) {
    const void* hit = std::memchr(haystack.data(), static_cast<unsigned char>(needle[0]), haystack.size());
    return hit == nullptr ? std::string_view::npos : static_cast<const char*>(hit) - haystack.data();
  }
  // Never use instructions the processor lacks, whatever the caller asked for.
  level = std::min(level, BestSearchLevel());
#ifdef QW_X86_SEARCH
  if (level != SearchLevel::kMemmem) {
    std::size_t first = 0;
    std::size_t second = 0;
    ChooseProbes(needle, first, second);
    if (level == SearchLevel::kAvx512) return SearchAvx512(haystack, needle, first, second);
    if (level == SearchLevel::kAvx2) return SearchAvx2(haystack, needle, first, second);
    return SearchSse2(haystack, needle, first, second);
  }
#endif
  return MemmemFrom(haystack, needle, 0);
}

std::size_t SearchBytes(std::string_view haystack, std::string_view needle) {
  return SearchBytes(haystack, needle, BestSearchLevel());
}

}  // namespace qw
