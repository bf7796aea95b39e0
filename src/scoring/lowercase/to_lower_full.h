// Full default lowercase conversion (Unicode toLowercase, no tailoring).
//
// Contract: `to_lower_full_into(text, out)` takes well-formed UTF-8 and
// writes its full lowercase conversion into `out`, which holds at least
// `lowered_size_bound(text.size())` bytes (scoring/unicode/case_tables.h), and returns the
// conversion's length: every code point is replaced by its full lowercase mapping, ASCII A-Z to
// a-z, U+0130 to U+0069 U+0307, U+03A3 to U+03C2 or U+03C3 by the Final_Sigma rule judged on the
// input code points within `text` alone, and every other code point by its simple lowercase mapping
// (or unchanged). No normalisation, no case folding. Callers reuse one buffer (or a stack buffer)
// across conversions; nothing is allocated. Complexity: one pass, O(len(text)); runs of ASCII and
// of two-byte sequences go through the vector loops of the kernel table
// (scoring/arch/kernel_table.h).
#pragma once

#include <cstddef>
#include <string_view>

#include "scoring/unicode/case_tables.h"

namespace corvane::scoring {

std::size_t to_lower_full_into(std::string_view text, char* out) noexcept;

}  // namespace corvane::scoring
