#include "text/simd_level.h"

namespace qw {

SimdLevel BestSimdLevel() {
#if defined(__x86_64__) || defined(__i386__)
  static const SimdLevel best = [] {
    __builtin_cpu_init();  // a scan may run from a static initialiser, before the library's own set-up
    if (__builtin_cpu_supports("avx512bw")) {
      return __builtin_cpu_supports("avx512vbmi2") ? SimdLevel::kAvx512Vbmi2 : SimdLevel::kAvx512;
    }
    return __builtin_cpu_supports("avx2") ? SimdLevel::kAvx2 : SimdLevel::kSse2;
  }();
  return best;
#else
  return SimdLevel::kPortable;
#endif
}

}  // namespace qw
