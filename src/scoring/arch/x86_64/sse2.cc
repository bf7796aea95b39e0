// The kernels for SSE2, the x86-64 baseline: no target region and no
// run-time check are needed.
#include "scoring/arch/generic/prefilter_kernel.h"
#include "scoring/arch/generic/short_input_kernel.h"
#include "scoring/arch/x86_64/entry_points.h"
#include "scoring/arch/x86_64/sse2_bytes.h"

namespace corvane::scoring {

PrefilterResult prefiltered_search_sse2(const unsigned char* haystack, std::size_t last,
                                        const unsigned char* needle, std::size_t m,
                                        const RareBytes& rare) noexcept {
  return prefiltered_search_with<Sse2Bytes>(haystack, last, needle, m, rare);
}

std::optional<ShortWordHits> short_input_hits_sse2(std::string_view text,
                                                   std::string_view query) noexcept {
  return short_input_hits_with<Sse2Bytes>(text, query);
}

}  // namespace corvane::scoring
