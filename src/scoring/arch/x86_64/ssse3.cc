// The kernels for SSSE3 (for its byte shuffle), compiled for it whatever the
// build's baseline.
#include <emmintrin.h>
#include <tmmintrin.h>

#include "scoring/arch/generic/kernel_dependencies.h"
#include "scoring/arch/target_region.h"
#include "scoring/arch/x86_64/entry_points.h"

// Everything defined from here on, the kernels included, is compiled for
// SSSE3. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN("ssse3")

#include "scoring/arch/generic/long_lower_kernel.h"
#include "scoring/arch/generic/two_byte_lower_kernel.h"
#include "scoring/arch/x86_64/ssse3_bytes.h"

namespace corvane::scoring {
namespace {

// For eight units whose UTF-8 bytes lie interleaved as [first0, second0,
// first1, second1, ...], the shuffle that keeps every first byte and the
// second bytes of the units that are not ASCII (bit k of the index set
// where unit k is ASCII), packed to the front, and how many bytes it keeps.
struct PackTable {
  unsigned char shuffle[256][16];
  unsigned char length[256];
};

constexpr PackTable make_pack_table() {
  PackTable table{};
  for (unsigned ascii = 0; ascii < 256; ++ascii) {
    unsigned n = 0;
    for (unsigned k = 0; k < 8; ++k) {
      table.shuffle[ascii][n++] = static_cast<unsigned char>(2 * k);
      if (((ascii >> k) & 1) == 0)
        table.shuffle[ascii][n++] = static_cast<unsigned char>(2 * k + 1);
    }
    for (unsigned r = n; r < 16; ++r) table.shuffle[ascii][r] = 0x80;
    table.length[ascii] = static_cast<unsigned char>(n);
  }
  return table;
}

constexpr PackTable kPackTable = make_pack_table();

}  // namespace

std::size_t encode_utf8_short_units_ssse3(const std::uint16_t* units, std::size_t count, char* out,
                                          std::size_t& consumed) noexcept {
  const __m128i zero = _mm_setzero_si128();
  std::size_t i = 0;
  std::size_t o = 0;
  while (count - i >= 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
    const __m128i short_lanes = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x800)), zero);
    if (_mm_movemask_epi8(short_lanes) != 0xFFFF) break;
    const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x80)), zero);
    const unsigned ascii_bits =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii, zero))) & 0xFF;
    if (ascii_bits == 0xFF) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + o), _mm_packus_epi16(v, zero));
      o += 8;
      i += 8;
      continue;
    }
    // First byte: the unit itself where ASCII, else 0xC0 | (c >> 6); second
    // byte 0x80 | (c & 0x3F); interleaved by putting the second above.
    const __m128i lead = _mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0xC0));
    const __m128i first = _mm_or_si128(_mm_and_si128(ascii, v), _mm_andnot_si128(ascii, lead));
    const __m128i second =
        _mm_or_si128(_mm_and_si128(v, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
    const __m128i pairs = _mm_or_si128(first, _mm_slli_epi16(second, 8));
    const __m128i shuffle =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(kPackTable.shuffle[ascii_bits]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), _mm_shuffle_epi8(pairs, shuffle));
    o += kPackTable.length[ascii_bits];
    i += 8;
  }
  consumed = i;
  return o;
}

std::size_t lower_long_run_ssse3(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_long_run<Ssse3Bytes>(text, from, out);
}

std::size_t lower_two_byte_run_ssse3(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_two_byte_run<Ssse3Bytes>(text, from, out);
}

}  // namespace corvane::scoring

CORVANE_TARGET_END()
