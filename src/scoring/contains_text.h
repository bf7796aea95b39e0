// Substring containment of UTF-8 byte strings.
//
// Contract: `contains_text(haystack, needle)` is true exactly when the bytes
// of `needle` occur as one contiguous run in `haystack`. The empty needle
// occurs everywhere; a needle longer than the haystack never occurs. Well-
// formed UTF-8 on both sides makes this equal to code point containment.
// Complexity: O(len(haystack) + len(needle)) time for every input, O(1) space.
#pragma once

#include <string_view>

namespace corvane::scoring {

bool contains_text(std::string_view haystack, std::string_view needle) noexcept;

}  // namespace corvane::scoring
