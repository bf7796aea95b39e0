// The AVX-512 VBMI2 level's encoders: two- or four-byte code units to UTF-8,
// each form picked by VBMI's multishift and packed by VBMI2's byte
// compress. Compiled for the level whatever the build's baseline.
#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#include "scoring/arch/level_kernels.h"
#include "scoring/arch/target_region.h"

// Everything defined from here on is compiled for the level; the headers
// above stay at the baseline.
CORVANE_TARGET_BEGIN(Avx512Vbmi2)

#include "scoring/arch/x86_64/avx512vbmi2_utf8.h"

namespace corvane::scoring::avx512vbmi2 {
namespace {

std::size_t encode_units16_in_blocks(const std::uint16_t* units, std::size_t count, char* out,
                                     std::size_t& consumed) noexcept {
  std::size_t i = 0;
  std::size_t o = 0;
  // Groups of 128 units: twice as many units at a time in 16-bit lanes when
  // none of the group needs three bytes, as in the text of most alphabetic
  // scripts. The choice is made per group, not per block, so that text
  // with a few three-byte punctuation marks takes one path throughout
  // rather than a branch no predictor foresees.
  constexpr std::size_t group = 128;
  for (; count - i >= group; i += group) {
    const __m512i* at = reinterpret_cast<const __m512i*>(units + i);
    const __m512i any =
        _mm512_or_si512(_mm512_or_si512(_mm512_loadu_si512(at), _mm512_loadu_si512(at + 1)),
                        _mm512_or_si512(_mm512_loadu_si512(at + 2), _mm512_loadu_si512(at + 3)));
    if (all_short(any)) {
      for (std::size_t b = 0; b < 4; ++b)
        o += encode_thirty_two_short(_mm512_loadu_si512(at + b), out + o);
    } else {
      for (std::size_t b = 0; b < 4; ++b)
        o += encode_thirty_two_long(_mm512_loadu_si512(at + b), out + o);
    }
  }
  for (; count - i >= 32; i += 32) {
    const __m512i v = _mm512_loadu_si512(units + i);
    o += all_short(v) ? encode_thirty_two_short(v, out + o) : encode_thirty_two_long(v, out + o);
  }
  for (; count - i >= 16; i += 16) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(units + i));
    o += encode_sixteen<false>(_mm512_cvtepu16_epi32(v), out + o);
  }
  consumed = i;
  return o;
}

std::size_t encode_units32_in_blocks(const std::uint32_t* units, std::size_t count, char* out,
                                     std::size_t& consumed) noexcept {
  std::size_t i = 0;
  std::size_t o = 0;
  for (; count - i >= 16; i += 16) {
    o += encode_sixteen<true>(_mm512_loadu_si512(units + i), out + o);
  }
  consumed = i;
  return o;
}

}  // namespace

constinit EncodeUnits16* const kEncodeUnits16 = encode_units16_in_blocks;
constinit EncodeUnits32* const kEncodeUnits32 = encode_units32_in_blocks;

}  // namespace corvane::scoring::avx512vbmi2

CORVANE_TARGET_END()
