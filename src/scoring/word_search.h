// The search of a text for the words of a query, a piece at a time.
//
// Contract: `for_each_lowered_word(query, pool, visit)` lowercases each word
// of `query` (white space, scoring/unicode/white_space.h) by itself into
// `pool`, which holds `lowered_words_bound(query.size())` bytes, one after
// another, and calls `visit(lowered)` for each, in query order; it returns
// the bytes used. A `WordSet` views such lowercased words as `Needle`s
// (scoring/search/contains_text.h) and the length of the longest.
// `find_words(text, words, found)` counts the words that occur in the
// lowercased text and, when `found` is not null, sets found[k] for each
// word k that occurs and clears the others. A text of fixed-width code
// points is turned into UTF-8 and lowercased a piece at a time, so its
// UTF-8 form never exists whole; when it holds a surrogate the result is
// `ScoreError::surrogate_in_text()`, found anywhere in it, even after every
// word was found. The lowercased text never exists whole either: pieces of
// about 32 KiB are lowercased into one buffer that stays in the
// processor's cache while the words still missing are searched in it, each
// with the tail of the piece before, so that an occurrence across two
// pieces is found. Nothing is kept between calls; the scratch is on the
// stack for texts of a few KiB.
// Complexity: O(len(text) * missing words + len(words)) in the worst case,
// linear in the text for each word (scoring/search/contains_text.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string_view>

#include "scoring/lowercase/to_lower_full.h"
#include "scoring/score_error.h"
#include "scoring/search/contains_text.h"
#include "scoring/transcode/fixed_width_text.h"
#include "scoring/unicode/white_space.h"

namespace corvane::scoring {

struct WordSet {
  std::span<const Needle> words;
  std::size_t longest;
};

// Per word at most lowered_size_bound(length) bytes; summed over the
// words, at most 1.5 times the query and 4 bytes for each of at most
// (size + 1) / 2 words.
constexpr std::size_t lowered_words_bound(std::size_t query_size) noexcept {
  return query_size + query_size / 2 + 2 * query_size + 4;
}

template <class Visit>
std::size_t for_each_lowered_word(std::string_view query, char* pool, Visit&& visit) {
  std::size_t used = 0;
  for_each_word(query, [&](std::string_view word) {
    const std::size_t length = to_lower_full_into(word, pool + used);
    visit(std::string_view(pool + used, length));
    used += length;
  });
  return used;
}

std::uint64_t find_words(std::string_view text, const WordSet& words, bool* found);

std::expected<std::uint64_t, ScoreError> find_words(const FixedWidthText& text,
                                                    const WordSet& words, bool* found);

}  // namespace corvane::scoring
