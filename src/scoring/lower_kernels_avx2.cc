// The lowercase loops with AVX2, compiled for AVX2 whatever the build's
// baseline; they are called only after a run-time check that the CPU has
// AVX2.
#if defined(__x86_64__)

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "case_tables.h"
#include "final_sigma.h"
#include "lower_kernels.h"
#include "sigma_context.h"
#include "target_region.h"
#include "two_byte_case_shift.h"
#include "utf8.h"

// Everything defined from here on, the shared loop included, is compiled
// for AVX2. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN("avx2")

#include "avx2_bytes.h"
#include "two_byte_lower_kernel.h"

namespace corvane::scoring {

std::size_t lower_two_byte_run_avx2(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_two_byte_run<Avx2Bytes>(text, from, out);
}

std::size_t lower_ascii_run_avx2(const char* in, std::size_t size, char* out) noexcept {
  return lower_ascii_run<Avx2Bytes>(in, size, out);
}

}  // namespace corvane::scoring

CORVANE_TARGET_END()

#endif
