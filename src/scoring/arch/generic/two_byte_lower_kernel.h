// The vector loop that lowercases text made of ASCII and two-byte UTF-8
// sequences (Latin-1, Greek, Cyrillic, Armenian, Hebrew, Arabic...), written
// once for every instruction set that has a 16-byte table look-up.
//
// Contract: `lower_two_byte_run<V>(text, from, out)` lowercases text from
// byte `from` (a code point boundary) into out, as far as the input is
// made of ASCII and of two-byte sequences whose lowercase form is again one
// two-byte sequence (U+03A3 included, decided by Final_Sigma over the whole
// text; not U+0130 or a length-changing mapping) and whole blocks of
// V::kWidth bytes reach while a byte beyond the block remains, less a
// sequence that the last block's end cuts. It returns the length converted,
// which ends on a code point boundary; the output has the same length. It
// may write unspecified bytes past that, never at or beyond
// out + (text.size() - from); text and out must not overlap.
// `V` is a `ShuffleByteVector` (scoring/arch/byte_vector.h) whose
// `in_range` gives zero in lanes of 0x80 or more.
// It uses two optional operations where V has them (`LeadLookUp`:
// `lead_table` and `look_up_lead`, anything for bytes other than leads
// 0xC0..0xDF; `LanePut`: `put`), as the AVX-512 traits describe them.
// Only per-architecture files include this header, after switching on their
// instruction set; everything has internal linkage.
// Complexity: O(size) where size = text.size() - from: per block a fixed
// number of vector operations (more while capitals are about, more again
// for a block that holds a capital sigma), plus a table look-up for each
// capital that the vector arithmetic of two_byte_case_shift.h leaves out,
// and the Final_Sigma scans for the sigmas whose neighbours the vector
// tests of sigma_context.h do not settle.
#pragma once

#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scoring/arch/byte_vector.h"
#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/arch/generic/dirty_range.h"
#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/sigma_context.h"
#include "scoring/unicode/two_byte_case_shift.h"
#include "scoring/unicode/two_byte_lowercase.h"

