// Full default lowercase conversion (Unicode toLowercase, no tailoring).
//
// Contract: `to_lower_full` takes well-formed UTF-8 and gives a new string in
// which every code point is replaced by its full lowercase mapping: ASCII
// A-Z to a-z, U+0130 to U+0069 U+0307, U+03A3 to U+03C2 or U+03C3 by the
// Final_Sigma rule judged on the input code points within `text` alone, and
// every other code point by its simple lowercase mapping (or unchanged).
// No normalisation, no case folding.
// Complexity: one pass, O(len(text)); the output buffer starts at the input's
// byte length and grows only where a mapping lengthens the text.
#pragma once

#include <cstddef>
#include <string_view>

#include "allocation.h"

namespace corvane::scoring {

Text to_lower_full(std::string_view text);

// The most bytes that lowercasing `size` bytes can give: a code point grows
// by at most half (two bytes to three), and never from one byte.
constexpr std::size_t lowered_size_bound(std::size_t size) noexcept {
  return size + size / 2 + 4;
}

// Writes what `to_lower_full(text)` gives into `out`, which holds at least
// `lowered_size_bound(text.size())` bytes, and returns its length. For
// callers that reuse one buffer (or a stack buffer) across conversions.
// Complexity: O(len(text)), no allocation.
std::size_t to_lower_full_into(std::string_view text, char* out) noexcept;

}  // namespace corvane::scoring
