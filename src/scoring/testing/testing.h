// Entry points that only tests, fuzzers and benchmarks call: the core's
// operations in the plain form that a reference model compares against,
// built on the production code.
//
// Contract:
// - `split_words(text, words)` appends the words of `text` (maximal runs of
//   non-white-space code points) to `words`, in order, repeats included.
// - `to_lower_full(text)` gives what `to_lower_full_into` writes, as a new
//   string.
// - `word_hit_ratio(text, query)` gives the score of `compute_lexical_score`
//   without its validation: +0.0 for a query with no word.
// - `contains_text(haystack, needle)` is `Needle(needle).found_in(haystack)`
//   (scoring/search/contains_text.h) in one call.
// - `is_cased(c)` and `is_case_ignorable(c)` give the derived properties
//   Cased and Case_Ignorable of a code point from the case tables (a code
//   point may have both), for reference models.
// - `sigma_ascii_letter(b)` and `sigma_ascii_break(b)` read the ASCII rows
//   of the sigma context tables (scoring/unicode/sigma_context.h): whether
//   they take byte b for a cased letter, or for a code point that ends a
//   word.
// - `lowered_code_point_words(query)` gives the words of `query`, each
//   lowercased by itself, as code points, as a prepared query holds them.
// - `Units(utf8, width)` holds the code points of `utf8` in units of at
//   least `width` bytes, as wide as its largest needs, as `text`.
// Complexity: as the operations they wrap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/allocation.h"
#include "scoring/transcode/fixed_width_text.h"

namespace corvane::scoring {

void split_words(std::string_view text, Vector<std::string_view>& words);

std::vector<std::u32string> lowered_code_point_words(std::string_view query);

struct Units {
  std::vector<std::uint8_t> bytes;
  FixedWidthText text;

  Units(std::string_view utf8, std::size_t width);
};
Text to_lower_full(std::string_view text);
float word_hit_ratio(std::string_view text, std::string_view query);
bool contains_text(std::string_view haystack, std::string_view needle) noexcept;
bool is_cased(char32_t c) noexcept;
bool is_case_ignorable(char32_t c) noexcept;
bool sigma_ascii_letter(unsigned char b) noexcept;
bool sigma_ascii_break(unsigned char b) noexcept;

}  // namespace corvane::scoring
