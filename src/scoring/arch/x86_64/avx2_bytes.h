// The AVX2 byte-vector trait: 32-byte vectors.
//
// Contract: `Avx2Bytes` is a `PartialLoadByteVector` and a
// `ShuffleByteVector` (scoring/arch/byte_vector.h) on __m256i; comparisons
// give all-ones lanes. Include it only inside a target region that switches
// AVX2 on (scoring/arch/x86_64/avx2.cc); the kernel table runs that code
// only where the CPU has the level.
// Complexity: O(1) per operation.
#pragma once

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#include "scoring/arch/x86_64/sse2_bytes.h"

namespace corvane::scoring {
namespace {

struct Avx2Bytes {
  using Vector = __m256i;
  using Mask = __m256i;
  static constexpr std::size_t kWidth = 32;
  static __m256i splat(char b) noexcept { return _mm256_set1_epi8(b); }
  static __m256i load(const char* p) noexcept {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  static void store(char* p, __m256i v) noexcept {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  }
  static __m256i table16(const unsigned char* p) noexcept {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static __m256i either(__m256i a, __m256i b) noexcept { return _mm256_or_si256(a, b); }
  static __m256i both(__m256i a, __m256i b) noexcept { return _mm256_and_si256(a, b); }
  static __m256i unless(__m256i mask, __m256i v) noexcept { return _mm256_andnot_si256(mask, v); }
  static __m256i add(__m256i a, __m256i b) noexcept { return _mm256_add_epi8(a, b); }
  static __m256i subtract(__m256i a, __m256i b) noexcept { return _mm256_sub_epi8(a, b); }
  static __m256i equal(__m256i a, __m256i b) noexcept { return _mm256_cmpeq_epi8(a, b); }
  static __m256i greater(__m256i a, __m256i b) noexcept { return _mm256_cmpgt_epi8(a, b); }
  static __m256i high_nibbles(__m256i v) noexcept {
    return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
  }
  // Byte shifts stay within 128-bit halves: the permute brings lane 15
  // next to lane 16 (and before's lane 31 next to lane 0).
  static __m256i shift_up_from(__m256i v, __m256i before) noexcept {
    return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, before, 0x03), 15);
  }
  static __m256i saturating_add(__m256i a, __m256i b) noexcept { return _mm256_adds_epu8(a, b); }
  static __m256i select(__m256i mask, __m256i a, __m256i b) noexcept {
    return _mm256_blendv_epi8(b, a, mask);
  }
  static __m256i look_up(__m256i table, __m256i index) noexcept {
    return _mm256_shuffle_epi8(table, index);
  }
  static __m256i at_least(__m256i v, __m256i bound) noexcept {
    return _mm256_cmpeq_epi8(_mm256_max_epu8(v, bound), v);
  }
  static __m256i at_most(__m256i v, __m256i bound) noexcept {
    return _mm256_cmpeq_epi8(_mm256_min_epu8(v, bound), v);
  }
  static __m256i in_range(__m256i v, char lo, char hi) noexcept {
    const __m256i shifted = _mm256_add_epi8(v, _mm256_set1_epi8(static_cast<char>(0x80 - lo)));
    return _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(0x80 + (hi - lo) + 1)), shifted);
  }
  static std::uint64_t lanes(__m256i v) noexcept {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
  }
  static std::size_t ascii_prefix(__m256i v) noexcept {
    const std::uint64_t high = lanes(v) | (std::uint64_t{1} << 32);
    return static_cast<std::size_t>(std::countr_zero(high));
  }
  static __m256i load_partial(const char* p, std::size_t size) noexcept {
    if (size == kWidth) return load(p);
    if (size > 16) {
      return _mm256_set_m128i(Sse2Bytes::load_partial(p + 16, size - 16), Sse2Bytes::load(p));
    }
    return _mm256_zextsi128_si256(Sse2Bytes::load_partial(p, size));
  }
};

}  // namespace
}  // namespace corvane::scoring
