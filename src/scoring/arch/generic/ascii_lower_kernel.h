// The vector loop that lowercases a run of ASCII, written once for every
// instruction set.
//
// Contract: `lower_ascii_run<V>(in, size, out)` converts the longest prefix
// of in[0, size) made of ASCII bytes (below 0x80), A-Z to a-z and every
// other byte unchanged, into out, and returns that prefix's length. It may
// also write unspecified bytes into out past the prefix, but never at or
// beyond out + size, so `out` needs room for `size` bytes; in and out must
// not overlap. `V` is a `ByteVector` (scoring/arch/byte_vector.h). Files
// built for different instruction sets include this header; everything
// here has internal linkage so that no copy built for one set can stand in
// for another's.
// Complexity: O(size), one vector per V::kWidth bytes; a scalar loop only
// for a run shorter than one vector.
#pragma once

#include <cstddef>

#include "scoring/arch/byte_vector.h"

namespace corvane::scoring {
namespace {

inline char lower_ascii_byte(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

template <ByteVector V>
inline auto lower_ascii_lanes(typename V::Vector v) noexcept {
  return V::either(v, V::both(V::in_range(v, 'A', 'Z'), V::splat('a' - 'A')));
}

template <ByteVector V>
inline std::size_t lower_ascii_run(const char* in, std::size_t size, char* out) noexcept {
  constexpr std::size_t width = V::kWidth;
  std::size_t i = 0;
  // Four vectors a round while the run goes on, then one at a time.
  while (size - i >= 4 * width) {
    const auto v0 = V::load(in + i);
    const auto v1 = V::load(in + i + width);
    const auto v2 = V::load(in + i + 2 * width);
    const auto v3 = V::load(in + i + 3 * width);
    if (V::ascii_prefix(V::either(V::either(v0, v1), V::either(v2, v3))) != width) break;
    V::store(out + i, lower_ascii_lanes<V>(v0));
    V::store(out + i + width, lower_ascii_lanes<V>(v1));
    V::store(out + i + 2 * width, lower_ascii_lanes<V>(v2));
    V::store(out + i + 3 * width, lower_ascii_lanes<V>(v3));
    i += 4 * width;
  }
  while (size - i >= width) {
    const auto v = V::load(in + i);
    V::store(out + i, lower_ascii_lanes<V>(v));
    const std::size_t ascii = V::ascii_prefix(v);
    i += ascii;
    if (ascii != width) return i;
  }
  if (i < size && size >= width) {
    // The last bytes: the vector that ends with them, read again; its
    // bytes before `i` are ASCII and come out as they did.
    const auto v = V::load(in + size - width);
    V::store(out + size - width, lower_ascii_lanes<V>(v));
    return size - width + V::ascii_prefix(v);
  }
  while (i < size && static_cast<unsigned char>(in[i]) < 0x80) {
    out[i] = lower_ascii_byte(in[i]);
    ++i;
  }
  return i;
}

}  // namespace
}  // namespace corvane::scoring
