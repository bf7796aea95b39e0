// The prefiltered search with AVX2, compiled for AVX2 whatever the build's
// baseline; it is called only after a run-time check that the CPU has it.
#if defined(__x86_64__)

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "rare_byte_prefilter.h"

// Everything defined from here on, the shared loop included, is compiled
// for AVX2. The standard headers above (which the shared loop uses) stay
// at the baseline.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "rare_byte_scan_kernel.h"

namespace corvane::scoring {
namespace {

struct Avx2Bytes {
  static constexpr std::size_t width = 32;
  static __m256i splat(unsigned char b) noexcept { return _mm256_set1_epi8(static_cast<char>(b)); }
  static __m256i load(const unsigned char* p) noexcept {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  static __m256i equal(__m256i a, __m256i b) noexcept { return _mm256_cmpeq_epi8(a, b); }
  static __m256i both(__m256i a, __m256i b) noexcept { return _mm256_and_si256(a, b); }
  static __m256i either(__m256i a, __m256i b) noexcept { return _mm256_or_si256(a, b); }
  static std::uint32_t lanes(__m256i a) noexcept {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(a));
  }
};

}  // namespace

PrefilterResult prefiltered_search_avx2(const unsigned char* haystack, std::size_t last,
                                        const unsigned char* needle, std::size_t m,
                                        const RareBytes& rare) noexcept {
  return prefiltered_search_with<Avx2Bytes>(haystack, last, needle, m, rare);
}

}  // namespace corvane::scoring

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif
