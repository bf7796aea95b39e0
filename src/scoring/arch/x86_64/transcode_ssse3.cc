// The SSSE3 level's encoder: two-byte code units to UTF-8, eight at a
// time, packed by one byte shuffle from a table. Compiled for SSSE3
// whatever the build's baseline.
#include <emmintrin.h>
#include <tmmintrin.h>

#include <cstddef>
#include <cstdint>

#include "scoring/arch/level_kernels.h"
#include "scoring/arch/target_region.h"

// Everything defined from here on is compiled for the level; the headers
// above stay at the baseline.
CORVANE_TARGET_BEGIN(Ssse3)

#include "scoring/arch/x86_64/ssse3_utf8.h"

namespace corvane::scoring::ssse3 {
namespace {

std::size_t encode_units16_in_blocks(const std::uint16_t* units, std::size_t count, char* out,
                                     std::size_t& consumed) noexcept {
  const __m128i zero = _mm_setzero_si128();
  std::size_t i = 0;
  std::size_t o = 0;
  while (count - i >= 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
    const __m128i short_lanes = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x800)), zero);
    if (_mm_movemask_epi8(short_lanes) != 0xFFFF) {
      // Some unit needs three bytes: four units at a time.
      const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x80)), zero);
      const unsigned beyond_ascii =
          ~static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii, zero))) & 0xFF;
      const unsigned beyond_short =
          ~static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(short_lanes, zero))) & 0xFF;
      o += encode_four_units(_mm_unpacklo_epi16(v, zero),
                             (beyond_ascii & 0xF) | ((beyond_short & 0xF) << 4), out + o);
      o += encode_four_units(_mm_unpackhi_epi16(v, zero),
                             (beyond_ascii >> 4) | ((beyond_short >> 4) << 4), out + o);
      i += 8;
      continue;
    }
    o += encode_eight_short(v, out + o);
    i += 8;
  }
  consumed = i;
  return o;
}

}  // namespace

constinit EncodeUnits16* const kEncodeUnits16 = encode_units16_in_blocks;

}  // namespace corvane::scoring::ssse3

CORVANE_TARGET_END()
