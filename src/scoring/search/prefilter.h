// Substring search that checks only windows holding a needle's rare bytes.
//
// Contract: `choose_rare_bytes` picks three offsets of a needle (of at
// least two bytes): the one holding its rarest byte in typical text, by
// `kByteFrequencyRank`, then the rarest other byte value, then the rarest
// byte left (a needle of two bytes repeats the first). A
// `PrefilteredSearch` looks, in increasing order, at the window starts j in
// [0, last] where the first two bytes sit at their offsets from j (every
// occurrence is such a candidate) and verifies each with
// `CandidateVerifier` (scoring/arch/generic/verify_candidate.h). When the candidates come thick
// (common letters make common pairs), it tightens once: from there on a
// candidate must hold all three bytes, which costs a third comparison per
// window but spares the verifications and the branches that no predictor
// can foresee on text it has not seen. It stops at the first occurrence, at
// the end, or when even those candidates cost too much.
// `prefiltered_search_for` gives the kernel table's widest search
// (scoring/arch/kernel_table.h) whose width the number of window starts
// reaches: the vector kernel (scoring/arch/generic/prefilter_kernel.h) of
// the level the process runs at, or the portable byte loop. All give
// identical results (the same candidates are verified, tightening at the
// same one), read only haystack[0, last + m) and needle[0, m), and keep no
// state between calls.
#pragma once

#include <cstddef>
#include <string_view>

#include "scoring/arch/kernel_types.h"

namespace corvane::scoring {

// Precondition: needle.size() >= 2. The first two offsets differ, and so do
// their bytes unless the needle is one byte value repeated; the third
// differs from both when the needle has three bytes or more.
// Complexity: O(len(needle)) time, O(1) space.
RareBytes choose_rare_bytes(std::string_view needle) noexcept;

// Complexity: O(1).
PrefilteredSearch* prefiltered_search_for(std::size_t window_starts) noexcept;

}  // namespace corvane::scoring
