#include "scoring/unicode/piece_boundary.h"

#include "scoring/transcode/fixed_width_text.h"
#include "scoring/transcode/units.h"

namespace corvane::scoring {
namespace {

template <class Unit>
std::size_t boundary(const Unit* units, std::size_t length, std::size_t from,
                     std::size_t limit) noexcept {
  const std::size_t stop = length - from > limit ? from + limit : length;
  if (from >= stop) return length;
  // from > 0, so a code point ends just before it.
  PieceCut cut(units[from - 1]);
  for (std::size_t i = from; i < stop; ++i) {
    if (cut.may_cut_before(units[i])) return i;
  }
  return length;
}

}  // namespace

std::size_t next_piece_boundary(const FixedWidthText& text, std::size_t from,
                                std::size_t limit) noexcept {
  return with_units(text,
                    [&](const auto* units) { return boundary(units, text.length, from, limit); });
}

}  // namespace corvane::scoring
