// The short-input scorer with AVX2, compiled for AVX2 whatever the build's
// baseline; it is called only after a run-time check that the CPU has AVX2.
#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>

#include "partial_load_sse2.h"
#include "short_input_score.h"
#include "target_region.h"

// Everything defined from here on, the shared kernel included, is compiled
// for AVX2. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN("avx2,bmi,bmi2")

#include "avx2_bytes.h"
#include "short_input_kernel.h"

namespace corvane::scoring {
namespace {

// The lowercase loops' operations, and what the short-input kernel adds.
struct Avx2ShortBytes : Avx2Bytes {
  static __m256i load_partial(const char* p, std::size_t size) noexcept {
    if (size == width) return load(p);
    if (size > 16) {
      return _mm256_set_m128i(load_partial_sse2(p + 16, size - 16),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    return _mm256_zextsi128_si256(load_partial_sse2(p, size));
  }
};

}  // namespace

std::optional<ShortWordHits> short_input_hits_avx2(std::string_view text,
                                                   std::string_view query) noexcept {
  return short_input_hits_with<Avx2ShortBytes>(text, query);
}

}  // namespace corvane::scoring

CORVANE_TARGET_END()

#endif  // defined(__x86_64__)
