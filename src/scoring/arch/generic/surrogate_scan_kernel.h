// Whether code points held in fixed-width units include a surrogate
// (U+D800..U+DFFF), written once as plain loops that the compiler
// vectorises for whichever instruction set includes it.
//
// Contract: `any_surrogate(units, length)` reads units[0, length) and is
// true when one of them lies in U+D800..U+DFFF. Internal linkage, so that
// each instruction set's file may include it inside its target region.
// Complexity: O(length); a surrogate ends the scan within 512 units.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane::scoring {
namespace {

template <class Unit>
bool any_surrogate(const Unit* units, std::size_t length) noexcept {
  // Blocks without an early exit inside, so that the compiler vectorises
  // them; a surrogate ends the scan at its block.
  // The test stays in the unit's own width, so that a vector holds as many
  // units as it can.
  constexpr std::size_t block = 512;
  constexpr Unit high_bits = static_cast<Unit>(~Unit{0x7FF});
  for (std::size_t i = 0; i < length; i += block) {
    const std::size_t end = length - i < block ? length : i + block;
    bool found = false;
    for (std::size_t k = i; k < end; ++k) {
      found |= static_cast<Unit>(units[k] & high_bits) == Unit{0xD800};
    }
    if (found) return true;
  }
  return false;
}

}  // namespace
}  // namespace corvane::scoring
