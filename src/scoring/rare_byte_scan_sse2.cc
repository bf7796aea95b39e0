// The prefiltered search with SSE2, which every x86-64 CPU has.
#if defined(__x86_64__)

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ascii_lower_sse2.h"
#include "rare_byte_prefilter.h"
#include "rare_byte_scan_kernel.h"

namespace corvane::scoring {

PrefilterResult prefiltered_search_sse2(const unsigned char* haystack, std::size_t last,
                                        const unsigned char* needle, std::size_t m,
                                        const RareBytes& rare) noexcept {
  return prefiltered_search_with<Sse2Bytes>(haystack, last, needle, m, rare);
}

}  // namespace corvane::scoring

#endif
