// Where a text may be cut so that its pieces lowercase independently.
//
// Contract: `next_piece_boundary(text, from, limit)` gives the first code
// point boundary p at or after byte `from` (itself rounded up to a boundary)
// where the text may be cut: either the code point that starts at p has
// neither Cased nor Case_Ignorable, or the code points on both sides of p
// are not Case_Ignorable and neither is U+03A3. It gives `text.size()` when
// there is no such place within `limit` bytes: the rest of the text is then
// one piece, which is always correct.
// Lowercasing the pieces of a text cut at such places, one by one, gives
// exactly the lowercasing of the whole: the only context-dependent mapping,
// capital sigma's Final_Sigma rule, looks from the sigma past
// case-ignorable code points only, to the first other code point on each
// side. At a cut of the first kind that code point, if the look reaches it,
// is not cased, the same answer as the end of a string gives; at a cut of
// the second kind the look stops before it reaches the cut, on either side.
// The second kind lets text made of letters be cut almost anywhere, so
// pieces keep their intended size.
// Precondition: 0 < from <= text.size().
// Complexity: O(min(distance to the place found, limit)).
#pragma once

#include <cstddef>
#include <string_view>

#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/utf8.h"

namespace corvane::scoring {

// The cut rule, fed the code points of a text in order from one that ends
// just before the first place asked about: `may_cut_before(cp)` says
// whether the text may be cut before `cp`, then steps past it. A capital
// sigma counts as case-ignorable here, so that no cut is made beside it.
class PieceCut {
 public:
  explicit PieceCut(char32_t before) noexcept : before_stops_(stops(properties(before))) {}

  bool may_cut_before(char32_t cp) noexcept {
    const unsigned here = properties(cp);
    const bool here_stops = stops(here);
    if (here == 0 || (before_stops_ && here_stops)) return true;
    before_stops_ = here_stops;
    return false;
  }

 private:
  static unsigned properties(char32_t cp) noexcept {
    return cp == 0x03A3 ? case_data::kCaseIgnorableBit : case_data::properties_of(cp);
  }
  static bool stops(unsigned properties) noexcept {
    return (properties & case_data::kCaseIgnorableBit) == 0;
  }

  bool before_stops_;
};

inline std::size_t next_piece_boundary(std::string_view text, std::size_t from,
                                       std::size_t limit) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = from;
  const std::size_t stop = text.size() - from > limit ? from + limit : text.size();
  while (i < stop && (bytes[i] & 0xC0u) == 0x80u) ++i;
  if (i >= stop) return text.size();
  // from > 0, so a code point ends just before i.
  PieceCut cut(decode_before(text, i).code_point);
  while (i < stop) {
    const Decoded d = decode_at(text, i);
    if (cut.may_cut_before(d.code_point)) return i;
    i += d.length;
  }
  return text.size();
}

}  // namespace corvane::scoring
