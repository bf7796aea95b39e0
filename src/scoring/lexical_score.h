// The lexical score: the share of a query's words found inside a text.
//
// Contract: both arguments are well-formed UTF-8, borrowed for the call.
// `compute_lexical_score(text, query)` refuses a query with no word (empty,
// or only white space) with the `ScoreError` "query cannot be empty", without
// looking at `text`; otherwise it splits `query` into words at white space, lowercases
// `text` once and each word by itself (so a word's final sigma is judged
// within the word alone), counts the words whose lowercased form occurs in
// the lowercased text (repeats count each time), and divides the hit count
// by the word count in single precision, both converted to float with
// round-to-nearest-even. Either argument may also come as fixed-width code
// points (`ScoreText`).
// Complexity: O(len(text) * words + len(query)).
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <string_view>
#include <variant>

#include "scoring/score_error.h"
#include "scoring/short_input_score.h"
#include "scoring/transcode/fixed_width_text.h"

namespace corvane::scoring {

// Both counts rounded to single precision, then divided in it.
inline float hit_ratio(std::uint64_t hits, std::uint64_t words) noexcept {
  // Counts are far below 2^63, where the signed conversion, one
  // instruction without AVX-512, rounds exactly as the unsigned one.
  return static_cast<float>(static_cast<std::int64_t>(hits)) /
         static_cast<float>(static_cast<std::int64_t>(words));
}

// compute_lexical_score without the short path (which the inline part below
// has tried): for inputs too long for it, or that it leaves over.
std::expected<float, ScoreError> compute_lexical_score_in_general(std::string_view text,
                                                                  std::string_view query);

// Inline, so that a short call costs its caller no more than the counting.
inline std::expected<float, ScoreError> compute_lexical_score(std::string_view text,
                                                              std::string_view query) {
  if (fits_short_input(text, query)) {
    if (const auto counts = short_input_hits(text, query); counts && counts->words != 0) {
      return hit_ratio(counts->hits, counts->words);
    }
  }
  return compute_lexical_score_in_general(text, query);
}

// A text as UTF-8 or as fixed-width code points.
using ScoreText = std::variant<std::string_view, FixedWidthText>;

// Where a text's bytes start, and how many there are.
inline const void* text_start(const ScoreText& text) noexcept {
  if (const auto* units = std::get_if<FixedWidthText>(&text)) return units->data;
  return std::get_if<std::string_view>(&text)->data();
}
inline std::size_t text_bytes(const ScoreText& text) noexcept {
  if (const auto* units = std::get_if<FixedWidthText>(&text)) return units->length * units->width;
  return std::get_if<std::string_view>(&text)->size();
}

// compute_lexical_score for either form of each argument, with the same result
// as for their UTF-8 forms. A long text of fixed-width code points is
// searched in its units where every word has anchors (scoring/units_search.h);
// otherwise it is turned into UTF-8 and lowercased a piece at a time, so its
// UTF-8 form never exists whole. The query holds no surrogate; the text may, and then has no
// UTF-8 form: the result is `ScoreError::surrogate_in_text()`, whatever the
// query (an empty query's refusal included).
std::expected<float, ScoreError> compute_lexical_score_any_form(const ScoreText& text,
                                                                const ScoreText& query);

}  // namespace corvane::scoring
