// The SSE2 byte-vector trait: 16-byte vectors.
//
// Contract: `Sse2Bytes` is a `PartialLoadByteVector`
// (scoring/arch/byte_vector.h) on __m128i; comparisons give all-ones lanes.
// `load_partial` reads its bytes as scoring/arch/partial_load.h does. SSE2 is part of every x86-64
// CPU, so no run-time check is needed. Include only where __SSE2__ is defined.
#pragma once

#include <emmintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "scoring/arch/partial_load.h"

namespace corvane::scoring {
namespace {

struct Sse2Bytes {
  using Vector = __m128i;
  using Mask = __m128i;
  static constexpr std::size_t kWidth = 16;
  static __m128i splat(char b) noexcept { return _mm_set1_epi8(b); }
  static __m128i load(const char* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  static void store(char* p, __m128i v) noexcept {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  }
  static __m128i either(__m128i a, __m128i b) noexcept { return _mm_or_si128(a, b); }
  static __m128i both(__m128i a, __m128i b) noexcept { return _mm_and_si128(a, b); }
  static __m128i equal(__m128i a, __m128i b) noexcept { return _mm_cmpeq_epi8(a, b); }
  static std::uint64_t lanes(__m128i v) noexcept {
    return static_cast<unsigned>(_mm_movemask_epi8(v));
  }
  // Shifts lo..hi to the bottom of the signed range, where one signed
  // comparison tests both bounds.
  static __m128i in_range(__m128i v, char lo, char hi) noexcept {
    const __m128i shifted = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - lo)));
    return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + (hi - lo) + 1)));
  }
  static std::size_t ascii_prefix(__m128i v) noexcept {
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v)) | 0x10000u;
    return static_cast<std::size_t>(std::countr_zero(high));
  }
  static __m128i load_partial(const char* p, std::size_t size) noexcept {
    if (size == 16) return load(p);
    const Halves h = load_partial_halves(p, size);
    return _mm_set_epi64x(static_cast<long long>(h.high), static_cast<long long>(h.low));
  }
};

}  // namespace
}  // namespace corvane::scoring
