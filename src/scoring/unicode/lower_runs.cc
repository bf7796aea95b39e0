#include "scoring/unicode/lower_runs.h"

#include "scoring/arch/cpu_features.h"

#if defined(__x86_64__)
#include "scoring/arch/x86_64/entry_points.h"
#elif defined(__aarch64__)
#include "scoring/arch/aarch64/entry_points.h"
#endif

namespace corvane::scoring {
namespace {

LowerRuns choose_lower_runs(const CpuFeatures& cpu) noexcept {
#if defined(__x86_64__)
  // Below four AVX2 vectors the inlined SSE2 loop is as fast as a call.
  if (cpu.avx512vbmi && cpu.avx2) {
    return {lower_ascii_run_avx2,    128, lower_two_byte_run_avx512vbmi, 64,
            lower_long_run_avx512bw, 64};
  }
  if (cpu.avx512bw && cpu.avx2) {
    return {lower_ascii_run_avx2, 128, lower_two_byte_run_avx2, 32, lower_long_run_avx512bw, 64};
  }
  if (cpu.avx2) {
    return {lower_ascii_run_avx2, 128, lower_two_byte_run_avx2, 32, lower_long_run_avx2, 32};
  }
  if (cpu.ssse3) return {nullptr, 0, lower_two_byte_run_ssse3, 16, lower_long_run_ssse3, 16};
#elif defined(__aarch64__)
  // NEON is the baseline: the ASCII loop is inlined, and every CPU has the
  // table look-up.
  static_cast<void>(cpu);
  return {nullptr, 0, lower_two_byte_run_neon, 16, lower_long_run_neon, 16};
#else
  static_cast<void>(cpu);
#endif
  return {nullptr, 0, nullptr, 0, nullptr, 0};
}

}  // namespace

const LowerRuns& lower_runs() noexcept {
  static const LowerRuns chosen = choose_lower_runs(cpu_features());
  return chosen;
}

}  // namespace corvane::scoring
