// The instruction sets of the running CPU that the vector code may use.
//
// Contract: `cpu_features()` gives one record, read from the CPU once per
// process (before the first call, while the library loads) and never
// changed; every choice of vector code in the scoring core reads it, and
// nothing else asks the CPU. A field is true only when the CPU has the set
// and the operating system saves its registers. On other architectures
// every field is false.
// Complexity: O(1), one load.
#pragma once

namespace corvane::scoring {

struct CpuFeatures {
  bool ssse3;
  bool avx2;         // AVX2 with BMI1 and BMI2, as every CPU with AVX2 has them
  bool avx512bw;     // AVX-512 F and BW
  bool avx512vbmi;   // AVX-512 F, BW and VBMI
  bool avx512vbmi2;  // AVX-512 F, BW, VBMI and VBMI2, with BMI1 and BMI2
};

namespace cpu_features_detail {
extern const CpuFeatures kDetected;
}  // namespace cpu_features_detail

inline const CpuFeatures& cpu_features() noexcept { return cpu_features_detail::kDetected; }

}  // namespace corvane::scoring
