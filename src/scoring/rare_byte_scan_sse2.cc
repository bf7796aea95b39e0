// The prefiltered search with SSE2, which every x86-64 CPU has.
#if defined(__x86_64__)

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "rare_byte_scan_kernel.h"
#include "rare_byte_prefilter.h"

namespace corvane::scoring {
namespace {

struct Sse2Bytes {
  static constexpr std::size_t width = 16;
  static __m128i splat(unsigned char b) noexcept { return _mm_set1_epi8(static_cast<char>(b)); }
  static __m128i load(const unsigned char* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  static __m128i equal(__m128i a, __m128i b) noexcept { return _mm_cmpeq_epi8(a, b); }
  static __m128i both(__m128i a, __m128i b) noexcept { return _mm_and_si128(a, b); }
  static __m128i either(__m128i a, __m128i b) noexcept { return _mm_or_si128(a, b); }
  static std::uint32_t lanes(__m128i a) noexcept {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(a));
  }
};

}  // namespace

PrefilterResult prefiltered_search_sse2(const unsigned char* haystack, std::size_t last,
                                        const unsigned char* needle, std::size_t m,
                                        const RareBytes& rare) noexcept {
  return prefiltered_search_with<Sse2Bytes>(haystack, last, needle, m, rare);
}

}  // namespace corvane::scoring

#endif
