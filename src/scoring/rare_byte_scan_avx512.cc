// The prefiltered search with AVX-512BW, compiled for it whatever the
// build's baseline; it is called only after a run-time check that the CPU
// (and the operating system) has it. Comparisons land in mask registers,
// so a window of 64 starts costs two or three compares and a test.
#if defined(__x86_64__)

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "rare_byte_prefilter.h"
#include "target_region.h"

// Everything defined from here on, the shared loop included, is compiled
// for AVX-512BW. The standard headers above stay at the baseline.
CORVANE_TARGET_BEGIN("avx512f,avx512bw")

#include "rare_byte_scan_kernel.h"

namespace corvane::scoring {
namespace {

struct Avx512ScanBytes {
  static constexpr std::size_t width = 64;
  static __m512i splat(char b) noexcept { return _mm512_set1_epi8(b); }
  static __m512i load(const char* p) noexcept { return _mm512_loadu_si512(p); }
  static __mmask64 equal(__m512i a, __m512i b) noexcept { return _mm512_cmpeq_epi8_mask(a, b); }
  static __mmask64 both(__mmask64 a, __mmask64 b) noexcept { return _kand_mask64(a, b); }
  static __mmask64 either(__mmask64 a, __mmask64 b) noexcept { return _kor_mask64(a, b); }
  static std::uint64_t lanes(__mmask64 a) noexcept { return _cvtmask64_u64(a); }
};

}  // namespace

PrefilterResult prefiltered_search_avx512(const unsigned char* haystack, std::size_t last,
                                          const unsigned char* needle, std::size_t m,
                                          const RareBytes& rare) noexcept {
  return prefiltered_search_with<Avx512ScanBytes>(haystack, last, needle, m, rare);
}

}  // namespace corvane::scoring

CORVANE_TARGET_END()

#endif  // defined(__x86_64__)
