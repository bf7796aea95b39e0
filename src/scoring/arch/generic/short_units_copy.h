// A short text of fixed-width units copied whole into a buffer of the
// longest short text, zeros past its end, written once for every vector
// width.
//
// Contract: `copy_short_units<V>(units, length, out)` takes `length` <=
// kShortInputUnits units and writes them to out[0, length * sizeof(Unit))
// and zero bytes to out[length * sizeof(Unit), kShortInputUnits *
// sizeof(Unit)). It reads nothing past the text: a vector at a time, the
// last partially, and none at all past its end. The short-units kernels copy
// a text so, so that their loops run a fixed count and vectorize whole,
// without a scalar tail. Internal linkage; only per-architecture files
// include this header, after switching on their instruction set.
// Complexity: O(kShortInputUnits * sizeof(Unit) / V::kWidth).
#pragma once

#include <cstddef>

#include "scoring/arch/byte_vector.h"
#include "scoring/arch/kernel_types.h"

namespace corvane::scoring {
namespace {

template <PartialLoadByteVector V, class Unit>
void copy_short_units(const Unit* units, std::size_t length, char* out) noexcept {
  constexpr std::size_t padded_bytes = kShortInputUnits * sizeof(Unit);
  static_assert(padded_bytes % V::kWidth == 0);
  const char* const text = reinterpret_cast<const char*>(units);
  const std::size_t size = length * sizeof(Unit);
  for (std::size_t at = 0; at < padded_bytes; at += V::kWidth) {
    const std::size_t left = size > at ? size - at : 0;
    V::store(out + at, left >= V::kWidth ? V::load(text + at)
                       : left == 0       ? V::splat(0)
                                         : V::load_partial(text + at, left));
  }
}

}  // namespace
}  // namespace corvane::scoring
