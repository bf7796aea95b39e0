// The AVX-512 VBMI2 level's Latin-1 lowering: thirty-two units at a time
// lowercased and turned into UTF-8 by one byte compress. Compiled for the
// level whatever the build's baseline.
#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#include "scoring/arch/level_kernels.h"
#include "scoring/arch/target_region.h"
#include "scoring/unicode/latin1_case.h"

// Everything defined from here on is compiled for the level; the headers
// above stay at the baseline.
CORVANE_TARGET_BEGIN(Avx512Vbmi2)

#include "scoring/arch/x86_64/avx512vbmi2_utf8.h"

namespace corvane::scoring::avx512vbmi2 {
namespace {

std::size_t lower_latin1_units_in_blocks(const std::uint8_t* units, std::size_t count, char* out,
                                         std::size_t& consumed) noexcept {
  std::size_t i = 0;
  std::size_t o = 0;
  for (; count - i >= 32; i += 32) {
    const __m512i c =
        _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(units + i)));
    // Capitals (scoring/unicode/latin1_case.h) move up by the case shift.
    const __mmask32 capital =
        _mm512_cmple_epu16_mask(_mm512_sub_epi16(c, _mm512_set1_epi16('A')),
                                _mm512_set1_epi16('Z' - 'A')) |
        (_mm512_cmple_epu16_mask(
             _mm512_sub_epi16(c, _mm512_set1_epi16(kLatin1AccentedCapitalFirst)),
             _mm512_set1_epi16(kLatin1AccentedCapitalLast - kLatin1AccentedCapitalFirst)) &
         _mm512_cmpneq_epi16_mask(c, _mm512_set1_epi16(kLatin1MultiplicationSign)));
    o += encode_thirty_two_short(
        _mm512_mask_add_epi16(c, capital, c, _mm512_set1_epi16(kLatin1CaseShift)), out + o);
  }
  consumed = i;
  return o;
}

}  // namespace

constinit LowerLatin1Units* const kLowerLatin1Units = lower_latin1_units_in_blocks;

}  // namespace corvane::scoring::avx512vbmi2

CORVANE_TARGET_END()
