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

#include <string_view>

#include "allocation.h"

namespace corvane::scoring {

Text to_lower_full(std::string_view text);

}  // namespace corvane::scoring
