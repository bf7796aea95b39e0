// The vector loop that lowercases text made of ASCII and two-byte UTF-8
// sequences (Latin-1, Greek, Cyrillic, Armenian, Hebrew, Arabic...), written
// once for every instruction set that has a 16-byte table look-up.
//
// Contract: `lower_two_byte_run<V>(text, from, out)` lowercases text from
// byte `from` (a code point boundary) into out, as far as the input is
// made of ASCII and of two-byte sequences whose lowercase form is again one
// two-byte sequence (U+03A3 included, decided by Final_Sigma over the whole
// text; not U+0130 or a length-changing mapping) and whole blocks of
// V::width bytes reach while a byte beyond the block remains, less a
// sequence that the last block's end cuts. It returns the length converted,
// which ends on a code point boundary; the output has the same length. It
// may write unspecified bytes past that, never at or beyond
// out + (text.size() - from); text and out must not overlap.
// `V` supplies a vector of V::width bytes and: `load` and `store`
// (unaligned), `splat` (every lane one byte), `either` (or), `both` (and),
// `unless(mask, v)` (v where mask is zero, else zero), `add` and `subtract`
// (lane-wise, modulo 256), `in_range` (as in ascii_lower_kernel.h, and zero
// in lanes of 0x80 or more), `table16` (the same 16 bytes in each 16-byte
// lane), `look_up` (lane-wise table[index] for indexes below 16),
// `high_nibbles` (each byte shifted right by four), `select` (mask ? a :
// b), `equal`, `greater` (signed), `at_least` / `at_most` (unsigned; all
// comparisons lane-wise, all ones where true), `shift_up` (lane k to lane
// k + 1, zero into lane 0) and `lanes` (one bit per lane, lane 0 lowest).
// Only per-architecture files include this header, after switching on their
// instruction set; everything has internal linkage.
// Complexity: O(size) where size = text.size() - from: per block a fixed
// number of vector operations (more for a block that holds capitals), plus
// a table look-up for each capital that the vector arithmetic of
// two_byte_case_shift.h leaves out, and the Final_Sigma scans.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ascii_lower_kernel.h"
#include "case_tables.h"
#include "final_sigma.h"
#include "two_byte_case_shift.h"

