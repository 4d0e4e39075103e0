// FlattenLines: the page text with every CR LF pair that begins a character removed.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QW_X86_FLATTEN 1
#endif

#include "extract/pipeline.h"

namespace qw {
namespace {

inline bool IsLead(char byte) { return static_cast<unsigned char>(byte) >= 0x80; }

// A 64-byte block described by bit masks, bit i for byte i of the block.
struct BlockMasks {
  std::uint64_t cr = 0;
  std::uint64_t lf = 0;
  std::uint64_t lead = 0;  // bytes of 0x80 and above
};

// Classifying a block is the only step that differs between instruction sets; one function per set.
inline BlockMasks ClassifyPortable(const char* block) {
  BlockMasks m;
  for (int k = 0; k < 64; ++k) {
    const std::uint64_t bit = std::uint64_t{1} << k;
    if (block[k] == '\r') m.cr |= bit;
    if (block[k] == '\n') m.lf |= bit;
    if (IsLead(block[k])) m.lead |= bit;
  }
  return m;
}

#ifdef QW_X86_FLATTEN

inline BlockMasks ClassifySse2(const char* block) {
  BlockMasks m;
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * k));
    const auto bits = [](int mask) { return static_cast<std::uint64_t>(static_cast<std::uint16_t>(mask)); };
    m.cr |= bits(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr))) << (16 * k);
    m.lf |= bits(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))) << (16 * k);
    m.lead |= bits(_mm_movemask_epi8(v)) << (16 * k);
  }
  return m;
}

__attribute__((target("avx2"))) inline BlockMasks ClassifyAvx2(const char* block) {
  BlockMasks m;
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  for (int k = 0; k < 2; ++k) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32 * k));
    const auto bits = [](int mask) { return static_cast<std::uint64_t>(static_cast<std::uint32_t>(mask)); };
    m.cr |= bits(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, cr))) << (32 * k);
    m.lf |= bits(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, lf))) << (32 * k);
    m.lead |= bits(_mm256_movemask_epi8(v)) << (32 * k);
  }
  return m;
}

