// Where the anchors of a word may lie in a short text of fixed-width code
// points, found in registers, written once for every vector width.
//
// Contract: `keep_short_low_bytes_with<V>(units, length, width, low)` takes
// `length` <= kShortInputUnits units of `width` bytes (1, 2 or 4), writes
// the low byte of each to low[0, length) and zeros to low[length,
// kShortInputUnits), and is false, low being unspecified, when one of them
// is a surrogate. `short_pair_starts_with<V>(low, length, pair)` reads
// low[0, kShortInputUnits) so kept and gives bit s set for each start s <
// length - pair.distance where the low byte of unit s may be that of a unit
// under the pair's first anchor and the low byte of unit s + distance that
// of one under its second: (b | fold) == value on the low bytes of each
// (scoring/units_search.h keeps such a low-byte pair for each word). That
// admits every unit the anchor admits and a few more, which the caller's
// check of each start rules out.
//
// Design. The search of longer text (unit_pair_kernel.h) reads its text a
// vector at a time and calls back for each start. The low bytes of a short
// text fill one to four registers (64 bytes): they are kept once,
// zero-padded so that every load is whole, and for each word the compares
// of both anchors over the registers the text reaches give one 64-bit mask
// each, ANDed after a shift by the anchors' distance. Nothing is
// lowercased: the caller checks the few starts left, where the units
// lowercase by the full rules. The padding is zero and a start's bits end at
// the text's length, so it never makes a start.
// Everything has internal linkage; only per-architecture files include
// this header, after switching on their instruction set.
// Complexity: O(kShortInputUnits / V::kWidth) vector operations for each,
// times the anchor's values (at most three) for the starts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scoring/arch/byte_vector.h"
#include "scoring/arch/generic/short_units_copy.h"
#include "scoring/arch/kernel_types.h"

namespace corvane::scoring {
namespace {

template <PartialLoadByteVector V>
struct ShortPairs {
  static constexpr std::size_t kRegisters = kShortInputUnits / V::kWidth;
  static_assert(kShortInputUnits % V::kWidth == 0 && kShortInputUnits <= 64);
  using Vec = typename V::Vector;

  template <class Unit>
  static bool keep_low_bytes(const Unit* units, std::size_t length, unsigned char* low) noexcept {
    // Single bytes are their own low bytes, copied straight there; wider
    // units go through a padded copy, which their loop below reads whole.
    alignas(64) Unit padded[kShortInputUnits];
    copy_short_units<V>(
        units, length,
        sizeof(Unit) == 1 ? reinterpret_cast<char*>(low) : reinterpret_cast<char*>(padded));
    if constexpr (sizeof(Unit) == 1) {
      return true;
    } else {
      Unit surrogates = 0;
      for (std::size_t j = 0; j < kShortInputUnits; ++j) {
        low[j] = static_cast<unsigned char>(padded[j]);
        surrogates |= static_cast<Unit>(padded[j] - 0xD800) < 0x800 ? 1 : 0;
      }
      return surrogates == 0;
    }
  }

  // Bit j: (low[j] | fold) is one of the anchor's values, over N registers.
  // Most anchors have one value (a letter and its capital fold into one);
  // the rest compare all three, the ones past `count` repeating the first.
  template <std::size_t N>
  static std::uint64_t admitted(const Vec (&text)[N], const UnitAnchor& anchor) noexcept {
    const Vec fold = V::splat(static_cast<char>(anchor.fold));
    const Vec first = V::splat(static_cast<char>(anchor.values[0]));
    std::uint64_t mask = 0;
    if (anchor.count == 1) {
      for (std::size_t k = 0; k < N; ++k) {
        mask |= V::lanes(V::equal(V::either(text[k], fold), first)) << (k * V::kWidth);
      }
      return mask;
    }
    const Vec second = V::splat(static_cast<char>(anchor.values[1]));
    const Vec third = V::splat(static_cast<char>(anchor.values[2]));
    for (std::size_t k = 0; k < N; ++k) {
      const Vec folded = V::either(text[k], fold);
      const auto any = V::either(V::either(V::equal(folded, first), V::equal(folded, second)),
                                 V::equal(folded, third));
      mask |= V::lanes(any) << (k * V::kWidth);
    }
    return mask;
  }

  template <std::size_t N>
  static std::uint64_t starts_in(const unsigned char* low, std::size_t length,
                                 const UnitPair& pair) noexcept {
    Vec text[N];
    for (std::size_t k = 0; k < N; ++k) {
      text[k] = V::load(reinterpret_cast<const char*>(low) + k * V::kWidth);
    }
    const std::size_t count = length - pair.distance;
    const std::uint64_t within = count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
    return admitted(text, pair.first) & (admitted(text, pair.second) >> pair.distance) & within;
  }

  // As many registers as the text needs.
  template <std::size_t N = 1>
  static std::uint64_t starts(const unsigned char* low, std::size_t length,
                              const UnitPair& pair) noexcept {
    if constexpr (N < kRegisters) {
      if (length > N * V::kWidth) return starts<N + 1>(low, length, pair);
    }
    return starts_in<N>(low, length, pair);
  }
};

template <PartialLoadByteVector V>
bool keep_short_low_bytes_with(const void* units, std::size_t length, std::size_t width,
                               unsigned char* low) noexcept {
  switch (width) {
    case 1:
      return ShortPairs<V>::keep_low_bytes(static_cast<const std::uint8_t*>(units), length, low);
    case 2:
      return ShortPairs<V>::keep_low_bytes(static_cast<const std::uint16_t*>(units), length, low);
    default:
      return ShortPairs<V>::keep_low_bytes(static_cast<const std::uint32_t*>(units), length, low);
  }
}

template <PartialLoadByteVector V>
std::uint64_t short_pair_starts_with(const unsigned char* low, std::size_t length,
                                     const UnitPair& pair) noexcept {
  if (pair.distance >= length) return 0;
  return ShortPairs<V>::starts(low, length, pair);
}

}  // namespace
}  // namespace corvane::scoring