namespace corvane::scoring {
namespace {

template <class V>
inline std::size_t lower_two_byte_run(std::string_view text, std::size_t from, char* out) noexcept {
  constexpr std::size_t width = V::width;
  using case_data::two_byte_dirty_high;
  using case_data::two_byte_dirty_low;
  // The dirty ranges of leads 0xC0..0xCF and 0xD0..0xDF, as a low end and
  // a width: low <= b <= high exactly where b - low (mod 256) <= high - low.
  // An empty range becomes low 0xFF, width 0, which no UTF-8 byte matches.
  // The ranges hold continuation bytes only, so lanes without a two-byte
  // lead, whose next byte is never one, match none.
  const auto dirty_low_c = V::table16(two_byte_dirty_low);
  const auto dirty_low_d = V::table16(two_byte_dirty_low + 16);
  const auto dirty_high_c = V::table16(two_byte_dirty_high);
  const auto dirty_high_d = V::table16(two_byte_dirty_high + 16);
  const auto used_c = V::at_most(dirty_low_c, dirty_high_c);
  const auto used_d = V::at_most(dirty_low_d, dirty_high_d);
  const auto low_c = V::select(used_c, dirty_low_c, V::splat('\xFF'));
  const auto low_d = V::select(used_d, dirty_low_d, V::splat('\xFF'));
  const auto width_c = V::both(used_c, V::subtract(dirty_high_c, dirty_low_c));
  const auto width_d = V::both(used_d, V::subtract(dirty_high_d, dirty_low_d));
  // The capitals lowered by arithmetic (two_byte_case_shift.h).
  const auto shift_lead_c = V::table16(case_shift_lead_c.data());
  const auto shift_lead_d = V::table16(case_shift_lead_d.data());
  const auto shift_high = V::table16(case_shift_high.data());
  const auto shift_low = V::table16(case_shift_low.data());
  const auto zero = V::splat(0);
  const char* in = text.data() + from;
  const std::size_t size = text.size() - from;
  const auto* bytes = reinterpret_cast<const unsigned char*>(in);

  // Blocks follow one another at a fixed stride, so that the next block's
  // loads never wait on this block's bytes. A block without a sequence that
  // lowercasing changes only lowers its ASCII. In one with such sequences,
  // the common capitals move by arithmetic: the lead lane takes the carry,
  // the continuation lane (one up) the rest of the offset. A sequence whose
  // lead is the block's last lane, and every other changed one, goes to the
  // scalar patch, which leaves a continuation byte beyond the block to the
  // next block as `pending`.
  static constexpr auto last_lane = [] {
    std::array<char, width> lanes{};
    lanes[width - 1] = '\xFF';
    return lanes;
  }();
  const auto in_last_lane = V::load(last_lane.data());
  int pending = -1;  // the byte for the next block's lane 0, if any
  std::size_t i = 0;
  while (size - i > width) {
    const auto leads = V::load(in + i);
    // Lane k: the byte after lane k. In well-formed text, up to the first
    // lead of a longer sequence (a stop, past which nothing is kept), only a
    // lane holding a two-byte lead is followed by a continuation byte.
    const auto next = V::load(in + i + 1);
    const std::uint64_t stops = V::lanes(V::at_least(leads, V::splat('\xE0')));
    const std::uint64_t before_stop =
        stops != 0 ? (std::uint64_t{1} << std::countr_zero(stops)) - 1 : ~std::uint64_t{0};

    // Leads 0xD0..0xDF take the second tables (and so do ASCII lanes and
    // stops, which no table entry can match).
    const auto upper_half = V::greater(leads, V::splat('\xCF'));
    const auto index = V::both(leads, V::splat('\x0F'));
    const auto low = V::select(upper_half, V::look_up(low_d, index), V::look_up(low_c, index));
    const auto range =
        V::select(upper_half, V::look_up(width_d, index), V::look_up(width_c, index));
    const auto dirty = V::at_most(V::subtract(next, low), range);
    std::uint64_t patch = V::lanes(dirty) & before_stop;

    auto lowered = lower_ascii_lanes<V>(leads);
    if (patch != 0) {
      // The last lane's continuation lies in the next block: not shifted.
      const auto bits = V::unless(
          in_last_lane,
          V::both(V::select(upper_half, V::look_up(shift_lead_d, index),
                            V::look_up(shift_lead_c, index)),
                  V::both(V::look_up(shift_high, V::high_nibbles(next)),
                          V::look_up(shift_low, V::both(next, V::splat('\x0F'))))));
      const auto unshifted = V::equal(bits, zero);
      // The code point offset, then how it splits: the lead moves up by one
      // where the continuation's low six bits overflow (the sum stays below
      // 0x80, so the signed comparison is exact).
      const auto delta = V::add(V::unless(unshifted, V::splat(0x20)),
                                V::both(bits, V::splat(static_cast<char>(case_shift_extra_bits))));
      const auto carry = V::greater(V::add(V::both(next, V::splat(0x3F)), delta), V::splat(0x3F));
      const auto change = V::subtract(delta, V::both(carry, V::splat(0x40)));
      lowered = V::add(V::subtract(lowered, carry), V::shift_up(change));
      patch = V::lanes(V::both(dirty, unshifted)) & before_stop;
    }
    V::store(out + i, lowered);
    if (pending >= 0) out[i] = static_cast<char>(pending);
    pending = -1;

    while (patch != 0) {
      const std::size_t k = i + static_cast<std::size_t>(std::countr_zero(patch));
      const char32_t cp = (char32_t{bytes[k] & 0x1Fu} << 6) | (bytes[k + 1] & 0x3Fu);
      const unsigned char* mapped = two_byte_lowercase_at(cp);
      unsigned char second;
      if (mapped[0] != 0) {
        out[k] = static_cast<char>(mapped[0]);
        second = mapped[1];
      } else if (cp == 0x03A3) {
        out[k] = '\xCF';
        second = sigma_ends_word(text, from + k) ? 0x82 : 0x83;  // U+03C2 : U+03C3
      } else {
        return k;  // the caller's scalar code takes it from here
      }
      if (k + 1 == i + width) {
        pending = second;
      } else {
        out[k + 1] = static_cast<char>(second);
      }
      patch &= patch - 1;
    }
    if (stops != 0) return i + static_cast<std::size_t>(std::countr_zero(stops));
    i += width;
  }
  // A lead in the last block's last lane is left to the caller.
  if (i != 0 && (bytes[i] & 0xC0) == 0x80) --i;
  return i;
}

}  // namespace
}  // namespace corvane::scoring
