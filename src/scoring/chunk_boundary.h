// Where a text may be cut so that its pieces lowercase independently.
//
// Contract: `next_chunk_boundary(text, from)` gives the first code point
// boundary at or after byte `from` (itself rounded up to a boundary) where
// the code point that starts there has neither Cased nor Case_Ignorable, or
// `text.size()` when there is none within the limit below. Lowercasing the pieces of a text cut at
// such boundaries, one by one, gives exactly the lowercasing of the whole:
// the only context-dependent mapping (capital sigma's Final_Sigma rule) looks
// past case-ignorable code points only, and stops at that code point on
// either side with the same answer as at the end of a string.
// The search gives up after `limit` bytes and then answers `text.size()`:
// the rest of the text is then one piece, which is always correct.
// Complexity: O(min(distance to the boundary found, limit)).
#pragma once

#include <cstddef>
#include <string_view>

#include "case_tables.h"
#include "utf8.h"

namespace corvane::scoring {

constexpr bool ascii_cuts_chunk(unsigned char c) noexcept {
  const unsigned char letter = c | 0x20;
  if (letter >= 'a' && letter <= 'z') return false;  // Cased
  return c != '\'' && c != '.' && c != ':' && c != '^' && c != '`';  // Case_Ignorable
}

inline std::size_t next_chunk_boundary(std::string_view text, std::size_t from,
                                       std::size_t limit) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = from;
  const std::size_t stop = text.size() - from > limit ? from + limit : text.size();
  while (i < stop && (bytes[i] & 0xC0u) == 0x80u) ++i;
  while (i < stop) {
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      if (ascii_cuts_chunk(lead)) return i;
      ++i;
      continue;
    }
    const Decoded d = decode_at(text, i);
    if (case_data::properties_of(d.code_point) == 0) return i;
    i += d.length;
  }
  return text.size();
}

}  // namespace corvane::scoring
