// The short-input scorer for text held as fixed-width code points, written
// once for every vector width.
//
// Contract: `short_units_hits_with<V>(units, length, width, words,
// ascii_words)` does what scoring/short_units_score.h promises for the
// kernel table's `short_units_hits`: it counts the words (code points,
// lowercased) that occur in the lowercased text of `length` <=
// kShortInputUnits units, or gives nothing for a text holding a surrogate
// or U+0130. `ascii_words` must say truly whether every word is ASCII.
//
// Design. The text is lowercased into byte planes: byte k of plane p is
// bits [8p, 8p + 8) of code point k, and only the planes the text reaches
// are used (one for Latin-1, two for the rest of the first 65,536).
// - Lowering: the units go into the planes as they are (ASCII capitals
//   lowercased), and each other one is marked where lowercasing may change
//   it (scoring/unicode/may_lowercase.h), in loops that the compiler
//   vectorizes at the level's width, over a copy of the units padded with
//   zeros to kShortInputUnits so that no loop ends in a scalar tail; only
//   the marked ones, eight marks
//   tested at once, are looked up in the case tables, a capital sigma decided by Final_Sigma over
//   the text's own units. Lowercasing keeps a code point within its 65,536 and Latin-1 within
//   Latin-1 (scoring/unicode/latin1_case.h), so a plane the units cannot reach stays unused.
// - Words of ASCII only: one plane serves, whatever the text's width.
//   Beyond ASCII, only U+212A KELVIN SIGN lowercases into it (to "k"), and
//   U+0130, which is left to the general scoring as ever (a test holds
//   this against the case tables); every other code point lowercases to
//   one beyond ASCII, which no word holds, so it goes in as 0x80 and
//   nothing is looked up. A text of English words between typographic
//   quotes or emoji is then scored as if it were ASCII.
// - Matching: the low plane is read into registers as the UTF-8
//   short-input scorer reads a text (short_input_kernel.h), zero past its
//   length and without reading there. Bit j of "the low byte at j + i is
//   that of word[i]", ANDed over all i after a shift down by i, marks the
//   starts where the low bytes agree, and most words are ruled out after a
//   code point or two; the few starts left are checked against the higher
//   planes one by one. A word with a code point beyond the text's planes
//   cannot occur. Since UTF-8 keeps code points whole, this is the same as
//   matching the UTF-8 forms.
// Everything has internal linkage; only per-architecture files include
// this header, after switching on their instruction set.
// Complexity: O(length * (1 + code points of the words / width)), and a
// check of up to `length` code points for each start the low bytes leave.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "scoring/arch/generic/short_input_kernel.h"
#include "scoring/arch/generic/short_units_copy.h"
#include "scoring/arch/kernel_types.h"
#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/final_sigma.h"
#include "scoring/unicode/may_lowercase.h"

namespace corvane::scoring {
namespace {

template <PartialLoadByteVector V>
struct ShortUnits {
  using Scorer = ShortInput<V>;
  static_assert(kShortInputUnits <= 64 && kShortInputUnits <= kShortInputBytes);

  struct Planes {
    alignas(64) unsigned char bytes[3][kShortInputUnits];
    std::size_t length;
    std::size_t count;
  };

  // Unit j lowercased in the planes; false for a surrogate and U+0130.
  template <class Unit>
  static bool patch(const Unit* units, std::size_t length, std::size_t j, Planes& out) noexcept {
    const char32_t c = units[j];
    if (c - 0xD800 < 0x800 || c == kDottedCapitalI) return false;
    const char32_t lower = lowercase_at(units, length, j);
    out.bytes[0][j] = static_cast<unsigned char>(lower);
    if constexpr (sizeof(Unit) > 1) out.bytes[1][j] = static_cast<unsigned char>(lower >> 8);
    return true;
  }

  template <class Unit>
  static bool lower(const Unit* units, std::size_t length, Planes& out) noexcept {
    constexpr std::size_t reached = sizeof(Unit) == 1 ? 1 : sizeof(Unit) == 2 ? 2 : 3;
    // The units padded with zeros to the longest text, so that every loop
    // below runs a fixed count and vectorizes whole, without a scalar tail;
    // zeros stay zeros and are never marked.
    alignas(64) Unit padded[kShortInputUnits];
    copy_short_units<V>(units, length, reinterpret_cast<char*>(padded));
    Unit seen = 0;
    for (const Unit c : padded) seen |= c;
    out.length = length;
    out.count = seen < 0x100 ? 1 : seen < 0x10000 ? 2 : 3;
    // ASCII capitals are lowercased on the way, the rest patched below.
    for (std::size_t j = 0; j < kShortInputUnits; ++j) {
      const Unit c = padded[j];
      out.bytes[0][j] = static_cast<unsigned char>(static_cast<Unit>(c - 'A') < 26 ? c + 0x20 : c);
    }
    if constexpr (reached > 1) {
      if (out.count > 1) {
        for (std::size_t j = 0; j < kShortInputUnits; ++j) {
          out.bytes[1][j] = static_cast<unsigned char>(padded[j] >> 8);
        }
      }
    }
    if constexpr (reached > 2) {
      if (out.count > 2) {
        for (std::size_t j = 0; j < kShortInputUnits; ++j) {
          out.bytes[2][j] = static_cast<unsigned char>(padded[j] >> 16);
        }
      }
    }
    // The marks are read eight at a time.
    alignas(8) unsigned char marks[kShortInputUnits];
    for (std::size_t j = 0; j < kShortInputUnits; ++j) {
      marks[j] = padded[j] >= 0x80 && may_lowercase(padded[j]) ? 1 : 0;
    }
    for (std::size_t j = 0; j < length; j += 8) {
      std::uint64_t eight;
      std::memcpy(&eight, marks + j, 8);
      for (; eight != 0; eight &= eight - 1) {
        if (!patch(units, length, j + std::countr_zero(eight) / 8, out)) return false;
      }
    }
    return true;
  }

