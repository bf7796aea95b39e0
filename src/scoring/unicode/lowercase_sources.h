// The code points that lowercase to a given one: the inverse of the
// lowercase mapping.
//
// Contract: `lowercase_sources(c)` gives, in ascending order, every code
// point other than `c` whose lowercase form is the one code point `c`
// somewhere: by its simple mapping (scoring/unicode/case_tables.h), and
// U+03A3 for final sigma U+03C2 as well. U+0130 counts as a source of
// U+0069, as its simple mapping says. Most code points have none, a capital
// letter's lowercase one, a few two or three (U+006B: U+004B and the
// Kelvin sign). The inverse is made from the case tables at the first call
// and read-only after it, so any thread may call this.
// Complexity: O(log of the mappings) a call; the first call reads the
// tables once.
#pragma once

#include <span>

namespace corvane::scoring {

std::span<const char32_t> lowercase_sources(char32_t c) noexcept;

}  // namespace corvane::scoring
