// The kernels for SSSE3 (for its byte shuffle), compiled for it whatever the
// build's baseline.
#include <emmintrin.h>
#include <tmmintrin.h>

#include "scoring/arch/generic/kernel_dependencies.h"
#include "scoring/arch/target_region.h"
#include "scoring/arch/x86_64/entry_points.h"

// Everything defined from here on, the kernels included, is compiled for
// SSSE3. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN("ssse3")

#include "scoring/arch/generic/long_lower_kernel.h"
#include "scoring/arch/generic/two_byte_lower_kernel.h"
#include "scoring/arch/x86_64/ssse3_bytes.h"

namespace corvane::scoring {

std::size_t lower_long_run_ssse3(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_long_run<Ssse3Bytes>(text, from, out);
}

std::size_t lower_two_byte_run_ssse3(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_two_byte_run<Ssse3Bytes>(text, from, out);
}

}  // namespace corvane::scoring

CORVANE_TARGET_END()
