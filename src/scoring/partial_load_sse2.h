// A 16-byte load of fewer than 16 bytes that reads nothing past them.
//
// Contract: `load_partial_sse2(p, size)`, size <= 16, gives p[0, size) in
// the low lanes and zero above, touching only p[0, size): two overlapping
// loads of the widest size that fits, shifted into place. SSE2 is part of
// every x86-64 CPU; include only where __SSE2__ is defined.
// Complexity: O(1).
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace corvane::scoring {
namespace {

inline std::uint64_t load_le_bytes(const char* p, std::size_t size) noexcept {
  std::uint64_t v = 0;
  std::memcpy(&v, p, size);
  return v;
}

inline __m128i load_partial_sse2(const char* p, std::size_t size) noexcept {
  if (size == 16) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  if (size >= 8) {
    low = load_le_bytes(p, 8);
    if (size > 8) high = load_le_bytes(p + size - 8, 8) >> (8 * (16 - size));
  } else if (size >= 4) {
    low = load_le_bytes(p, 4) | (load_le_bytes(p + size - 4, 4) << (8 * (size - 4)));
  } else if (size != 0) {
    low = static_cast<unsigned char>(p[0]) |
          (std::uint64_t{static_cast<unsigned char>(p[size / 2])} << (8 * (size / 2))) |
          (std::uint64_t{static_cast<unsigned char>(p[size - 1])} << (8 * (size - 1)));
  }
  return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

}  // namespace
}  // namespace corvane::scoring
