// The search of a text held as fixed-width code points for the words of a
// prepared query, without lowercasing the text first.
//
// Contract: `UnitWord::make(word)` prepares a word, lowercased already, as
// code points: two of its code points become anchors, each with the units
// that may lowercase to it (scoring/unicode/lowercase_sources.h). It gives
// nothing for a word without a code point fit to anchor it: U+0069 and
// U+0307 come in part from U+0130, and a code point with more than three
// sources is not worth it. `count_words_in_units(text, words)` counts the
// words that occur in the lowercased text, the same count as `find_words`
// (scoring/word_search.h) gives, for a text without a surrogate. The
// kernel table's `find_unit_pair` finds where both anchors of a word may
// lie, and each such start is checked by lowercasing the units around it
// one at a time, by the full rules (a capital sigma by Final_Sigma over
// the whole text, U+0130 as its two code points). It gives nothing, and
// `find_words` must serve, where the level the process runs at has no such
// kernel, and where the checks of one word outgrow a budget linear in the
// text (many starts that fail late, a capital sigma in a long run of
// case-ignorable code points). A text of wider units up to 8,192 of them
// is searched by the low bytes of its units, each start found there
// checked on the units. It allocates nothing and keeps nothing.
// `count_words_in_short_units(keep, starts, text, words)` gives the same
// count for a text of at most kShortInputUnits units, held in registers for
// all the words by a level's kernels (the kernel table's
// `keep_short_low_bytes` and `short_pair_starts`, looked up once by a
// caller that scores many texts); it gives nothing where the checks give
// up, and for a text holding a surrogate.
// Complexity: O(len(text) * words) for the kernel and the checks together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "scoring/arch/kernel_types.h"
#include "scoring/transcode/fixed_width_text.h"

namespace corvane::scoring {

struct UnitWord {
  std::u32string_view word;
  // Where the first anchor lies in the word.
  std::size_t anchor;
  UnitPair pair;
  // The same anchors for the low bytes of wider units.
  UnitPair low_pair;

  static std::optional<UnitWord> make(std::u32string_view word) noexcept;
};

// Whether the level the process runs at has the kernel table's
// `find_unit_pair`, without which `count_words_in_units` gives nothing.
bool can_search_units() noexcept;

// Precondition: `text` holds no surrogate.
std::optional<std::uint64_t> count_words_in_units(const FixedWidthText& text,
                                                  std::span<const UnitWord> words) noexcept;

// The same with a given level's kernels, for tests: `find` not null; without
// `keep_low_bytes`, wider units are searched as they are.
std::optional<std::uint64_t> count_words_in_units(FindUnitPair* find, KeepLowBytes* keep_low_bytes,
                                                  const FixedWidthText& text,
                                                  std::span<const UnitWord> words) noexcept;

// Precondition: text.length <= kShortInputUnits; both kernels not null.
std::optional<std::uint64_t> count_words_in_short_units(KeepShortLowBytes* keep,
                                                        ShortPairStarts* starts,
                                                        const FixedWidthText& text,
                                                        std::span<const UnitWord> words) noexcept;

}  // namespace corvane::scoring
