#pragma once
// Which vector instructions the byte-scanning routines (SearchBytes, FlattenLines) may use on this processor.

namespace qw {

// The instruction sets the scanning routines have variants for, from plain portable code up. Each routine
// uses the best one the processor has, and also takes a level explicitly so that tests can hold every variant
// against a plain reference.
// kAvx512 is AVX-512 with its byte and word instructions (BW); kAvx512Vbmi2 adds the byte compress of VBMI2.
enum class SimdLevel { kPortable, kSse2, kAvx2, kAvx512, kAvx512Vbmi2 };

// The best level this processor runs; kPortable on processors other than x86.
SimdLevel BestSimdLevel();

}  // namespace qw
