// The SSSE3 byte-vector trait: the SSE2 trait and the byte shuffle that
// table look-ups need.
//
// Contract: `Ssse3Bytes` is a `ShuffleByteVector` (scoring/arch/byte_vector.h)
// on __m128i; comparisons give all-ones lanes. Include it only inside a
// target region that switches SSSE3 on (scoring/arch/x86_64/ssse3.cc); the
// kernel table runs that code only where the CPU has the level.
#pragma once

#include <emmintrin.h>
#include <tmmintrin.h>

#include "scoring/arch/x86_64/sse2_bytes.h"

namespace corvane::scoring {
namespace {

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
}  // namespace corvane::scoring
