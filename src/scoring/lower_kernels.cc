#include "lower_kernels.h"

namespace corvane::scoring {

LowerKernels pick_lower_kernels() noexcept {
#if defined(__x86_64__)
  __builtin_cpu_init();
  // Below four AVX2 vectors the inlined SSE2 loop is as fast as a call.
  // (The CPU check includes the operating system's support for the wider
  // registers.)
  if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi")) {
    return {lower_ascii_run_avx2, 128, lower_two_byte_run_avx512, 64};
  }
  if (__builtin_cpu_supports("avx2")) {
    return {lower_ascii_run_avx2, 128, lower_two_byte_run_avx2, 32};
  }
  if (__builtin_cpu_supports("ssse3")) return {nullptr, 0, lower_two_byte_run_ssse3, 16};
#endif
  return {nullptr, 0, nullptr, 0};
}

}  // namespace corvane::scoring
