// The portable byte-vector trait: eight bytes at a time in a 64-bit word,
// for targets without a vector unit that this project uses.
//
// Contract: `PortableBytes` is a `ByteVector` (scoring/arch/byte_vector.h)
// on 8-byte vectors held in a std::uint64_t whose lowest byte is lane 0 on
// either byte order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace corvane::scoring {
namespace {

struct PortableBytes {
  using Vector = std::uint64_t;
  static constexpr std::size_t kWidth = 8;
  static constexpr std::uint64_t kOnes = 0x0101010101010101u;
  static constexpr std::uint64_t kHighBits = 0x8080808080808080u;

  static std::uint64_t splat(char b) noexcept { return kOnes * static_cast<unsigned char>(b); }
  static std::uint64_t load(const char* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = std::byteswap(v);
    return v;
  }
  static void store(char* p, std::uint64_t v) noexcept {
    if constexpr (std::endian::native == std::endian::big) v = std::byteswap(v);
    std::memcpy(p, &v, sizeof v);
  }
  static std::uint64_t either(std::uint64_t a, std::uint64_t b) noexcept { return a | b; }
  static std::uint64_t both(std::uint64_t a, std::uint64_t b) noexcept { return a & b; }
  // On the low seven bits of each lane no sum carries into the next lane:
  // the high bit of (b + 0x80 - lo) says b >= lo, that of (b + 0x7F - hi)
  // says b > hi.
  static std::uint64_t in_range(std::uint64_t v, char lo, char hi) noexcept {
    const std::uint64_t low7 = v & ~kHighBits;
    const std::uint64_t at_least_lo = low7 + splat(static_cast<char>(0x80 - lo));
    const std::uint64_t above_hi = low7 + splat(static_cast<char>(0x7F - hi));
    const std::uint64_t hit = at_least_lo & ~above_hi & kHighBits;
    return (hit >> 7) * 0xFF;
  }
  static std::size_t ascii_prefix(std::uint64_t v) noexcept {
    const std::uint64_t high = v & kHighBits;
    return high == 0 ? kWidth : static_cast<std::size_t>(std::countr_zero(high)) / 8;
  }
};

}  // namespace
}  // namespace corvane::scoring
