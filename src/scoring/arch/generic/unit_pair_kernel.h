// The search for where a word may start in a text held as fixed-width code
// points, before the text is lowercased, written once for every vector width.
//
// Contract: `find_unit_pair_with<V>` does what scoring/arch/kernel_types.h
// promises for `FindUnitPair`.
//
// Design. Each anchor is a code point of the word and the few units that
// lowercase to it (scoring/units_search.h chooses them). The code is made
// once for each unit width, so that units are compared whole: a vector of
// V::kWidth bytes holds kWidth / width units, each anchor's values are
// repeated across a vector once per call, and the comparisons' results are
// read back as the byte lanes' bits, the lowest byte's standing for its
// unit. A vector of starts costs two loads (at the start and `distance`
// units on), an OR each for the folds, one compare per value, an AND and a
// lane read; the starts both anchors leave, few in real text, are handed
// to `check` in order. The traits' masks must be vectors.
// The last starts are read with the vector that ends with them (read
// partially, never past the text, only when the text is shorter than one).
// Everything has internal linkage; only per-architecture files include
// this header, after switching on their instruction set.
// Complexity: O(length / (kWidth / width) + starts left * check).
#pragma once

#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "scoring/arch/byte_vector.h"
#include "scoring/arch/kernel_types.h"

namespace corvane::scoring {
namespace {

template <PartialLoadByteVector V, class Unit>
  requires std::same_as<typename V::Mask, typename V::Vector>
struct UnitPairScan {
  static constexpr std::size_t kUnits = V::kWidth / sizeof(Unit);
  // The same bytes as a vector of units, for comparing whole units.
  using Units [[gnu::vector_size(V::kWidth)]] = Unit;
  using Vec = typename V::Vector;

  static Units units_of(Vec v) noexcept { return __builtin_bit_cast(Units, v); }

  // An anchor's values in every unit, those that fit a unit.
  struct Anchor {
    Units fold;
    Units values[3];
    std::size_t count = 0;

    explicit Anchor(const UnitAnchor& anchor) noexcept
        : fold(Units{} + static_cast<Unit>(anchor.fold)) {
      for (std::size_t k = 0; k < anchor.count; ++k) {
        if (anchor.values[k] <= Unit(~Unit{0})) {
          values[count++] = Units{} + static_cast<Unit>(anchor.values[k]);
        }
      }
    }

    // All ones in the units that may lowercase to the anchor, comparing
    // with its first `Count` values (all it has).
    template <std::size_t Count>
    Units match(Vec bytes) const noexcept {
      const Units v = units_of(bytes) | fold;
      Units equal = v == values[0];
      for (std::size_t k = 1; k < Count; ++k) equal |= v == values[k];
      return equal;
    }
  };

  // One lane bit a unit: the lowest of its bytes.
  static constexpr std::uint64_t kFirstLanes = sizeof(Unit) == 1   ? ~std::uint64_t{0}
                                               : sizeof(Unit) == 2 ? 0x5555555555555555
                                                                   : 0x1111111111111111;

