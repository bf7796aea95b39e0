// The AVX-512 byte-vector traits: 64-byte vectors, comparisons in mask
// registers.
//
// Contract: `Avx512BwBytes` is a `ShuffleByteVector`
// (scoring/arch/byte_vector.h) on __m512i for AVX-512 F and BW; its `Mask`
// is a mask register, which `both`, `either`, `unless`, `select`,
// `subtract` (as all ones per set lane) and `lanes` take like the all-ones
// vectors of the other traits, and it adds `put(v, mask, b)` (v with byte b
// in the lanes of a `lanes`-style mask). `Avx512VbmiBytes` adds, for
// AVX512VBMI, `lead_table(c, d)` and `look_up_lead(table, leads)`:
// lane-wise c[lead & 15] for leads 0xC0..0xCF and d[lead & 15] for
// 0xD0..0xDF in one look-up. Include this header only inside a target
// region that switches its level on (scoring/arch/x86_64/avx512bw.cc,
// avx512vbmi2.cc); the kernel table runs that code only where the CPU has
// the level.
// Complexity: O(1) per operation.
#pragma once

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

namespace corvane::scoring {
namespace {

// A lane-wise comparison's result, kept in a mask register rather than
// widened to a vector of all-ones bytes.
struct Avx512Mask {
  __mmask64 bits;
};

struct Avx512BwBytes {
  using Vector = __m512i;
  using Mask = Avx512Mask;
  static constexpr std::size_t kWidth = 64;
  static __m512i splat(char b) noexcept { return _mm512_set1_epi8(b); }
  static __m512i load(const char* p) noexcept { return _mm512_loadu_si512(p); }
  static void store(char* p, __m512i v) noexcept { _mm512_storeu_si512(p, v); }
  // A masked load: the lanes past `size` are neither read nor faulted on.
  static __m512i load_partial(const char* p, std::size_t size) noexcept {
    return _mm512_maskz_loadu_epi8(_bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(size)), p);
  }
  static __m512i table16(const unsigned char* p) noexcept {
    return _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static __m512i either(__m512i a, __m512i b) noexcept { return _mm512_or_si512(a, b); }
  static Mask either(Mask a, Mask b) noexcept { return {_kor_mask64(a.bits, b.bits)}; }
  static __m512i both(__m512i a, __m512i b) noexcept { return _mm512_and_si512(a, b); }
  static Mask both(Mask a, Mask b) noexcept { return {_kand_mask64(a.bits, b.bits)}; }
  static __m512i both(Mask m, __m512i v) noexcept { return _mm512_maskz_mov_epi8(m.bits, v); }
  static __m512i both(__m512i v, Mask m) noexcept { return _mm512_maskz_mov_epi8(m.bits, v); }
  static __m512i unless(__m512i mask, __m512i v) noexcept { return _mm512_andnot_si512(mask, v); }
  static __m512i unless(Mask m, __m512i v) noexcept { return _mm512_maskz_mov_epi8(~m.bits, v); }
  static __m512i add(__m512i a, __m512i b) noexcept { return _mm512_add_epi8(a, b); }
  static __m512i subtract(__m512i a, __m512i b) noexcept { return _mm512_sub_epi8(a, b); }
  // Less all ones (so plus one) where the mask is set.
  static __m512i subtract(__m512i v, Mask m) noexcept {
    return _mm512_mask_sub_epi8(v, m.bits, v, _mm512_set1_epi8(-1));
  }
  static Mask equal(__m512i a, __m512i b) noexcept { return {_mm512_cmpeq_epi8_mask(a, b)}; }
  static Mask greater(__m512i a, __m512i b) noexcept { return {_mm512_cmpgt_epi8_mask(a, b)}; }
  static __m512i high_nibbles(__m512i v) noexcept {
    return _mm512_and_si512(_mm512_srli_epi16(v, 4), _mm512_set1_epi8(0x0F));
  }
  // Byte shifts stay within 128-bit quarters: the quadword shift puts each
  // quarter next to the one below it (before's top quarter below lane 0).
  static __m512i shift_up_from(__m512i v, __m512i before) noexcept {
    return _mm512_alignr_epi8(v, _mm512_alignr_epi64(v, before, 6), 15);
  }
  static __m512i saturating_add(__m512i a, __m512i b) noexcept { return _mm512_adds_epu8(a, b); }
  static __m512i select(Mask m, __m512i a, __m512i b) noexcept {
    return _mm512_mask_blend_epi8(m.bits, b, a);
  }
  static __m512i look_up(__m512i table, __m512i index) noexcept {
    return _mm512_shuffle_epi8(table, index);
  }
  static Mask at_least(__m512i v, __m512i bound) noexcept {
    return {_mm512_cmpge_epu8_mask(v, bound)};
  }
  static Mask at_most(__m512i v, __m512i bound) noexcept {
    return {_mm512_cmple_epu8_mask(v, bound)};
  }
  // lo <= hi < 0x80, so v - lo (mod 256) is below the range's width exactly
  // for the bytes in it.
  static Mask in_range(__m512i v, char lo, char hi) noexcept {
    return {_mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8(lo)),
                                   _mm512_set1_epi8(static_cast<char>(hi - lo + 1)))};
  }
  static __m512i put(__m512i v, std::uint64_t mask, char b) noexcept {
    return _mm512_mask_mov_epi8(v, mask, _mm512_set1_epi8(b));
  }
  static std::uint64_t lanes(Mask m) noexcept { return _cvtmask64_u64(m.bits); }
  static std::uint64_t lanes(__m512i v) noexcept { return _mm512_movepi8_mask(v); }
  static std::size_t ascii_prefix(__m512i v) noexcept {
    return static_cast<std::size_t>(std::countr_zero(lanes(v)));
  }
};

struct Avx512VbmiBytes : Avx512BwBytes {
  // Leads 0xC0..0xDF index the 32 bytes of c then d by their low five
  // bits (the table repeats above them).
  static __m512i lead_table(__m512i c, __m512i d) noexcept {
    return _mm512_mask_blend_epi64(0xCC, c, d);
  }
  static __m512i look_up_lead(__m512i table, __m512i leads) noexcept {
    return _mm512_permutexvar_epi8(leads, table);
  }
};

}  // namespace
}  // namespace corvane::scoring
