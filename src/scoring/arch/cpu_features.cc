#include "scoring/arch/cpu_features.h"

namespace corvane::scoring {
namespace {

CpuFeatures read_cpu_features() noexcept {
#if defined(__x86_64__)
  // The compiler's checks include the operating system's support for the
  // wider registers (XGETBV), not only the CPU's feature bits.
  __builtin_cpu_init();
  const bool avx512bw = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  return {
      .ssse3 = __builtin_cpu_supports("ssse3") != 0,
      .avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
              __builtin_cpu_supports("bmi2"),
      .avx512bw = avx512bw,
      .avx512vbmi = avx512bw && __builtin_cpu_supports("avx512vbmi"),
      .avx512vbmi2 = avx512bw && __builtin_cpu_supports("avx512vbmi") &&
                     __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi") &&
                     __builtin_cpu_supports("bmi2"),
  };
#else
  return {};
#endif
}

}  // namespace

// Read while the library loads, so that a dispatch costs one load and no
// once-only guard. Code that would run before this (none does) sees every
// field false and takes the baseline code, which is always correct.
const CpuFeatures cpu_features_detail::kDetected = read_cpu_features();

}  // namespace corvane::scoring