namespace corvane::scoring {
namespace {

// The optional operations of V (see above).
template <class V>
concept LeadLookUp = requires(typename V::Vector v) { V::look_up_lead(V::lead_table(v, v), v); };

template <class V>
concept LanePut = requires(typename V::Vector v, std::uint64_t mask) {
  { V::put(v, mask, '\x82') } -> std::same_as<typename V::Vector>;
};

// Where the code points next to capital sigmas settle Final_Sigma without
// the property tables (sigma_context.h), for the sigmas whose lead is in a
// lane of `sigmas`: `lower` where the sigma is U+03C3, `final` where it is
// U+03C2. `before1`/`before2` are the block's bytes one and two lanes down
// (the bytes before each lane), `after2`/`after3` two and three lanes up.
struct SigmaDecisions {
  std::uint64_t lower;
  std::uint64_t final;
};

template <ShuffleByteVector V>
inline SigmaDecisions decide_sigmas(std::uint64_t sigmas, typename V::Vector before2,
                                    typename V::Vector before1, typename V::Vector after2,
                                    typename V::Vector after3) noexcept {
  const auto low_nibble = V::splat('\x0F');
  const auto letter_lead = V::table16(kSigmaLetterLead.data());
  const auto letter_high = V::table16(kSigmaLetterHigh.data());
  const auto letter_low = V::table16(kSigmaLetterLow.data());
  const auto break_high = V::table16(kSigmaBreakHigh.data());
  const auto break_low = V::table16(kSigmaBreakLow.data());
  // The ASCII letter, the ASCII break, and the two-byte letter starting at
  // the lane of `first` (followed by `second`).
  const auto ascii_letters = [&](auto first) {
    return V::lanes(V::in_range(V::either(first, V::splat(0x20)), 'a', 'z'));
  };
  const auto ascii_breaks = [&](auto first) {
    return V::lanes(V::greater(V::both(V::look_up(break_high, V::high_nibbles(first)),
                                       V::look_up(break_low, V::both(first, low_nibble))),
                               V::splat(0)));
  };
  const auto two_byte_letters = [&](auto first, auto second) {
    // Leads 0xC3..0xD2 to indexes 0x70..0x7F; everything else to 0x80 or
    // more, which looks up zero.
    const auto index = V::saturating_add(V::subtract(first, V::splat('\xC3')), V::splat(0x70));
    const auto bits = V::both(V::look_up(letter_lead, index),
                              V::both(V::look_up(letter_high, V::high_nibbles(second)),
                                      V::look_up(letter_low, V::both(second, low_nibble))));
    return V::lanes(V::greater(bits, V::splat(0)));
  };
  // The code point before a sigma ends one lane down: an ASCII byte there,
  // or the continuation of a two-byte lead two lanes down.
  const std::uint64_t before_letter = ascii_letters(before1) | two_byte_letters(before2, before1);
  const std::uint64_t before_break = ascii_breaks(before1);
  const std::uint64_t after_letter = ascii_letters(after2) | two_byte_letters(after2, after3);
  const std::uint64_t after_break = ascii_breaks(after2);
  return {sigmas & (before_break | after_letter), sigmas & before_letter & after_break};
}

template <ShuffleByteVector V>
inline std::size_t lower_two_byte_run(std::string_view text, std::size_t from, char* out) noexcept {
  constexpr std::size_t width = V::kWidth;
  using case_data::kTwoByteDirtyHigh;
  using case_data::kTwoByteDirtyLow;
  // The dirty ranges of leads 0xC0..0xCF and 0xD0..0xDF. The ranges hold
  // continuation bytes only, so lanes without a two-byte lead, whose next
  // byte is never one, match none.
  const DirtyRange<V> c = dirty_range<V>(kTwoByteDirtyLow, kTwoByteDirtyHigh);
  const DirtyRange<V> d = dirty_range<V>(kTwoByteDirtyLow + 16, kTwoByteDirtyHigh + 16);
  // The table entry of each lane's lead. In lanes that hold no two-byte
  // lead, the next byte is no continuation byte, which every use of an
  // entry needs before it counts; so what they look up does not matter.
  const auto by_lead = [](auto table_c, auto table_d) {
    if constexpr (LeadLookUp<V>) {
      return V::lead_table(table_c, table_d);
    } else {
      return std::array{table_c, table_d};
    }
  };
  const auto look_up_lead = [](const auto& table, auto leads) {
    if constexpr (LeadLookUp<V>) {
      return V::look_up_lead(table, leads);
    } else {
      // Leads 0xD0..0xDF take the second table (and so do ASCII lanes and
      // stops).
      const auto index = V::both(leads, V::splat('\x0F'));
      return V::select(V::greater(leads, V::splat('\xCF')), V::look_up(table[1], index),
                       V::look_up(table[0], index));
    }
  };
  const auto dirty_low = by_lead(c.low, d.low);
  const auto dirty_width = by_lead(c.span, d.span);
  // The capitals lowered by arithmetic (two_byte_case_shift.h).
  const auto shift_lead =
      by_lead(V::table16(kCaseShiftLeadC.data()), V::table16(kCaseShiftLeadD.data()));
  const auto shift_high = V::table16(kCaseShiftHigh.data());
  const auto shift_low = V::table16(kCaseShiftLow.data());
  const auto shift_accent = V::table16(kCaseShiftAccent.data());
  const auto zero = V::splat(0);
  const char* in = text.data() + from;
  const std::size_t size = text.size() - from;
  const auto* bytes = reinterpret_cast<const unsigned char*>(in);

  // Blocks follow one another at a fixed stride, so that the next block's
  // loads never wait on this block's bytes. While capitals are about, every
  // block takes the same vector arithmetic whether it holds one or not (on
  // running text that branch would be a guess). The claimed capitals move
  // by arithmetic:
  // the lead lane takes the carry, the continuation lane (one up) the rest
  // of the offset; for a lead in the block's last lane that rest is added
  // to the next block's lane 0. Capital sigmas come out as U+03C3; where
  // the neighbouring code points show a final sigma, the continuation byte
  // becomes 0x82 (U+03C2), and where they do not settle it, the sigma goes
  // to the scalar patch with the other changed sequences. The patch leaves
  // a continuation byte beyond the block to the next block as `pending`.
  auto carried = zero;        // the previous block's offsets, lane by lane
  int pending = -1;           // the byte for the next block's lane 0, if any
  unsigned clean_blocks = 0;  // blocks in a row with nothing but ASCII to change
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

    const auto dirty = V::at_most(V::subtract(next, look_up_lead(dirty_low, leads)),
                                  look_up_lead(dirty_width, leads));
    std::uint64_t patch = V::lanes(dirty) & before_stop;

    auto lowered = lower_ascii_lanes<V>(leads);
    std::uint64_t finals = 0;
    // After a few blocks without anything the arithmetic changes, blocks
    // without one skip it; otherwise every block takes it, so that in
    // running text with capitals the branch does not hinge on each block.
    // (A block after clean ones has nothing carried into it.)
    if (clean_blocks >= 4 && patch == 0) {
    } else {
      clean_blocks = patch == 0 ? clean_blocks + 1 : 0;
      const auto next_low = V::both(next, V::splat('\x0F'));
      const auto bits = V::both(
          look_up_lead(shift_lead, leads),
          V::both(V::look_up(shift_high, V::high_nibbles(next)), V::look_up(shift_low, next_low)));
      // The code point offset, then how it splits: the lead moves up by one
      // where the continuation's low six bits overflow (the sum stays below
      // 0x80, so the signed comparison is exact).
      const auto unshifted = V::equal(bits, zero);
      const auto accent = V::both(V::look_up(shift_accent, next_low), V::greater(zero, bits));
      const auto delta =
          V::add(V::add(V::unless(unshifted, V::splat(0x20)),
                        V::both(bits, V::splat(static_cast<char>(kCaseShiftExtraBits)))),
                 accent);
      const auto carry = V::greater(V::add(V::both(next, V::splat(0x3F)), delta), V::splat(0x3F));
      const auto change = V::subtract(delta, V::both(carry, V::splat(0x40)));
      lowered = V::add(V::subtract(lowered, carry), V::shift_up_from(change, carried));
      carried = change;
      patch &= V::lanes(unshifted);

      const std::uint64_t sigmas =
          V::lanes(V::both(V::equal(leads, V::splat('\xCE')), V::equal(next, V::splat('\xA3')))) &
          before_stop;
      if (sigmas != 0) {
        // The neighbours' bytes lie within the text only away from its ends.
        if (from + i >= 2 && size - i >= width + 3) {
          const SigmaDecisions decided =
              decide_sigmas<V>(sigmas, V::load(in + i - 2), V::load(in + i - 1),
                               V::load(in + i + 2), V::load(in + i + 3));
          finals = decided.final;
          patch |= sigmas & ~(decided.lower | decided.final);
        } else {
          patch |= sigmas;
        }
      }
    }
    if constexpr (LanePut<V>) {
      // A final sigma's continuation lane is one up from its lead.
      lowered = V::put(lowered, finals << 1, '\x82');  // U+03C2
    }
    V::store(out + i, lowered);
    if (pending >= 0) out[i] = static_cast<char>(pending);
    pending = -1;
    if constexpr (LanePut<V>) {
      if ((finals >> (width - 1)) != 0) pending = 0x82;
      finals = 0;
    }
    for (; finals != 0; finals &= finals - 1) {
      const std::size_t k = static_cast<std::size_t>(std::countr_zero(finals)) + 1;
      if (k == width) {
        pending = 0x82;
      } else {
        out[i + k] = '\x82';  // U+03C2
      }
    }

    while (patch != 0) {
      const std::size_t k = i + static_cast<std::size_t>(std::countr_zero(patch));
      const TwoBytes lowered = lower_two_byte_sequence(text, from + k);
      if (lowered.first == 0) return k;  // the caller's scalar code takes it from here
      out[k] = static_cast<char>(lowered.first);
      const unsigned char second = lowered.second;
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
