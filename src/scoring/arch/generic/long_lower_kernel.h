// The vector loop that lowercases text made of ASCII and of three- and
// four-byte UTF-8 sequences (CJK, kana, hangul, general punctuation,
// symbols, emoji), written once for every instruction set that has a
// 16-byte table look-up.
//
// Contract: `lower_long_run<V>(text, from, out)` lowercases text from byte
// `from` (a code point boundary) into out, as far as the input is made of
// ASCII and of sequences of three or four bytes whose lowercase form has the
// same length (most of them are their own lowercase form), and whole blocks
// of V::kWidth bytes reach while two bytes beyond the block remain, less a
// sequence that the last block's end cuts. It stops before a two-byte
// sequence, before a sequence whose lowercase form is shorter and before a
// changing one that a block's end cuts (rare: capitals are few), returns the length
// converted (a code point boundary) and writes as many bytes. It may write
// unspecified bytes past that, never at or beyond out + (text.size() -
// from); text and out must not overlap. `V` is a `ShuffleByteVector`
// (scoring/arch/byte_vector.h) whose `in_range` gives zero in lanes of 0x80
// or more. Only per-architecture files include this header, after
// switching on their instruction set; everything has internal linkage.
// Complexity: O(size) where size = text.size() - from: a fixed number of
// vector operations per block, plus a table look-up for each sequence whose
// second and third bytes fall in the generated ranges of its lead
// (case_data::kLongDirtyLow/High and kLongDirtyThirdLow/High: letterlike
// symbols, fullwidth Latin capitals and the other cased blocks, and what
// shares both ranges with them).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scoring/arch/byte_vector.h"
#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/arch/generic/dirty_range.h"
#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/utf8.h"

namespace corvane::scoring {
namespace {

// Lowercases the sequences whose leads sit in the set lanes of `dirty` in
// the block at `at`, in place in `out`, and clears them from `dirty`. Stops
// with false, leaving `dirty` at the first lane not done, at a sequence
// whose lowercase form has another length, or one that changes and that
// the block's end cuts (the next block's store would overwrite its tail).
inline bool patch(const char* in, std::size_t size, std::size_t at, std::uint64_t& dirty,
                  std::size_t width, char* out) noexcept {
  for (; dirty != 0; dirty &= dirty - 1) {
    const std::size_t lane = static_cast<std::size_t>(std::countr_zero(dirty));
    const std::size_t k = at + lane;
    const Decoded d = decode_at(std::string_view(in, size), k);
    const char32_t lower = simple_lowercase(d.code_point);
    if (lower == d.code_point) continue;
    char encoded[4];
    if (static_cast<std::size_t>(encode_utf8(lower, encoded) - encoded) != d.length ||
        lane + d.length > width) {
      return false;
    }
    for (std::size_t b = 0; b < d.length; ++b) out[k + b] = encoded[b];
  }
  return true;
}

template <ShuffleByteVector V>
inline std::size_t lower_long_run(std::string_view text, std::size_t from, char* out) noexcept {
  constexpr std::size_t width = V::kWidth;
  using case_data::kLongDirtyHigh;
  using case_data::kLongDirtyLow;
  using case_data::kLongDirtyThirdHigh;
  using case_data::kLongDirtyThirdLow;
  // The dirty ranges of leads 0xE0..0xEF and 0xF0..0xFF, for the second and
  // the third byte.
  const DirtyRange<V> e = dirty_range<V>(kLongDirtyLow, kLongDirtyHigh);
  const DirtyRange<V> f = dirty_range<V>(kLongDirtyLow + 16, kLongDirtyHigh + 16);
  const DirtyRange<V> e3 = dirty_range<V>(kLongDirtyThirdLow, kLongDirtyThirdHigh);
  const DirtyRange<V> f3 = dirty_range<V>(kLongDirtyThirdLow + 16, kLongDirtyThirdHigh + 16);

  const char* in = text.data() + from;
  const std::size_t size = text.size() - from;
  // Blocks follow one another at a fixed stride, so that the next block's
  // loads never wait on this block's bytes: a sequence that a block's end
  // cuts is finished by the next block, whose first lanes then hold
  // continuation bytes, which no step below changes.
  std::size_t i = 0;
  while (size - i > width + 1) {
    const auto block = V::load(in + i);
    const auto next = V::load(in + i + 1);
    const std::uint64_t long_leads = V::lanes(V::at_least(block, V::splat('\xE0')));
    const std::uint64_t two_byte_leads =
        V::lanes(V::at_least(block, V::splat('\xC0'))) & ~long_leads;

    // Lanes whose lead's second byte falls in its dirty range, and then
    // (rarely needed, so only then) whose third byte does too: the third
    // sets apart the fullwidth punctuation of CJK text from the fullwidth
    // capitals beside it.
    const auto index = V::both(block, V::splat('\x0F'));
    const auto four = V::greater(block, V::splat('\xEF'));
    const auto low = V::select(four, V::look_up(f.low, index), V::look_up(e.low, index));
    const auto span = V::select(four, V::look_up(f.span, index), V::look_up(e.span, index));
    std::uint64_t dirty = V::lanes(V::at_most(V::subtract(next, low), span)) & long_leads;
    if (dirty != 0) {
      const auto third = V::load(in + i + 2);
      const auto low3 = V::select(four, V::look_up(f3.low, index), V::look_up(e3.low, index));
      const auto span3 = V::select(four, V::look_up(f3.span, index), V::look_up(e3.span, index));
      dirty &= V::lanes(V::at_most(V::subtract(third, low3), span3));
    }

    V::store(out + i, lower_ascii_lanes<V>(block));
    if (two_byte_leads != 0) {
      // The run ends before the first two-byte sequence.
      const std::size_t end = static_cast<std::size_t>(std::countr_zero(two_byte_leads));
      dirty &= (std::uint64_t{1} << end) - 1;
      if (dirty != 0 && !patch(in, size, i, dirty, width, out))
        return i + static_cast<std::size_t>(std::countr_zero(dirty));
      return i + end;
    }
    if (dirty != 0 && !patch(in, size, i, dirty, width, out))
      return i + static_cast<std::size_t>(std::countr_zero(dirty));
    i += width;
  }
  // A sequence that the last block's end cut is left to the caller.
  while (i != 0 && (static_cast<unsigned char>(in[i]) & 0xC0) == 0x80) --i;
  return i;
}

}  // namespace
}  // namespace corvane::scoring
