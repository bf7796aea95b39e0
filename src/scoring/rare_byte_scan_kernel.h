// The vector loop of the prefiltered search, written once for every
// instruction set.
//
// Contract: `prefiltered_search_with<V>` gives the results of
// `prefiltered_search_bytewise` (rare_byte_prefilter.h) for last + 1 >=
// V::width. `V` supplies a vector of V::width bytes and six operations:
// `splat` (every lane one byte), `load` (unaligned), `equal` (lane-wise, all
// ones where equal), `both` (and), `either` (or) and `lanes` (one bit per
// lane, lane 0 lowest). Only the per-architecture files include this
// header, each after switching on its instruction set, so that the loop is
// compiled for that set; everything here has internal linkage so no copy
// can leak into another file.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "rare_byte_prefilter.h"
#include "verify_candidate.h"

namespace corvane::scoring {
namespace {

// Lane i is set when window start j + i has byte1 at `at1` and byte2 at
// `at2`. (A function rather than a lambda, so that the instruction-set
// switch of the including file covers it on every compiler.)
template <class V, class Vector>
inline Vector pair_matches(const unsigned char* at1, const unsigned char* at2, std::size_t j,
                           Vector byte1, Vector byte2) noexcept {
  return V::both(V::equal(V::load(at1 + j), byte1), V::equal(V::load(at2 + j), byte2));
}

// Verifies the candidates base + i for the set bits i of `lanes`, lowest
// first. True when the search ends here, with `result` set.
inline bool verify_lanes(CandidateVerifier& verifier, std::size_t base, std::uint32_t lanes,
                         PrefilterResult& result) noexcept {
  while (lanes != 0) {
    const std::size_t j = base + static_cast<std::size_t>(std::countr_zero(lanes));
    switch (verifier.check(j)) {
      case Candidate::found:
        result = {true, j};
        return true;
      case Candidate::give_up:
        result = {false, j + 1};
        return true;
      case Candidate::rejected:
        break;
    }
    lanes &= lanes - 1;
  }
  return false;
}

// Complexity: O(last + m) time, O(1) space.
template <class V>
inline PrefilterResult prefiltered_search_with(const unsigned char* haystack, std::size_t last,
                                               const unsigned char* needle, std::size_t m,
                                               const RareBytePair& pair) noexcept {
  constexpr std::size_t width = V::width;
  CandidateVerifier verifier(haystack, needle, m);
  PrefilterResult result{false, last + 1};
  const auto byte1 = V::splat(pair.byte1);
  const auto byte2 = V::splat(pair.byte2);
  const unsigned char* at1 = haystack + pair.offset1;
  const unsigned char* at2 = haystack + pair.offset2;

  std::size_t j = 0;
  // Four vectors per round while they fit, tested together.
  while (j + 4 * width - 1 <= last) {
    const auto c0 = pair_matches<V>(at1, at2, j, byte1, byte2);
    const auto c1 = pair_matches<V>(at1, at2, j + width, byte1, byte2);
    const auto c2 = pair_matches<V>(at1, at2, j + 2 * width, byte1, byte2);
    const auto c3 = pair_matches<V>(at1, at2, j + 3 * width, byte1, byte2);
    if (V::lanes(V::either(V::either(c0, c1), V::either(c2, c3))) != 0) {
      if (verify_lanes(verifier, j, V::lanes(c0), result) ||
          verify_lanes(verifier, j + width, V::lanes(c1), result) ||
          verify_lanes(verifier, j + 2 * width, V::lanes(c2), result) ||
          verify_lanes(verifier, j + 3 * width, V::lanes(c3), result)) {
        return result;
      }
    }
    j += 4 * width;
  }
  while (j + width - 1 <= last) {
    if (verify_lanes(verifier, j, V::lanes(pair_matches<V>(at1, at2, j, byte1, byte2)), result)) {
      return result;
    }
    j += width;
  }
  if (j <= last) {
    // Fewer than `width` starts remain: one last vector ending at `last`,
    // with the lanes before `j` (already searched) cleared.
    const std::size_t k = last + 1 - width;
    const std::uint32_t lanes =
        V::lanes(pair_matches<V>(at1, at2, k, byte1, byte2)) & (~std::uint32_t{0} << (j - k));
    if (verify_lanes(verifier, k, lanes, result)) return result;
  }
  return {false, last + 1};
}

}  // namespace
}  // namespace corvane::scoring
