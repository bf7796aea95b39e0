// The code units of a fixed-width text at their own width.
//
// Contract: `with_units(text, f)` calls `f` with `text.data` as a pointer to
// `std::uint8_t`, `std::uint16_t` or `std::uint32_t` by `text.width` and
// gives what it gives, so that each operation on fixed-width text is
// written once over the unit type.
// Complexity: O(1) besides `f`.
#pragma once

#include <cstdint>
#include <utility>

#include "scoring/transcode/fixed_width_text.h"

namespace corvane::scoring {
namespace {

template <class F>
decltype(auto) with_units(const FixedWidthText& text, F&& f) noexcept {
  switch (text.width) {
    case 1:
      return std::forward<F>(f)(static_cast<const std::uint8_t*>(text.data));
    case 2:
      return std::forward<F>(f)(static_cast<const std::uint16_t*>(text.data));
    default:
      return std::forward<F>(f)(static_cast<const std::uint32_t*>(text.data));
  }
}

}  // namespace
}  // namespace corvane::scoring
