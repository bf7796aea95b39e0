// The kernels for AVX2 (with BMI1 and BMI2), compiled for it whatever the
// build's baseline.
#include <immintrin.h>

#include "scoring/arch/generic/kernel_dependencies.h"
#include "scoring/arch/target_region.h"
#include "scoring/arch/x86_64/entry_points.h"

// Everything defined from here on, the kernels included, is compiled for
// AVX2. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN("avx2,bmi,bmi2")

#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/arch/generic/long_lower_kernel.h"
#include "scoring/arch/generic/prefilter_kernel.h"
#include "scoring/arch/generic/short_input_kernel.h"
#include "scoring/arch/generic/surrogate_scan.h"
#include "scoring/arch/generic/two_byte_lower_kernel.h"
#include "scoring/arch/x86_64/avx2_bytes.h"

namespace corvane::scoring {

bool holds_surrogate_avx2(const std::uint16_t* units, std::size_t length) noexcept {
  return any_surrogate(units, length);
}

bool holds_surrogate_avx2(const std::uint32_t* units, std::size_t length) noexcept {
  return any_surrogate(units, length);
}

std::size_t lower_long_run_avx2(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_long_run<Avx2Bytes>(text, from, out);
}

std::size_t lower_ascii_run_avx2(const char* in, std::size_t size, char* out) noexcept {
  return lower_ascii_run<Avx2Bytes>(in, size, out);
}

std::size_t lower_two_byte_run_avx2(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_two_byte_run<Avx2Bytes>(text, from, out);
}

PrefilterResult prefiltered_search_avx2(const unsigned char* haystack, std::size_t last,
                                        const unsigned char* needle, std::size_t m,
                                        const RareBytes& rare) noexcept {
  return prefiltered_search_with<Avx2Bytes>(haystack, last, needle, m, rare);
}

std::optional<ShortWordHits> short_input_hits_avx2(std::string_view text,
                                                   std::string_view query) noexcept {
  return short_input_hits_with<Avx2Bytes>(text, query);
}

}  // namespace corvane::scoring

CORVANE_TARGET_END()
