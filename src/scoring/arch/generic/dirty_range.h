// Which next bytes of each lead byte lowercasing may change, in the form the
// vector loops test them.
//
// Contract: `dirty_range<V>(low, high)` takes 16 ranges of next bytes, one
// per lead byte's low nibble (low[k]..high[k], or the empty 0xFF..0x00), and
// gives each as a low end and a span in every 16-byte lane: a byte b is in
// range k exactly where b - low (mod 256) <= span. An empty range becomes
// low 0xFF, span 0, which no UTF-8 next byte matches. Internal linkage, for
// the kernels of this folder.
// Complexity: O(1), a few vector operations.
#pragma once

#include "scoring/arch/byte_vector.h"

namespace corvane::scoring {
namespace {

template <ShuffleByteVector V>
struct DirtyRange {
  typename V::Vector low;
  typename V::Vector span;
};

template <ShuffleByteVector V>
inline DirtyRange<V> dirty_range(const unsigned char* low, const unsigned char* high) noexcept {
  const auto low_bytes = V::table16(low);
  const auto high_bytes = V::table16(high);
  const auto used = V::at_most(low_bytes, high_bytes);
  return {V::select(used, low_bytes, V::splat('\xFF')),
          V::both(used, V::subtract(high_bytes, low_bytes))};
}

}  // namespace
}  // namespace corvane::scoring
