// The vector loop that lowercases text made of ASCII and two-byte UTF-8
// sequences (Latin-1, Greek, Cyrillic, Armenian, Hebrew, Arabic...), written
// once for every instruction set that has a 16-byte table look-up.
//
// Contract: `lower_two_byte_run<V>(text, from, out)` lowercases text from
// byte `from` (a code point boundary) into out, as far as the input is
// made of ASCII and of two-byte sequences whose lowercase form is again one
// two-byte sequence (U+03A3 included, decided by Final_Sigma over the whole
// text; not U+0130 or a length-changing mapping) and whole blocks of
// V::width bytes reach while a byte beyond the block remains. It returns the
// length converted, which ends on a code point boundary; the output has the
// same length. It may write unspecified bytes past that, never at or beyond
// out + (text.size() - from); text and out must not overlap.
// `V` supplies a vector of V::width bytes and: `load` and `store`
// (unaligned), `splat` (every lane one byte), `either` (or), `both` (and),
// `in_range` (as in ascii_lower_kernel.h, and zero in lanes of 0x80 or
// more), `table16` (the same 16 bytes in each 16-byte lane), `look_up`
// (lane-wise table[index] for indexes below 16), `select` (mask ? a : b),
// `at_least` / `at_most` (lane-wise unsigned comparisons, all ones where
// true) and `lanes` (one bit per lane, lane 0 lowest). Only
// per-architecture files include this header, after switching on their
// instruction set; everything has internal linkage.
// Complexity: O(size) where size = text.size() - from: per block a fixed
// number of vector operations, plus a table look-up for each sequence that
// its lead byte's range cannot clear, and the Final_Sigma scans.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ascii_lower_kernel.h"
#include "case_tables.h"
#include "final_sigma.h"

namespace corvane::scoring {
namespace {

template <class V>
inline std::size_t lower_two_byte_run(std::string_view text, std::size_t from, char* out) noexcept {
  constexpr std::size_t width = V::width;
  using case_data::two_byte_dirty_high;
  using case_data::two_byte_dirty_low;
  // The dirty ranges of leads 0xC0..0xCF and 0xD0..0xDF.
  const auto low_c = V::table16(two_byte_dirty_low);
  const auto low_d = V::table16(two_byte_dirty_low + 16);
  const auto high_c = V::table16(two_byte_dirty_high);
  const auto high_d = V::table16(two_byte_dirty_high + 16);
  const char* in = text.data() + from;
  const std::size_t size = text.size() - from;
  const auto* bytes = reinterpret_cast<const unsigned char*>(in);

  std::size_t i = 0;
  // Each block also reads the byte after it: the last lead's continuation.
  while (size - i > width) {
    const auto leads = V::load(in + i);
    const auto next = V::load(in + i + 1);  // lane k: the byte after lane k
    V::store(out + i, lower_ascii_lanes<V>(leads));

    const auto is_lead =
        V::both(V::at_least(leads, V::splat('\xC0')), V::at_most(leads, V::splat('\xDF')));
    const std::uint64_t stops = V::lanes(V::at_least(leads, V::splat('\xE0')));
    const std::uint64_t lead_lanes = V::lanes(is_lead);
    std::size_t end = stops != 0 ? static_cast<std::size_t>(std::countr_zero(stops)) : width;
    // A sequence cut by the block's end waits for the next block.
    if (end != 0 && ((lead_lanes >> (end - 1)) & 1) != 0) --end;

    const auto upper_half = V::at_least(leads, V::splat('\xD0'));
    const auto index = V::both(leads, V::splat('\x0F'));
    const auto low = V::select(upper_half, V::look_up(low_d, index), V::look_up(low_c, index));
    const auto high = V::select(upper_half, V::look_up(high_d, index), V::look_up(high_c, index));
    const auto dirty = V::both(is_lead, V::both(V::at_least(next, low), V::at_most(next, high)));
    std::uint64_t patch = V::lanes(dirty) & ((std::uint64_t{1} << end) - 1);

    while (patch != 0) {
      const std::size_t k = i + static_cast<std::size_t>(std::countr_zero(patch));
      const char32_t cp = (char32_t{bytes[k] & 0x1Fu} << 6) | (bytes[k + 1] & 0x3Fu);
      const unsigned char* mapped = two_byte_lowercase_at(cp);
      if (mapped[0] != 0) {
        out[k] = static_cast<char>(mapped[0]);
        out[k + 1] = static_cast<char>(mapped[1]);
      } else if (cp == 0x03A3) {
        out[k] = '\xCF';
        out[k + 1] = sigma_ends_word(text, from + k) ? '\x82' : '\x83';  // U+03C2 : U+03C3
      } else {
        return k;  // the caller's scalar code takes it from here
      }
      patch &= patch - 1;
    }
    i += end;
    if (stops != 0) return i;
  }
  return i;
}

}  // namespace
}  // namespace corvane::scoring
