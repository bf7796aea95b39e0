// How the SSSE3 level forms UTF-8 in a register: sixteen bytes packed by one
// byte shuffle from a table, for up to eight units below U+0800 or four
// below U+10000.
//
// Contract: `encode_eight_short(v, out)` writes the UTF-8 bytes of the
// eight 16-bit units of `v` (each below U+0800) packed at `out` and gives
// how many; `encode_four_units(v, index, out)` does so for four units
// below U+10000 in 32-bit lanes, `index` giving which need two and three
// bytes; both store sixteen bytes. `in_range(v, lo, span)` marks the 16-bit
// lanes in lo..lo + span. Include only inside a region compiled for SSSE3
// (scoring/arch/target_region.h); internal linkage.
// Complexity: O(1) per call.
#pragma once

#include <emmintrin.h>
#include <tmmintrin.h>

#include <cstddef>
#include <cstdint>

namespace corvane::scoring::ssse3 {
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

// For four units whose UTF-8 bytes lie in four 32-bit lanes (the first in
// the lowest byte), the shuffle that keeps each unit's 1, 2 or 3 bytes,
// packed to the front, and how many bytes it keeps: indexed by bit k set
// where unit k is U+0080 or above, and bit 4 + k where it is U+0800 or
// above.
constexpr PackTable make_wide_pack_table() {
  PackTable table{};
  for (unsigned index = 0; index < 256; ++index) {
    unsigned n = 0;
    for (unsigned k = 0; k < 4; ++k) {
      const unsigned bytes = 1 + ((index >> k) & 1) + ((index >> (4 + k)) & 1);
      for (unsigned b = 0; b < bytes; ++b)
        table.shuffle[index][n++] = static_cast<unsigned char>(4 * k + b);
    }
    for (unsigned r = n; r < 16; ++r) table.shuffle[index][r] = 0x80;
    table.length[index] = static_cast<unsigned char>(n);
  }
  return table;
}

constexpr PackTable kWidePackTable = make_wide_pack_table();

// The UTF-8 bytes of four units below U+10000 (in the low 16 bits of each
// 32-bit lane of `v`), packed, at `out`; gives how many. Writes 16 bytes.
inline std::size_t encode_four_units(__m128i v, unsigned index, char* out) noexcept {
  const __m128i low6 = _mm_set1_epi32(0x3F);
  const __m128i continuation = _mm_set1_epi32(0x80);
  const __m128i last = _mm_or_si128(_mm_and_si128(v, low6), continuation);
  const __m128i middle = _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 6), low6), continuation);
  // Three bytes: E0 | c >> 12, then the middle, then the last byte.
  const __m128i three =
      _mm_or_si128(_mm_or_si128(_mm_or_si128(_mm_srli_epi32(v, 12), _mm_set1_epi32(0xE0)),
                                _mm_slli_epi32(middle, 8)),
                   _mm_slli_epi32(last, 16));
  // Two bytes: C0 | c >> 6, then the last byte.
  const __m128i two = _mm_or_si128(_mm_or_si128(_mm_srli_epi32(v, 6), _mm_set1_epi32(0xC0)),
                                   _mm_slli_epi32(last, 8));
  const __m128i is_two = _mm_cmpgt_epi32(v, _mm_set1_epi32(0x7F));
  const __m128i is_three = _mm_cmpgt_epi32(v, _mm_set1_epi32(0x7FF));
  __m128i bytes = _mm_or_si128(_mm_and_si128(is_two, two), _mm_andnot_si128(is_two, v));
  bytes = _mm_or_si128(_mm_and_si128(is_three, three), _mm_andnot_si128(is_three, bytes));
  const __m128i shuffle =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(kWidePackTable.shuffle[index]));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, shuffle));
  return kWidePackTable.length[index];
}

// The UTF-8 bytes of eight units below U+0800 (16-bit lanes of `v`), packed,
// at `out`; gives how many. Writes 16 bytes.
inline std::size_t encode_eight_short(__m128i v, char* out) noexcept {
  const __m128i zero = _mm_setzero_si128();
  const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x80)), zero);
  const unsigned ascii_bits =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii, zero))) & 0xFF;
  if (ascii_bits == 0xFF) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, zero));
    return 8;
  }
  // First byte: the unit itself where ASCII, else 0xC0 | (c >> 6); second
  // byte 0x80 | (c & 0x3F); interleaved by putting the second above.
  const __m128i lead = _mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0xC0));
  const __m128i first = _mm_or_si128(_mm_and_si128(ascii, v), _mm_andnot_si128(ascii, lead));
  const __m128i second = _mm_or_si128(_mm_and_si128(v, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
  const __m128i pairs = _mm_or_si128(first, _mm_slli_epi16(second, 8));
  const __m128i shuffle =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(kPackTable.shuffle[ascii_bits]));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(pairs, shuffle));
  return kPackTable.length[ascii_bits];
}

// The lanes of `v` (16-bit) in lo..hi, all ones where they are.
inline __m128i in_range(__m128i v, short lo, short span) noexcept {
  return _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, _mm_set1_epi16(lo)), _mm_set1_epi16(span)),
                         _mm_setzero_si128());
}

}  // namespace
}  // namespace corvane::scoring::ssse3
