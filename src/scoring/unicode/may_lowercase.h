// A quick test for the code points that lowercasing surely leaves alone.
//
// Contract: `may_lowercase(c)` is false only for a code point whose full
// lowercase form is itself and that is no surrogate; true for every other,
// and for some that lowercasing leaves alone too. Besides ASCII it leaves
// out the lowercase letters of Latin-1, Greek and Cyrillic, the
// punctuation of Latin-1 and of the general block, the ideographs, kana
// and Hangul, and the emoji, so that text in those scripts has only its
// capitals looked up. A test holds it against the case tables for every
// code point. Branch-free, so that a loop over code points vectorizes.
// Internal linkage, so that vector code built for another instruction set
// can include it. `kKelvinSign` is the one code point beyond ASCII whose
// lowercase form is ASCII ("k"), U+0130 aside (whose full form starts with
// "i"): words of ASCII meet nothing else beyond it.
// Complexity: O(1).
#pragma once

namespace corvane::scoring {
namespace {

inline constexpr char32_t kKelvinSign = 0x212A;

template <class Unit>
constexpr bool may_lowercase(Unit c) noexcept {
  // In the unit's own width, so that a loop over units vectorizes as
  // narrow as they are; the ranges a width cannot hold are left out.
  const auto outside = [c](Unit low, Unit high) {
    return static_cast<Unit>(c - low) > static_cast<Unit>(high - low);
  };
  // Bitwise on purpose: the tests are cheap, and branches between them are
  // not.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wbitwise-instead-of-logical"
#endif
  bool kept = outside(0, 0xBF) & outside(0xDF, 0xFF);
  if constexpr (sizeof(Unit) > 1) {
    kept &= outside(0x3AC, 0x3CE) & outside(0x430, 0x45F) & outside(0x2000, 0x20FF) &
            outside(0x3000, 0x9FFF) & outside(0xAC00, 0xD7A3);
  }
  if constexpr (sizeof(Unit) > 2) kept &= outside(0x1F000, 0x1FFFF);
  return (static_cast<Unit>(c - 'A') < 26) | kept;
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
}

}  // namespace
}  // namespace corvane::scoring
