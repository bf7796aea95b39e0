// Scoring of a short text against a short query without the setup that
// pays off only on longer input.
//
// Contract: `fits_short_input(text, query)` says whether both arguments are
// short enough (at most kShortInputBytes bytes each) for `short_input_hits`,
// which counts the words of `query` and how many of them, lowercased each by
// itself, occur in the lowercased `text`: the same two counts that the
// general scoring gives, so the score made from them is the same. A query
// without words is seen before `text` is read, and gives {0, 0}. It gives
// nothing (and the general scoring must serve) in the rare case that the
// lowercased text outgrows kShortInputBytes, and where the level the
// process runs at has no short-input scorer (the kernel table's
// `short_input_hits`, scoring/arch/kernel_table.h; the portable level has
// none). It allocates nothing and keeps nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "scoring/arch/kernel_table.h"
#include "scoring/arch/kernel_types.h"
#include "scoring/lowercase/to_lower_full.h"

namespace corvane::scoring {

constexpr bool fits_short_input(std::string_view text, std::string_view query) noexcept {
  return text.size() <= kShortInputBytes && query.size() <= kShortInputBytes;
}

// The kernel table's `short_input_prepared_hits` is the same for a query
// given as its words lowercased each by itself (at least one), for a text
// of at most kShortInputBytes bytes, whatever the words' length; a
// prepared query calls it (scoring/prepared_query.h).
//
// Precondition: fits_short_input(text, query).
// Complexity: O(len(text) / vector width * (bytes of the words) + len(query)),
// with both lengths bounded.
std::optional<ShortWordHits> short_input_hits(std::string_view text,
                                              std::string_view query) noexcept;

}  // namespace corvane::scoring
