// The kernels for AVX-512 F, BW and VBMI (for its byte permute across the
// whole register), compiled for them whatever the build's baseline.
#include <immintrin.h>

#include "scoring/arch/generic/kernel_dependencies.h"
#include "scoring/arch/target_region.h"
#include "scoring/arch/x86_64/entry_points.h"

// Everything defined from here on, the kernels included, is compiled for
// AVX-512 with VBMI. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN("avx512f,avx512bw,avx512vbmi")

#include "scoring/arch/generic/two_byte_lower_kernel.h"
#include "scoring/arch/x86_64/avx512_bytes.h"

namespace corvane::scoring {

std::size_t lower_two_byte_run_avx512vbmi(std::string_view text, std::size_t from,
                                          char* out) noexcept {
  return lower_two_byte_run<Avx512VbmiBytes>(text, from, out);
}

}  // namespace corvane::scoring

CORVANE_TARGET_END()
