// Substring search that checks only windows holding a needle's rare bytes.
//
// Contract: `choose_rare_bytes` picks three offsets of a needle (of at
// least two bytes): the one holding its rarest byte in typical text, by
// `kByteFrequencyRank`, then the rarest other byte value, then the rarest
// byte left (a needle of two bytes repeats the first). A
// `PrefilteredSearch` looks, in increasing order, at the window starts j in
// [0, last] where the first two bytes sit at their offsets from j (every
// occurrence is such a candidate) and verifies each with
// `CandidateVerifier` (scoring/search/verify_candidate.h). When the candidates come thick
// (common letters make common pairs), it tightens once: from there on a
// candidate must hold all three bytes, which costs a third comparison per
// window but spares the verifications and the branches that no predictor
// can foresee on text it has not seen. It stops at the first occurrence, at
// the end, or when even those candidates cost too much.
// `prefiltered_search_for` gives the fastest implementation for the running
// CPU (`cpu_features()`) and the number of window starts: the vector
// kernel (scoring/arch/generic/prefilter_kernel.h) for AVX-512BW, AVX2 or
// SSE2 on x86-64, NEON on AArch64, the byte loop
// `prefiltered_search_bytewise` elsewhere and for very short haystacks. All
// give identical results (the same candidates are verified, tightening at
// the same one), read only haystack[0, last + m) and needle[0, m), and keep
// no state between calls.
#pragma once

#include <cstddef>
#include <string_view>

namespace corvane::scoring {

struct RareBytes {
  std::size_t offset1;
  std::size_t offset2;
  std::size_t offset3;
  unsigned char byte1;
  unsigned char byte2;
  unsigned char byte3;
};

// Precondition: needle.size() >= 2. The first two offsets differ, and so do
// their bytes unless the needle is one byte value repeated; the third
// differs from both when the needle has three bytes or more.
// Complexity: O(len(needle)) time, O(1) space.
RareBytes choose_rare_bytes(std::string_view needle) noexcept;

struct PrefilterResult {
  bool found;
  // When not found: every window start before `resume` is ruled out. It is
  // last + 1 when the whole haystack was searched.
  std::size_t resume;
};

// Precondition: m >= 2 and the haystack holds last + m bytes.
// Complexity: O(last + m) time, O(1) space.
using PrefilteredSearch = PrefilterResult (*)(const unsigned char* haystack, std::size_t last,
                                              const unsigned char* needle, std::size_t m,
                                              const RareBytes& rare) noexcept;

PrefilteredSearch prefiltered_search_for(std::size_t window_starts) noexcept;

// The portable implementation.
PrefilterResult prefiltered_search_bytewise(const unsigned char* haystack, std::size_t last,
                                            const unsigned char* needle, std::size_t m,
                                            const RareBytes& rare) noexcept;

}  // namespace corvane::scoring
