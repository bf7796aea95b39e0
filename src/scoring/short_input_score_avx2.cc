// The short-input scorer with AVX2, compiled for AVX2 whatever the build's
// baseline; it is called only after a run-time check that the CPU has AVX2.
#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>

#include "partial_load_sse2.h"
#include "short_input_score.h"

// Everything defined from here on, the shared kernel included, is compiled
// for AVX2. The headers above stay at the baseline.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,bmi,bmi2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,bmi,bmi2")
#endif

#include "short_input_kernel.h"

namespace corvane::scoring {
namespace {

struct Avx2ShortBytes {
  static constexpr std::size_t width = 32;
  static __m256i splat(char b) noexcept { return _mm256_set1_epi8(b); }
  static __m256i load(const char* p) noexcept {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  static __m256i load_partial(const char* p, std::size_t size) noexcept {
    if (size == width) return load(p);
    if (size > 16) {
      return _mm256_set_m128i(load_partial_sse2(p + 16, size - 16),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    return _mm256_zextsi128_si256(load_partial_sse2(p, size));
  }
  static void store(char* p, __m256i v) noexcept {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  }
  static __m256i either(__m256i a, __m256i b) noexcept { return _mm256_or_si256(a, b); }
  static __m256i both(__m256i a, __m256i b) noexcept { return _mm256_and_si256(a, b); }
  static __m256i equal(__m256i a, __m256i b) noexcept { return _mm256_cmpeq_epi8(a, b); }
  static __m256i in_range(__m256i v, char lo, char hi) noexcept {
    const __m256i shifted = _mm256_add_epi8(v, _mm256_set1_epi8(static_cast<char>(0x80 - lo)));
    return _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(0x80 + (hi - lo) + 1)), shifted);
  }
  static std::uint64_t lanes(__m256i v) noexcept {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
  }
};

}  // namespace

std::optional<ShortWordHits> short_input_hits_avx2(std::string_view text,
                                                   std::string_view query) noexcept {
  return short_input_hits_with<Avx2ShortBytes>(text, query);
}

}  // namespace corvane::scoring

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif  // defined(__x86_64__)
