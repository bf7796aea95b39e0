// The kernels for NEON, the AArch64 baseline: no target region and no
// run-time check are needed.
#include "scoring/arch/aarch64/entry_points.h"
#include "scoring/arch/aarch64/neon_bytes.h"
#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/arch/generic/long_lower_kernel.h"
#include "scoring/arch/generic/prefilter_kernel.h"
#include "scoring/arch/generic/short_input_kernel.h"
#include "scoring/arch/generic/two_byte_lower_kernel.h"

namespace corvane::scoring {

std::size_t lower_ascii_run_neon(const char* in, std::size_t size, char* out) noexcept {
  return lower_ascii_run<NeonBytes>(in, size, out);
}

std::size_t lower_two_byte_run_neon(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_two_byte_run<NeonBytes>(text, from, out);
}

std::size_t lower_long_run_neon(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_long_run<NeonBytes>(text, from, out);
}

PrefilterResult prefiltered_search_neon(const unsigned char* haystack, std::size_t last,
                                        const unsigned char* needle, std::size_t m,
                                        const RareBytes& rare) noexcept {
  return prefiltered_search_with<NeonBytes>(haystack, last, needle, m, rare);
}

std::optional<ShortWordHits> short_input_hits_neon(std::string_view text,
                                                   std::string_view query) noexcept {
  return short_input_hits_with<NeonBytes>(text, query);
}

}  // namespace corvane::scoring
