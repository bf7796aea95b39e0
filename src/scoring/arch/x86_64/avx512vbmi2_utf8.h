// How the AVX-512 VBMI2 level forms UTF-8 in a register: each form picked by
// VBMI's multishift and finished by one ternary logic, the bytes that count
// packed by VBMI2's byte compress.
//
// Contract: `encode_sixteen<MayNeedFour>(c, out)` writes the UTF-8 bytes of
// sixteen code points in 32-bit lanes (no surrogates) packed at `out`;
// `encode_thirty_two_short(c, out)` those of thirty-two 16-bit units below
// U+0800 and `encode_thirty_two_long(v, out)` of thirty-two below U+10000;
// each gives how many and stores up to 64 (128 for the long form) bytes.
// `all_short(v)` says whether every 16-bit unit is below U+0800. Include
// only inside a region compiled for the level
// (scoring/arch/target_region.h); internal linkage.
// Complexity: O(1) per call.
#pragma once

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

namespace corvane::scoring::avx512vbmi2 {
namespace {

// Per 32-bit lane, the bit offsets within the lane's 64-bit word at which
// one multishift picks each byte of a form: lane 0 of the word at bit 0,
// lane 1 at bit 32. `or` and `and` finish each byte: its bits, its marker.
inline constexpr long long form_offsets(unsigned b0, unsigned b1, unsigned b2, unsigned b3) {
  const unsigned long long lane = b0 | (b1 << 8) | (b2 << 16) | (std::uint64_t{b3} << 24);
  const unsigned long long high =
      (b0 + 32) | ((b1 + 32) << 8) | ((b2 + 32) << 16) | (std::uint64_t{b3 + 32} << 24);
  return static_cast<long long>(lane | (high << 32));
}

// The form of each lane given by `offsets`, with the bits `keep` of each
// byte and the marker bits `mark` (one value per 32-bit lane).
inline __m512i utf8_form(__m512i c, long long offsets, int keep, int mark) noexcept {
  const __m512i picked = _mm512_multishift_epi64_epi8(_mm512_set1_epi64(offsets), c);
  // (picked & keep) | mark.
  return _mm512_ternarylogic_epi32(picked, _mm512_set1_epi32(keep), _mm512_set1_epi32(mark), 0xEA);
}

// Sixteen code points (no surrogates) in 32-bit lanes to UTF-8 with no
// branch on any of their lengths: each lane is given all four bytes of the
// longest form it may need, and one compress keeps the bytes its length
// wants, packed, at `out`. Writes 64 bytes; gives how many count. Without
// `MayNeedFour` (units of two bytes) no lane is taken for four bytes.
template <bool MayNeedFour>
inline std::size_t encode_sixteen(__m512i c, char* out) noexcept {
  const __mmask16 beyond_one = _mm512_cmpgt_epu32_mask(c, _mm512_set1_epi32(0x7F));
  const __mmask16 beyond_two = _mm512_cmpgt_epu32_mask(c, _mm512_set1_epi32(0x7FF));
  // Lead byte first, the continuation bytes in the lane's higher bytes.
  const __m512i two = utf8_form(c, form_offsets(6, 0, 0, 0), 0x3F1F, 0x80C0);
  const __m512i three = utf8_form(c, form_offsets(12, 6, 0, 0), 0x3F3F0F, 0x8080E0);
  __m512i bytes = _mm512_mask_blend_epi32(beyond_one, c, two);
  bytes = _mm512_mask_blend_epi32(beyond_two, bytes, three);

  // Byte 4k of lane k always counts, byte 4k + j when the code point needs
  // more than j bytes.
  std::uint64_t keep = 0x1111111111111111u | _pdep_u64(beyond_one, 0x2222222222222222u) |
                       _pdep_u64(beyond_two, 0x4444444444444444u);
  if constexpr (MayNeedFour) {
    const __mmask16 beyond_three = _mm512_cmpgt_epu32_mask(c, _mm512_set1_epi32(0xFFFF));
    const __m512i four =
        utf8_form(c, form_offsets(18, 12, 6, 0), 0x3F3F3F07, static_cast<int>(0x808080F0u));
    bytes = _mm512_mask_blend_epi32(beyond_three, bytes, four);
    keep |= _pdep_u64(beyond_three, 0x8888888888888888u);
  }
  _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, bytes));
  return static_cast<std::size_t>(std::popcount(keep));
}

// Thirty-two units below U+0800 in 16-bit lanes to UTF-8: each lane is given
// both bytes of the two-byte form (or the unit itself where it is ASCII) and
// one compress keeps what counts. Writes 64 bytes; gives how many count.
inline std::size_t encode_thirty_two_short(__m512i c, char* out) noexcept {
  const __mmask32 beyond_one = _mm512_cmpgt_epu16_mask(c, _mm512_set1_epi16(0x7F));
  // Lead C0 | c >> 6 in the low byte, 80 | (c & 3F) in the high byte.
  const __m512i lead = _mm512_or_si512(_mm512_srli_epi16(c, 6), _mm512_set1_epi16(0xC0));
  const __m512i tail =
      _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(c, _mm512_set1_epi16(0x3F)), 8),
                      _mm512_set1_epi16(static_cast<short>(0x8000)));
  const __m512i bytes = _mm512_mask_blend_epi16(beyond_one, c, _mm512_or_si512(lead, tail));
  const std::uint64_t keep = 0x5555555555555555u | _pdep_u64(beyond_one, 0xAAAAAAAAAAAAAAAAu);
  _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, bytes));
  return static_cast<std::size_t>(std::popcount(keep));
}

// Thirty-two units below U+10000 of any length, sixteen at a time in 32-bit
// lanes. Writes up to 128 bytes.
inline std::size_t encode_thirty_two_long(__m512i v, char* out) noexcept {
  const std::size_t o =
      encode_sixteen<false>(_mm512_cvtepu16_epi32(_mm512_castsi512_si256(v)), out);
  return o + encode_sixteen<false>(_mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(v, 1)), out + o);
}

// Whether every unit of `v` is below U+0800, so that two bytes hold each.
inline bool all_short(__m512i v) noexcept {
  return _mm512_test_epi16_mask(v, _mm512_set1_epi16(static_cast<short>(0xF800))) == 0;
}

}  // namespace
}  // namespace corvane::scoring::avx512vbmi2
