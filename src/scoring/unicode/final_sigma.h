// The Final_Sigma condition of the full lowercase conversion.
//
// Contract: `sigma_ends_word(text, at)` takes well-formed UTF-8 `text` with
// U+03A3 at byte `at`, and `sigma_ends_word(units, length, at)` code points
// held one per unit with U+03A3 at unit `at`; each is true when that sigma
// lowercases to final sigma U+03C2: looking backwards from it past every case-ignorable code
// point, a cased code point comes first, and looking forwards past every
// case-ignorable code point, the end of `text` or a code point that is not
// cased comes first. A code point with both properties counts as
// case-ignorable. Only `text` is read, and only input, never output.
// Internal linkage, so that vector code built for another instruction set
// can include it. `lowercase_at(units, length, j)` lowercases one code
// point in its context by these rules, for every code point but U+0130.
// Complexity: O(length of the case-ignorable runs next to the sigma); over a
// whole text each such run is read at most twice (by the sigma before it and
// the one after it), so the conversion stays linear.
#pragma once

#include <cstddef>
#include <string_view>

#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/utf8.h"

namespace corvane::scoring {
namespace {

inline constexpr char32_t kCapitalSigma = 0x03A3;
// The one code point whose full lowercase form (U+0069 U+0307) differs
// from its simple one.
inline constexpr char32_t kDottedCapitalI = 0x0130;

// The rule itself, over the code points on either side of the sigma:
// `before()` and `after()` give the next one going away from it on their
// side, or kNoCodePoint past the end of the text.
inline constexpr char32_t kNoCodePoint = 0xFFFFFFFF;

template <class Before, class After>
bool final_sigma_rule(Before&& before, After&& after) noexcept {
  using case_data::kCasedBit;
  using case_data::kCaseIgnorableBit;
  for (;;) {
    const char32_t c = before();
    if (c == kNoCodePoint) return false;
    const unsigned properties = case_data::properties_of(c);
    if ((properties & kCaseIgnorableBit) != 0) continue;
    if ((properties & kCasedBit) == 0) return false;
    break;
  }
  for (;;) {
    const char32_t c = after();
    if (c == kNoCodePoint) return true;
    const unsigned properties = case_data::properties_of(c);
    if ((properties & kCaseIgnorableBit) != 0) continue;
    return (properties & kCasedBit) == 0;
  }
}

inline bool sigma_ends_word(std::string_view text, std::size_t at) noexcept {
  std::size_t before = at;
  std::size_t after = at + 2;  // U+03A3 is two bytes
  return final_sigma_rule(
      [&] {
        if (before == 0) return kNoCodePoint;
        const Decoded d = decode_before(text, before);
        before -= d.length;
        return d.code_point;
      },
      [&] {
        if (after >= text.size()) return kNoCodePoint;
        const Decoded d = decode_at(text, after);
        after += d.length;
        return d.code_point;
      });
}

template <class Unit>
bool sigma_ends_word(const Unit* units, std::size_t length, std::size_t at) noexcept {
  std::size_t before = at;
  std::size_t after = at + 1;
  return final_sigma_rule(
      [&] { return before == 0 ? kNoCodePoint : char32_t{units[--before]}; },
      [&] { return after >= length ? kNoCodePoint : char32_t{units[after++]}; });
}

// Code point j of `units` lowercased by the full rules, for any but
// U+0130: by its simple mapping, a capital sigma by Final_Sigma over
// `units`.
template <class Unit>
char32_t lowercase_at(const Unit* units, std::size_t length, std::size_t j) noexcept {
  const char32_t c = units[j];
  if (c != kCapitalSigma) return simple_lowercase(c);
  return sigma_ends_word(units, length, j) ? 0x03C2 : 0x03C3;
}

}  // namespace
}  // namespace corvane::scoring
