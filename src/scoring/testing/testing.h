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
// Complexity: as the operations they wrap.
#pragma once

#include <string_view>

#include "base/allocation.h"

namespace corvane::scoring {

void split_words(std::string_view text, Vector<std::string_view>& words);
Text to_lower_full(std::string_view text);
float word_hit_ratio(std::string_view text, std::string_view query);

}  // namespace corvane::scoring
