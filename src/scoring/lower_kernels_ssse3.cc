// The two-byte lowercase loop with SSSE3 (for its byte shuffle), compiled
// for SSSE3 whatever the build's baseline; it is called only after a
// run-time check that the CPU has SSSE3.
#if defined(__x86_64__)

#include <emmintrin.h>
#include <tmmintrin.h>

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
// for SSSE3. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN("ssse3")

#include "ascii_lower_sse2.h"
#include "two_byte_lower_kernel.h"

namespace corvane::scoring {
namespace {

// The SSE2 operations, and what the two-byte loop needs besides.
struct Ssse3Bytes : Sse2Bytes {
  static __m128i table16(const unsigned char* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  static __m128i unless(__m128i mask, __m128i v) noexcept { return _mm_andnot_si128(mask, v); }
  static __m128i add(__m128i a, __m128i b) noexcept { return _mm_add_epi8(a, b); }
  static __m128i subtract(__m128i a, __m128i b) noexcept { return _mm_sub_epi8(a, b); }
  static __m128i greater(__m128i a, __m128i b) noexcept { return _mm_cmpgt_epi8(a, b); }
  static __m128i high_nibbles(__m128i v) noexcept {
    return _mm_and_si128(_mm_srli_epi16(v, 4), _mm_set1_epi8(0x0F));
  }
  static __m128i shift_up_from(__m128i v, __m128i before) noexcept {
    return _mm_alignr_epi8(v, before, 15);
  }
  static __m128i saturating_add(__m128i a, __m128i b) noexcept { return _mm_adds_epu8(a, b); }
  static __m128i select(__m128i mask, __m128i a, __m128i b) noexcept {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
  }
  static __m128i look_up(__m128i table, __m128i index) noexcept {
    return _mm_shuffle_epi8(table, index);
  }
  static __m128i at_least(__m128i v, __m128i bound) noexcept {
    return _mm_cmpeq_epi8(_mm_max_epu8(v, bound), v);
  }
  static __m128i at_most(__m128i v, __m128i bound) noexcept {
    return _mm_cmpeq_epi8(_mm_min_epu8(v, bound), v);
  }
};

}  // namespace

std::size_t lower_two_byte_run_ssse3(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_two_byte_run<Ssse3Bytes>(text, from, out);
}

}  // namespace corvane::scoring

CORVANE_TARGET_END()

#endif