  // The text for words of ASCII only, in the low plane alone: ASCII
  // lowercased, U+212A as "k", every other code point as 0x80; false for a
  // surrogate and U+0130.
  template <class Unit>
  static bool lower_for_ascii_words(const Unit* units, std::size_t length, Planes& out) noexcept {
    alignas(64) Unit padded[kShortInputUnits];
    copy_short_units<V>(units, length, reinterpret_cast<char*>(padded));
    out.length = length;
    out.count = 1;
    Unit refused = 0;
    for (std::size_t j = 0; j < kShortInputUnits; ++j) {
      const Unit c = padded[j];
      const Unit ascii = static_cast<Unit>(c - 'A') < 26 ? static_cast<Unit>(c + 0x20) : c;
      Unit beyond = 0x80;
      if constexpr (sizeof(Unit) > 1) {
        beyond = c == kKelvinSign ? Unit{'k'} : Unit{0x80};
        refused |=
            static_cast<Unit>((static_cast<Unit>(c - 0xD800) < 0x800) | (c == kDottedCapitalI));
      }
      out.bytes[0][j] = static_cast<unsigned char>(c < 0x80 ? ascii : beyond);
    }
    return refused == 0;
  }

  // Whether word[1, m) lies at `at`, by the planes above the first.
  template <std::size_t P>
  static bool high_planes_match(const Planes& text, std::size_t at,
                                std::u32string_view word) noexcept {
    for (std::size_t i = 0; i < word.size(); ++i) {
      char32_t high = text.bytes[1][at + i];
      if constexpr (P > 2) high |= char32_t{text.bytes[2][at + i]} << 8;
      if (high != word[i] >> 8) return false;
    }
    return true;
  }

  template <std::size_t N, std::size_t P>
  static std::uint64_t found(const Planes& text,
                             std::span<const std::u32string_view> words) noexcept {
    using Blocks = typename Scorer::template Blocks<N>;
    const Blocks low = Blocks::load(reinterpret_cast<const char*>(text.bytes[0]), text.length);
    const std::size_t n = text.length;
    std::uint64_t hits = 0;
    for (const std::u32string_view word : words) {
      const std::size_t m = word.size();
      if (m > n) continue;
      std::uint64_t starts = Scorer::low_bits(n - m + 1);
      for (std::size_t i = 0; i < m && starts != 0; ++i) {
        const char32_t c = word[i];
        // A code point beyond the text's planes does not occur in it.
        if (P < 3 && (c >> (8 * P)) != 0) starts = 0;
        starts &= low.equal(static_cast<char>(c & 0xFF)) >> i;
      }
      // The low bytes rule out nearly every start; the few left are
      // checked in full.
      if constexpr (P > 1) {
        while (starts != 0 && !high_planes_match<P>(text, std::countr_zero(starts), word)) {
          starts &= starts - 1;
        }
      }
      hits += starts != 0 ? 1 : 0;
    }
    return hits;
  }

  template <class Unit>
  static std::optional<ShortWordHits> hits(const Unit* units, std::size_t length,
                                           std::span<const std::u32string_view> words,
                                           bool ascii_words) noexcept {
    // No word occurs in an empty text.
    if (length == 0) return ShortWordHits{0, words.size()};
    Planes text;
    if (!(ascii_words ? lower_for_ascii_words(units, length, text) : lower(units, length, text))) {
      return std::nullopt;
    }
    const std::uint64_t hits = Scorer::with_blocks(length, [&](auto blocks) {
      constexpr std::size_t registers = decltype(blocks)::value;
      switch (text.count) {
        case 1:
          return found<registers, 1>(text, words);
        case 2:
          return found<registers, 2>(text, words);
        default:
          return found<registers, 3>(text, words);
      }
    });
    return ShortWordHits{hits, words.size()};
  }
};

template <PartialLoadByteVector V>
std::optional<ShortWordHits> short_units_hits_with(const void* units, std::size_t length,
                                                   std::size_t width,
                                                   std::span<const std::u32string_view> words,
                                                   bool ascii_words) noexcept {
  switch (width) {
    case 1:
      return ShortUnits<V>::hits(static_cast<const std::uint8_t*>(units), length, words,
                                 ascii_words);
    case 2:
      return ShortUnits<V>::hits(static_cast<const std::uint16_t*>(units), length, words,
                                 ascii_words);
    default:
      return ShortUnits<V>::hits(static_cast<const std::uint32_t*>(units), length, words,
                                 ascii_words);
  }
}

}  // namespace
}  // namespace corvane::scoring
