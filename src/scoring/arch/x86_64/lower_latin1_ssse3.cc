// The SSSE3 level's Latin-1 lowering: sixteen units at a time lowercased
// and turned into UTF-8, packed by one byte shuffle. Compiled for SSSE3
// whatever the build's baseline.
#include <emmintrin.h>
#include <tmmintrin.h>

#include <cstddef>
#include <cstdint>

#include "scoring/arch/level_kernels.h"
#include "scoring/arch/target_region.h"
#include "scoring/unicode/latin1_case.h"

// Everything defined from here on is compiled for the level; the headers
// above stay at the baseline.
CORVANE_TARGET_BEGIN(Ssse3)

#include "scoring/arch/x86_64/ssse3_utf8.h"

namespace corvane::scoring::ssse3 {
namespace {

std::size_t lower_latin1_units_in_blocks(const std::uint8_t* units, std::size_t count, char* out,
                                         std::size_t& consumed) noexcept {
  const __m128i zero = _mm_setzero_si128();
  std::size_t i = 0;
  std::size_t o = 0;
  for (; count - i >= 16; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
    for (const __m128i v : {_mm_unpacklo_epi8(bytes, zero), _mm_unpackhi_epi8(bytes, zero)}) {
      // Capitals (scoring/unicode/latin1_case.h) move up by the case shift.
      const __m128i capital = _mm_or_si128(
          in_range(v, 'A', 'Z' - 'A'),
          _mm_andnot_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(kLatin1MultiplicationSign)),
                           in_range(v, kLatin1AccentedCapitalFirst,
                                    kLatin1AccentedCapitalLast - kLatin1AccentedCapitalFirst)));
      o += encode_eight_short(
          _mm_add_epi16(v, _mm_and_si128(capital, _mm_set1_epi16(kLatin1CaseShift))), out + o);
    }
  }
  consumed = i;
  return o;
}

}  // namespace

constinit LowerLatin1Units* const kLowerLatin1Units = lower_latin1_units_in_blocks;

}  // namespace corvane::scoring::ssse3

CORVANE_TARGET_END()
