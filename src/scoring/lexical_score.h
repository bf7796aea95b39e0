// The lexical score: the share of a query's words found inside a text.
//
// Contract: both arguments are well-formed UTF-8, borrowed for the call.
// `compute_lexical_score(text, query)` refuses a query with no word (empty,
// or only white space) with the `ScoreError` "query cannot be empty", without
// looking at `text`; otherwise it gives `word_hit_ratio(text, query)`.
// `word_hit_ratio` splits `query` into words at white space, lowercases
// `text` once and each word by itself (so a word's final sigma is judged
// within the word alone), counts the words whose lowercased form occurs in
// the lowercased text (repeats count each time), and divides the hit count
// by the word count in single precision, both converted to float with
// round-to-nearest-even. A query with no word gives +0.0.
// Complexity: O(len(text) * words + len(query)).
#pragma once

#include <expected>
#include <string_view>

#include "score_error.h"

namespace corvane::scoring {

std::expected<float, ScoreError> compute_lexical_score(std::string_view text,
                                                       std::string_view query);

float word_hit_ratio(std::string_view text, std::string_view query);

}  // namespace corvane::scoring
