// Up to sixteen bytes read without touching a byte past their end, as two
// little-endian 64-bit halves, for the byte-vector traits of 16-byte
// vectors to move into a register.
//
// Contract: `load_partial_halves(p, size)` for size <= 16 gives p[0, size)
// in the low bytes of {low, high} (byte k of the sixteen in bits 8k..8k+7
// of `low` for k < 8, of `high` above) and zero above, reading only
// p[0, size): two overlapping loads of the widest size that fits, shifted
// into place. The machine must be little-endian. Internal linkage, so that
// vector code built for another instruction set can include it.
// Complexity: O(1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace corvane::scoring {
namespace {

struct Halves {
  std::uint64_t low;
  std::uint64_t high;
};

inline std::uint64_t load_le_bytes(const char* p, std::size_t size) noexcept {
  std::uint64_t v = 0;
  std::memcpy(&v, p, size);
  return v;
}

inline Halves load_partial_halves(const char* p, std::size_t size) noexcept {
  if (size == 16) return {load_le_bytes(p, 8), load_le_bytes(p + 8, 8)};
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
  return {low, high};
}

}  // namespace
}  // namespace corvane::scoring