  template <std::size_t Count1, std::size_t Count2>
  static std::size_t scan(const Unit* units, std::size_t end, std::size_t distance,
                          const Anchor& first, const Anchor& second, CheckUnitStart* check,
                          void* context) noexcept {
    const auto starts_in = [&](const char* here, const char* there) {
      return V::lanes(__builtin_bit_cast(Vec, first.template match<Count1>(V::load(here)) &
                                                  second.template match<Count2>(V::load(there)))) &
             kFirstLanes;
    };
    // Hands the starts of a vector from `at` to the check; true when one
    // ends the search.
    std::size_t found = end;
    const auto checked = [&](std::uint64_t lanes, std::size_t at) {
      for (; lanes != 0; lanes &= lanes - 1) {
        const std::size_t start =
            at + static_cast<std::size_t>(std::countr_zero(lanes)) / sizeof(Unit);
        if (check(context, start) != UnitCheck::Rejected) {
          found = start;
          return true;
        }
      }
      return false;
    };
    std::size_t at = 0;
    // Two vectors a step while they fit: their loads and compares overlap.
    for (; at + 2 * kUnits <= end; at += 2 * kUnits) {
      const char* const here = reinterpret_cast<const char*>(units + at);
      const char* const there = reinterpret_cast<const char*>(units + at + distance);
      const std::uint64_t low = starts_in(here, there);
      const std::uint64_t high = starts_in(here + V::kWidth, there + V::kWidth);
      if ((low | high) == 0) continue;
      if (checked(low, at) || checked(high, at + kUnits)) return found;
    }
    if (at + kUnits <= end) {
      const char* const here = reinterpret_cast<const char*>(units + at);
      if (checked(starts_in(here, here + distance * sizeof(Unit)), at)) return found;
      at += kUnits;
    }
    if (at == end) return end;
    if (end >= kUnits) {
      // The last starts: the vector that ends with them, read again, its
      // starts before `at` dropped.
      const std::size_t from = end - kUnits;
      const char* const here = reinterpret_cast<const char*>(units + from);
      const std::size_t seen = (at - from) * sizeof(Unit);
      if (checked(starts_in(here, here + distance * sizeof(Unit)) >> seen << seen, from)) {
        return found;
      }
      return end;
    }
    // A text shorter than a vector is read partially, never past its end.
    // Zero units past the end could equal U+0000.
    const std::size_t size = (end - at) * sizeof(Unit);
    const char* const here = reinterpret_cast<const char*>(units + at);
    const char* const there = reinterpret_cast<const char*>(units + at + distance);
    const std::uint64_t inside = size >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << size) - 1;
    const std::uint64_t lanes =
        V::lanes(__builtin_bit_cast(
            Vec, first.template match<Count1>(V::load_partial(here, size)) &
                     second.template match<Count2>(V::load_partial(there, size)))) &
        kFirstLanes & inside;
    if (checked(lanes, at)) return found;
    return end;
  }

  static std::size_t find(const Unit* units, std::size_t length, const UnitPair& pair,
                          CheckUnitStart* check, void* context) noexcept {
    const std::size_t end = length - pair.distance;
    const Anchor first(pair.first);
    const Anchor second(pair.second);
    // A code point no unit can hold (a Greek letter in Latin-1 text) never
    // occurs.
    if (first.count == 0 || second.count == 0) return end;
    // The compares unrolled for the values each anchor has: one or two
    // nearly always.
    const auto with = [&]<std::size_t Count1>(std::integral_constant<std::size_t, Count1>) {
      switch (second.count) {
        case 1:
          return scan<Count1, 1>(units, end, pair.distance, first, second, check, context);
        case 2:
          return scan<Count1, 2>(units, end, pair.distance, first, second, check, context);
        default:
          return scan<Count1, 3>(units, end, pair.distance, first, second, check, context);
      }
    };
    switch (first.count) {
      case 1:
        return with(std::integral_constant<std::size_t, 1>{});
      case 2:
        return with(std::integral_constant<std::size_t, 2>{});
      default:
        return with(std::integral_constant<std::size_t, 3>{});
    }
  }
};

template <PartialLoadByteVector V>
std::size_t find_unit_pair_with(const void* units, std::size_t length, std::size_t width,
                                const UnitPair& pair, CheckUnitStart* check,
                                void* context) noexcept {
  switch (width) {
    case 1:
      return UnitPairScan<V, std::uint8_t>::find(static_cast<const std::uint8_t*>(units), length,
                                                 pair, check, context);
    case 2:
      return UnitPairScan<V, std::uint16_t>::find(static_cast<const std::uint16_t*>(units), length,
                                                  pair, check, context);
    default:
      return UnitPairScan<V, std::uint32_t>::find(static_cast<const std::uint32_t*>(units), length,
                                                  pair, check, context);
  }
}

}  // namespace
}  // namespace corvane::scoring
