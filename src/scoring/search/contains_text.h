// Substring containment of UTF-8 byte strings.
//
// Contract: `Needle(bytes).found_in(haystack)` is true exactly when `bytes`
// occur as one contiguous run in `haystack`. The empty needle occurs
// everywhere; a needle longer than the haystack never occurs. Well-formed
// UTF-8 on both sides makes this equal to code point containment. A
// `Needle` holds what the search learns from a needle alone (which of its
// bytes are rare), so that a caller searching many haystacks for one needle
// pays for it once. It views the bytes it was made from, which must outlive
// it.
// Complexity: making a needle O(len(bytes)); `found_in` O(len(haystack))
// plus, only when the prefilter gives up, O(len(needle)), for every input;
// O(1) space.
#pragma once

#include <string_view>

#include "scoring/search/prefilter.h"

namespace corvane::scoring {

class Needle {
 public:
  // The empty needle, found in every haystack.
  Needle() noexcept = default;
  // Complexity: O(len(bytes)).
  explicit Needle(std::string_view bytes) noexcept;

  bool found_in(std::string_view haystack) const noexcept;

 private:
  std::string_view bytes_;
  RareBytes rare_{};  // meaningful for needles of two bytes or more
};

}  // namespace corvane::scoring