// One load and three compares straight into mask registers.
__attribute__((target("avx512f,avx512bw"))) inline BlockMasks ClassifyAvx512(const char* block) {
  const __m512i v = _mm512_loadu_si512(block);
  return {_mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\r')),
          _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n')), _mm512_movepi8_mask(v)};
}

#endif  // QW_X86_FLATTEN

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

// Where a FlattenLines call stands. The block loops keep it in a local value, so that it lives in registers:
// the output is written through char pointers, which may alias any object in memory, so state kept in an
// object the loop reaches by reference would be stored and reloaded around every move.
struct Scan {
  const char* data;
  std::size_t size;
  std::size_t pos = 0;            // start of the next block
  char* w = nullptr;              // next output byte, once a pair has been removed
  std::uint64_t secondCarry = 0;  // the next block starts with a second byte
  int lfCarry = 0;                // the next block starts with the LF of a removed pair

  // Whether the next block can be taken. A block reads up to 128 bytes from its start: one byte past its end
  // for the LF of a pair that ends it, and 64 bytes from any offset within it when moving a run. Writes go up
  // to 64 bytes past the output position, which never runs ahead of the input, so they stay inside the
  // output.
  bool HasBlock() const { return pos + 128 <= size; }
  const char* Block() const { return data + pos; }
};

// The pairs to remove from one block.
struct BlockPairs {
  std::uint64_t crs = 0;  // bit i: a pair's CR at byte i (its LF follows, perhaps in the next block)
  int skip = 0;           // 1 when byte 0 is the LF of a pair that began in the block before
};

// One FlattenLines call. The block loop of each instruction set classifies a block, hands the masks to
// Advance, and, when Advance says so, writes the block's kept bytes at s.w with the moves of its instruction
// set.
class Flattener {
 public:
  explicit Flattener(std::string_view text) : scan_{text.data(), text.size()} {}

  Scan Begin() const { return scan_; }
  void End(const Scan& s) { scan_ = s; }

  // Finds the pairs of the block at s.pos and steps past it. Returns whether the block's kept bytes are to be
  // written: nothing is written before the first pair, so a text without one is returned as a plain copy.
  // When it returns true, the output has room for 128 bytes from s.w (it is as long as the text).
  __attribute__((always_inline)) inline bool Advance(Scan& s, const BlockMasks& m, BlockPairs& p) {
    const char* const block = s.data + s.pos;
    s.pos += 64;
    const std::uint64_t second = SecondBytes(m.lead, s.secondCarry);
    const std::uint64_t lfAfter = (m.lf >> 1) | (static_cast<std::uint64_t>(block[64] == '\n') << 63);
    p.crs = m.cr & ~second & lfAfter;
    p.skip = s.lfCarry;
    s.lfCarry = static_cast<int>(p.crs >> 63);
    if (s.w == nullptr) {
      if (p.crs == 0) return false;
      s = Start(s, block);
    }
    return true;
  }

  std::string Finish();

 private:
  // Makes the whole output available and copies the bytes before the first block with a pair. The output is
  // zero-filled once by resize (std::string has no way around that before C++23); filling it in cache-sized
  // slices just ahead of the writes measured no faster.
  Scan Start(Scan s, const char* block) {
    const std::size_t done = static_cast<std::size_t>(block - s.data);
    out_.resize(s.size);
    std::memcpy(out_.data(), s.data, done);
    s.w = out_.data() + done;
    return s;
  }

  Scan scan_;
  std::string out_;
};

// Moves the kept runs of a block to w and returns the new output position. Each run is moved with one fixed
// 64-byte copy (the compiler turns it into the widest moves of the calling loop's instruction set); the bytes
// it writes past the run are overwritten by the next one. The first two runs are moved unconditionally (the
// second is empty when the block holds no pair), so blocks with up to one pair, the usual case on a page,
// take no branch that depends on the text.
__attribute__((always_inline)) inline char* MoveRuns(char* w, const char* block, BlockPairs p) {
  int from = p.skip;
  const auto move = [&] {
    const int end = std::countr_zero(p.crs);  // 64 when no pair is left
    p.crs &= p.crs - 1;
    std::memcpy(w, block + from, 64);
    w += end - from;
    from = std::min(end + 2, 64);  // a pair's LF may be byte 0 of the next block
    return end;
  };
  move();
  while (move() != 64) {
  }
  return w;
}

// The bytes after the last whole block, one character at a time, and the result.
std::string Flattener::Finish() {
  Scan& s = scan_;
  std::size_t i = s.pos;
  bool inPair = s.secondCarry != 0;
  if (s.lfCarry != 0) ++i;
  while (i < s.size) {
    const char c = s.data[i];
    if (!inPair && c == '\r' && i + 1 < s.size && s.data[i + 1] == '\n') {
      if (s.w == nullptr) {
        out_.assign(s.data, s.size);
        s.w = out_.data() + i;
      }
      i += 2;
      continue;
    }
    inPair = !inPair && IsLead(c);
    if (s.w != nullptr) *s.w++ = c;
    ++i;
  }
  if (s.w == nullptr) return std::string(s.data, s.size);
  out_.resize(static_cast<std::size_t>(s.w - out_.data()));
  return std::move(out_);
}

// The block loops, one per instruction set, each compiled for its set so that the classification and the
// moves inlined into it use its vectors.
void BlocksPortable(Flattener& f) {
  Scan s = f.Begin();
  BlockPairs p;
  while (s.HasBlock()) {
    const char* const block = s.Block();
    if (f.Advance(s, ClassifyPortable(block), p)) s.w = MoveRuns(s.w, block, p);
  }
  f.End(s);
}

#ifdef QW_X86_FLATTEN
void BlocksSse2(Flattener& f) {
  Scan s = f.Begin();
  BlockPairs p;
  while (s.HasBlock()) {
    const char* const block = s.Block();
    if (f.Advance(s, ClassifySse2(block), p)) s.w = MoveRuns(s.w, block, p);
  }
  f.End(s);
}

__attribute__((target("avx2,bmi,bmi2"))) void BlocksAvx2(Flattener& f) {
  Scan s = f.Begin();
  BlockPairs p;
  while (s.HasBlock()) {
    const char* const block = s.Block();
    if (f.Advance(s, ClassifyAvx2(block), p)) s.w = MoveRuns(s.w, block, p);
  }
  f.End(s);
}

__attribute__((target("avx512f,avx512bw,bmi,bmi2"))) void BlocksAvx512(Flattener& f) {
  Scan s = f.Begin();
  BlockPairs p;
  while (s.HasBlock()) {
    const char* const block = s.Block();
    if (f.Advance(s, ClassifyAvx512(block), p)) s.w = MoveRuns(s.w, block, p);
  }
  f.End(s);
}

// With VBMI2 a block's kept bytes are packed together by one compress instruction and written with one store,
// however many pairs the block holds.
__attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi,bmi2,popcnt"))) void BlocksAvx512Vbmi2(Flattener& f) {
  Scan s = f.Begin();
  BlockPairs p;
  while (s.HasBlock()) {
    const char* const block = s.Block();
    if (!f.Advance(s, ClassifyAvx512(block), p)) continue;
    const std::uint64_t drop = p.crs | (p.crs << 1) | static_cast<std::uint64_t>(p.skip);
    _mm512_storeu_si512(s.w, _mm512_maskz_compress_epi8(~drop, _mm512_loadu_si512(block)));
    s.w += 64 - std::popcount(drop);
  }
  f.End(s);
}
#endif  // QW_X86_FLATTEN

}  // namespace

std::string FlattenLines(std::string_view text, SimdLevel level) {
  // The same result as ReplaceAll(text, "\r\n", "", true): a pair goes only where its CR begins a character,
  // never where the CR is the second byte of a two-byte one.
  Flattener f(text);
  // Never use instructions the processor lacks, whatever the caller asked for.
  switch (std::min(level, BestSimdLevel())) {
#ifdef QW_X86_FLATTEN
    case SimdLevel::kAvx512Vbmi2:
      BlocksAvx512Vbmi2(f);
      break;
    case SimdLevel::kAvx512:
      BlocksAvx512(f);
      break;
    case SimdLevel::kAvx2:
      BlocksAvx2(f);
      break;
    case SimdLevel::kSse2:
      BlocksSse2(f);
      break;
#endif
    case SimdLevel::kPortable:
    default:
      BlocksPortable(f);
      break;
  }
  return f.Finish();
}

std::string FlattenLines(std::string_view text) { return FlattenLines(text, BestSimdLevel()); }

}  // namespace qw
