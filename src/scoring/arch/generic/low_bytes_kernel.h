// The low byte of each code point held in wider fixed-width units, written
// once as a plain loop that the compiler vectorises for whichever
// instruction set includes it (a truncating pack or move per vector).
//
// Contract: `keep_low_bytes_with(units, length, width, low)` takes `length`
// units of `width` bytes (2 or 4) and writes low[k] = units[k] & 0xFF for
// every k. Internal linkage, so that each instruction set's file may
// include it inside its target region.
// Complexity: O(length).
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane::scoring {
namespace {

template <class Unit>
void keep_low_bytes(const Unit* __restrict units, std::size_t length,
                    unsigned char* __restrict low) noexcept {
  for (std::size_t k = 0; k < length; ++k) low[k] = static_cast<unsigned char>(units[k]);
}

void keep_low_bytes_with(const void* units, std::size_t length, std::size_t width,
                         unsigned char* low) noexcept {
  if (width == 2) {
    keep_low_bytes(static_cast<const std::uint16_t*>(units), length, low);
  } else {
    keep_low_bytes(static_cast<const std::uint32_t*>(units), length, low);
  }
}

}  // namespace
}  // namespace corvane::scoring
