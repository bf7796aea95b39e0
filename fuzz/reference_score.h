// A deliberately plain model of the lexical score, to compare the scoring
// core against.
//
// Contract: everything here works on sequences of Unicode scalar values and
// states each rule in its most direct form, with no speed tricks: white
// space is a list of the 25 White_Space code points searched one by one; a
// word is a maximal run of code points that are not white space; lowercasing
// maps each code point by itself (U+0130 to U+0069 U+0307, U+03A3 by the
// Final_Sigma rule read off the input, everything else by the simple
// lowercase table); containment tries every start position in turn; the
// score divides the hit count by the word count in single precision. Only
// the case tables (`simple_lowercase`, and `is_cased` and `is_case_ignorable` of scoring/testing/)
// are shared with the core; they are checked against the Unicode data on their own.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "fuzz_input.h"

namespace corvane::fuzz::reference {

bool is_white_space(char32_t cp);

// Complexity: O(len(text)).
Vector<CodePoints> split_words(const CodePoints& text);

// Complexity: O(len(text)) (each sigma looks only as far as the next code
// point on either side that is not case-ignorable).
CodePoints to_lower(const CodePoints& text);

// The first start at or after `from` where `needle` occurs in `haystack`,
// or nullopt. The empty needle occurs at `from` when from <= len(haystack).
// Complexity: O(len(haystack) * len(needle)).
std::optional<std::size_t> find(const CodePoints& haystack, const CodePoints& needle,
                                std::size_t from = 0);
std::optional<std::size_t> find(std::string_view haystack, std::string_view needle,
                                std::size_t from = 0);

// The score of `query` against `text`, or nullopt when the query has no word
// and is refused.
// Complexity: O(len(text) * len(query)).
std::optional<float> lexical_score(const CodePoints& text, const CodePoints& query);

}  // namespace corvane::fuzz::reference
