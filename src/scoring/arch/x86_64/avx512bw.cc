// The kernels for AVX-512 F and BW, compiled for them whatever the build's
// baseline. Comparisons land in mask registers, so a window of 64 starts
// costs two or three compares and a test.
#include <immintrin.h>

#include "scoring/arch/generic/kernel_dependencies.h"
#include "scoring/arch/target_region.h"
#include "scoring/arch/x86_64/entry_points.h"

// Everything defined from here on, the kernels included, is compiled for
// AVX-512BW. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN("avx512f,avx512bw")

#include "scoring/arch/generic/long_lower_kernel.h"
#include "scoring/arch/generic/prefilter_kernel.h"
#include "scoring/arch/x86_64/avx512_bytes.h"

namespace corvane::scoring {

std::size_t lower_long_run_avx512bw(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_long_run<Avx512BwBytes>(text, from, out);
}

PrefilterResult prefiltered_search_avx512bw(const unsigned char* haystack, std::size_t last,
                                            const unsigned char* needle, std::size_t m,
                                            const RareBytes& rare) noexcept {
  return prefiltered_search_with<Avx512BwBytes>(haystack, last, needle, m, rare);
}

}  // namespace corvane::scoring

CORVANE_TARGET_END()
