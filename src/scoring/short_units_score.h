// Scoring of a short text held as fixed-width code points, without its
// UTF-8 form.
//
// Contract: `short_units_hits(text, query)` takes a text of at most
// kShortInputUnits units and a query of at most kShortInputBytes bytes
// (UTF-8) or kShortInputUnits units (fixed-width), and gives the two
// counts that `short_input_hits` gives for the UTF-8 forms of both
// (scoring/short_input_score.h): the query's words, and how many of them,
// lowercased each by itself, occur in the lowercased text.
// The kernel table's `short_units_hits` does the same for a query given
// as its words, lowercased already, as code points (at least one word); a
// prepared query calls it (scoring/prepared_query.h).
// The text, and each word of a query given whole, is lowercased by the
// full rules straight into code points, and the words are matched there by
// the kernel table's `short_units_hits`
// (scoring/arch/generic/short_units_kernel.h says how). A query without
// words gives {0, 0} before the text is read. It gives nothing, and the
// general scoring must serve, when the text holds a surrogate or U+0130
// (which lowercases to two code points), and where the level the process
// runs at has no such kernel (the portable one). It allocates nothing and
// keeps nothing.
// Complexity: O(len(text) + len(query)) for the lowercasing and the
// kernel's match, both lengths bounded.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "scoring/arch/kernel_table.h"
#include "scoring/arch/kernel_types.h"
#include "scoring/transcode/fixed_width_text.h"

namespace corvane::scoring {

// Whether every code point of every word is ASCII: the kernel table's
// `short_units_hits` is told so.
constexpr bool words_are_ascii(std::span<const std::u32string_view> words) noexcept {
  for (const std::u32string_view word : words) {
    for (const char32_t c : word) {
      if (c >= 0x80) return false;
    }
  }
  return true;
}

constexpr bool fits_short_units(const FixedWidthText& text, std::string_view query) noexcept {
  return text.length <= kShortInputUnits && query.size() <= kShortInputBytes;
}

constexpr bool fits_short_units(const FixedWidthText& text, const FixedWidthText& query) noexcept {
  return text.length <= kShortInputUnits && query.length <= kShortInputUnits;
}

// Precondition: fits_short_units(text, query).
std::optional<ShortWordHits> short_units_hits(const FixedWidthText& text,
                                              std::string_view query) noexcept;

// The same for a query held as fixed-width code points (no surrogate).
// Precondition: fits_short_units(text, query).
std::optional<ShortWordHits> short_units_hits(const FixedWidthText& text,
                                              const FixedWidthText& query) noexcept;

}  // namespace corvane::scoring
