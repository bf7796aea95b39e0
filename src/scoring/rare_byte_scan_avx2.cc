// The prefiltered search with AVX2, compiled for AVX2 whatever the build's
// baseline; it is called only after a run-time check that the CPU has it.
#if defined(__x86_64__)

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "rare_byte_prefilter.h"
#include "target_region.h"

// Everything defined from here on, the shared loop included, is compiled
// for AVX2. The standard headers above (which the shared loop uses) stay
// at the baseline.
CORVANE_TARGET_BEGIN("avx2")

#include "avx2_bytes.h"
#include "rare_byte_scan_kernel.h"

namespace corvane::scoring {

PrefilterResult prefiltered_search_avx2(const unsigned char* haystack, std::size_t last,
                                        const unsigned char* needle, std::size_t m,
                                        const RareBytes& rare) noexcept {
  return prefiltered_search_with<Avx2Bytes>(haystack, last, needle, m, rare);
}

}  // namespace corvane::scoring

CORVANE_TARGET_END()

#endif
