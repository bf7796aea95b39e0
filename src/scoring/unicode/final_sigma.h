// The Final_Sigma condition of the full lowercase conversion.
//
// Contract: `sigma_ends_word(text, at)` takes well-formed UTF-8 `text` with
// U+03A3 at byte `at`, and is true when that sigma lowercases to final
// sigma U+03C2: looking backwards from it past every case-ignorable code
// point, a cased code point comes first, and looking forwards past every
// case-ignorable code point, the end of `text` or a code point that is not
// cased comes first. A code point with both properties counts as
// case-ignorable. Only `text` is read, and only input, never output.
// Internal linkage, so that vector code built for another instruction set
// can include it.
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

inline bool sigma_ends_word(std::string_view text, std::size_t at) noexcept {
  using case_data::kCasedBit;
  using case_data::kCaseIgnorableBit;
  std::size_t before = at;
  for (;;) {
    if (before == 0) return false;
    const Decoded d = decode_before(text, before);
    before -= d.length;
    const unsigned properties = case_data::properties_of(d.code_point);
    if ((properties & kCaseIgnorableBit) != 0) continue;
    if ((properties & kCasedBit) == 0) return false;
    break;
  }
  std::size_t after = at + 2;  // U+03A3 is two bytes
  while (after < text.size()) {
    const Decoded d = decode_at(text, after);
    after += d.length;
    const unsigned properties = case_data::properties_of(d.code_point);
    if ((properties & kCaseIgnorableBit) != 0) continue;
    return (properties & kCasedBit) == 0;
  }
  return true;
}

}  // namespace
}  // namespace corvane::scoring
