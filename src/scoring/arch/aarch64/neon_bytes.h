// The NEON byte-vector trait: 16-byte vectors, for AArch64, where NEON is
// part of every CPU.
//
// Contract: `NeonBytes` is a `PartialLoadByteVector` and a
// `ShuffleByteVector` (scoring/arch/byte_vector.h) on uint8x16_t;
// comparisons give all-ones lanes. `lanes` reads each lane's high bit, as
// x86's byte mask does, so it also serves vectors that are not masks.
// `look_up` gives table[index & 0x0F] for indexes below 0x80 and zero for
// the rest, like x86's byte shuffle. No run-time check is needed. Include
// only where __aarch64__ is defined (little-endian).
// Complexity: O(1) per operation.
#pragma once

#include <arm_neon.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "scoring/arch/partial_load.h"

namespace corvane::scoring {
namespace {

struct NeonBytes {
  using Vector = uint8x16_t;
  using Mask = uint8x16_t;
  static constexpr std::size_t kWidth = 16;
  static_assert(std::endian::native == std::endian::little, "lane 0 is the lowest byte");

  static uint8x16_t splat(char b) noexcept { return vdupq_n_u8(static_cast<std::uint8_t>(b)); }
  static uint8x16_t load(const char* p) noexcept {
    return vld1q_u8(reinterpret_cast<const std::uint8_t*>(p));
  }
  static void store(char* p, uint8x16_t v) noexcept {
    vst1q_u8(reinterpret_cast<std::uint8_t*>(p), v);
  }
  static uint8x16_t table16(const unsigned char* p) noexcept { return vld1q_u8(p); }
  static uint8x16_t either(uint8x16_t a, uint8x16_t b) noexcept { return vorrq_u8(a, b); }
  static uint8x16_t both(uint8x16_t a, uint8x16_t b) noexcept { return vandq_u8(a, b); }
  static uint8x16_t unless(uint8x16_t mask, uint8x16_t v) noexcept { return vbicq_u8(v, mask); }
  static uint8x16_t add(uint8x16_t a, uint8x16_t b) noexcept { return vaddq_u8(a, b); }
  static uint8x16_t subtract(uint8x16_t a, uint8x16_t b) noexcept { return vsubq_u8(a, b); }
  static uint8x16_t saturating_add(uint8x16_t a, uint8x16_t b) noexcept { return vqaddq_u8(a, b); }
  static uint8x16_t equal(uint8x16_t a, uint8x16_t b) noexcept { return vceqq_u8(a, b); }
  static uint8x16_t greater(uint8x16_t a, uint8x16_t b) noexcept {
    return vcgtq_s8(vreinterpretq_s8_u8(a), vreinterpretq_s8_u8(b));
  }
  static uint8x16_t at_least(uint8x16_t v, uint8x16_t bound) noexcept { return vcgeq_u8(v, bound); }
  static uint8x16_t at_most(uint8x16_t v, uint8x16_t bound) noexcept { return vcleq_u8(v, bound); }
  static uint8x16_t high_nibbles(uint8x16_t v) noexcept { return vshrq_n_u8(v, 4); }
  static uint8x16_t shift_up_from(uint8x16_t v, uint8x16_t before) noexcept {
    return vextq_u8(before, v, 15);
  }
  static uint8x16_t select(uint8x16_t mask, uint8x16_t a, uint8x16_t b) noexcept {
    return vbslq_u8(mask, a, b);
  }
  // The table instruction gives zero for any index of 16 or more; the
  // kernels count on x86's rule (the low nibble, unless the high bit is
  // set), which keeping bits 7 and 0-3 gives.
  static uint8x16_t look_up(uint8x16_t table, uint8x16_t index) noexcept {
    return vqtbl1q_u8(table, vandq_u8(index, vdupq_n_u8(0x8F)));
  }
  // One unsigned comparison tests both bounds: below lo wraps to the top.
  static uint8x16_t in_range(uint8x16_t v, char lo, char hi) noexcept {
    return vcleq_u8(vsubq_u8(v, splat(lo)), vdupq_n_u8(static_cast<std::uint8_t>(hi - lo)));
  }
  // Each lane's high bit weighted by its place within its half, then the
  // halves summed: bits 0-7 from lanes 0-7, bits 8-15 from lanes 8-15.
  static std::uint64_t lanes(uint8x16_t v) noexcept {
    constexpr std::uint8_t weights[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
    const uint8x16_t set = vreinterpretq_u8_s8(vshrq_n_s8(vreinterpretq_s8_u8(v), 7));
    const uint8x16_t weighted = vandq_u8(set, vld1q_u8(weights));
    return vaddv_u8(vget_low_u8(weighted)) | (std::uint64_t{vaddv_u8(vget_high_u8(weighted))} << 8);
  }
  // Four bits per lane from one narrowing shift: cheaper than `lanes` where
  // only the first lane counts.
  static std::size_t ascii_prefix(uint8x16_t v) noexcept {
    const uint8x16_t high = vcltzq_s8(vreinterpretq_s8_u8(v));
    const std::uint64_t nibbles =
        vget_lane_u64(vreinterpret_u64_u8(vshrn_n_u16(vreinterpretq_u16_u8(high), 4)), 0);
    return nibbles == 0 ? kWidth : static_cast<std::size_t>(std::countr_zero(nibbles)) / 4;
  }
  // Two overlapping loads of the widest size that fits, shifted into
  // place, as for SSE2.
  static uint8x16_t load_partial(const char* p, std::size_t size) noexcept {
    if (size == kWidth) return load(p);
    const Halves h = load_partial_halves(p, size);
    return vreinterpretq_u8_u64(vcombine_u64(vcreate_u64(h.low), vcreate_u64(h.high)));
  }
};

}  // namespace
}  // namespace corvane::scoring
