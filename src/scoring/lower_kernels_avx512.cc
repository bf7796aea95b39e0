// The two-byte lowercase loop on 64-byte AVX-512BW vectors, compiled for
// AVX512BW and AVX512VBMI whatever the build's baseline; it is called only
// after a run-time check that the CPU (and the operating system) has both.
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
// for AVX-512. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN("avx512f,avx512bw,avx512vbmi")

#include "avx512_bytes.h"
#include "two_byte_lower_kernel.h"

namespace corvane::scoring {

std::size_t lower_two_byte_run_avx512(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_two_byte_run<Avx512Bytes>(text, from, out);
}

}  // namespace corvane::scoring

CORVANE_TARGET_END()

#endif  // defined(__x86_64__)
