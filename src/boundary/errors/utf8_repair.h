// Repairing ill-formed UTF-8, for the text of strings that hold lone
// surrogates.
//
// Contract: `repair_utf8(bytes)` decodes `bytes` as UTF-8 and gives it back
// well-formed, each maximal subpart of an ill-formed sequence (Table 3-7 of
// the Unicode Standard) replaced by U+FFFD, the standard's recommended
// practice: a lone surrogate's three bytes give three U+FFFD.
// Complexity: O(len(bytes)).
#pragma once

#include <string_view>

#include "base/allocation.h"

namespace corvane::boundary {

Text repair_utf8(std::string_view bytes);

}  // namespace corvane::boundary
