// The vector loop of the prefiltered search, written once for every
// instruction set.
//
// Contract: `prefiltered_search_with<V>` gives the results of
// the portable level's byte loop (scoring/arch/portable/portable.cc; the
// search is described in scoring/search/prefilter.h) for last + 1 >=
// V::kWidth. `V` is a `ComparingByteVector` (scoring/arch/byte_vector.h) of
// at most 64 lanes. Only the per-architecture files include this header,
// each after switching on its instruction set, so that the loop is
// compiled for that set; everything here has internal linkage so no copy
// can leak into another file.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "scoring/arch/byte_vector.h"
#include "scoring/arch/generic/verify_candidate.h"
#include "scoring/arch/kernel_types.h"

namespace corvane::scoring {
namespace {

// The needle's rare bytes, each splat over a vector, and where each sits
// from a window start. `Bytes` (2 or 3) of them make a candidate.
template <ComparingByteVector V, std::size_t Bytes>
struct RareLanes {
  using Vector = typename V::Vector;
  using Lanes = typename V::Mask;
  const char* at1;
  const char* at2;
  const char* at3;
  Vector byte1;
  Vector byte2;
  Vector byte3;

  RareLanes(const unsigned char* haystack, const RareBytes& rare) noexcept
      : at1(reinterpret_cast<const char*>(haystack) + rare.offset1),
        at2(reinterpret_cast<const char*>(haystack) + rare.offset2),
        at3(reinterpret_cast<const char*>(haystack) + rare.offset3),
        byte1(V::splat(static_cast<char>(rare.byte1))),
        byte2(V::splat(static_cast<char>(rare.byte2))),
        byte3(V::splat(static_cast<char>(rare.byte3))) {}

  // Lane i is set when window start j + i holds the bytes.
  Lanes matches(std::size_t j) const noexcept {
    const Lanes two = V::both(V::equal(V::load(at1 + j), byte1), V::equal(V::load(at2 + j), byte2));
    if constexpr (Bytes == 2) {
      return two;
    } else {
      return V::both(two, V::equal(V::load(at3 + j), byte3));
    }
  }
};

// How a scan ended: with a result, or at a candidate after which it should
// go on with three bytes.
struct ScanEnd {
  bool done;
  PrefilterResult result;  // when not done, `resume` is where to go on
};

// Verifies the candidates base + i for the set bits i of `lanes`, lowest
// first. True when the scan ends here, with `end` set.
inline bool verify_lanes(CandidateVerifier& verifier, bool tight, std::size_t base,
                         std::uint64_t lanes, ScanEnd& end) noexcept {
  while (lanes != 0) {
    const std::size_t j = base + static_cast<std::size_t>(std::countr_zero(lanes));
    switch (verifier.check(j, tight)) {
      case Candidate::Found:
        end = {true, {true, j}};
        return true;
      case Candidate::GiveUp:
        end = {true, {false, j + 1}};
        return true;
      case Candidate::Tighten:
        end = {false, {false, j + 1}};
        return true;
      case Candidate::Rejected:
        break;
    }
    lanes &= lanes - 1;
  }
  return false;
}

// Scans window starts [from, last] for candidates on `Bytes` bytes.
// Complexity: O(last - from) plus the verifications.
template <ComparingByteVector V, std::size_t Bytes>
inline ScanEnd scan(const RareLanes<V, Bytes>& rare, CandidateVerifier& verifier, std::size_t from,
                    std::size_t last) noexcept {
  constexpr std::size_t width = V::kWidth;
  constexpr bool tight = Bytes == 3;
  ScanEnd end{true, {false, last + 1}};
  std::size_t j = from;
  // Four vectors per round while they fit, tested together.
  while (j + 4 * width - 1 <= last) {
    const auto c0 = rare.matches(j);
    const auto c1 = rare.matches(j + width);
    const auto c2 = rare.matches(j + 2 * width);
    const auto c3 = rare.matches(j + 3 * width);
    if (V::lanes(V::either(V::either(c0, c1), V::either(c2, c3))) != 0) {
      if (verify_lanes(verifier, tight, j, V::lanes(c0), end) ||
          verify_lanes(verifier, tight, j + width, V::lanes(c1), end) ||
          verify_lanes(verifier, tight, j + 2 * width, V::lanes(c2), end) ||
          verify_lanes(verifier, tight, j + 3 * width, V::lanes(c3), end)) {
        return end;
      }
    }
    j += 4 * width;
  }
  while (j + width - 1 <= last) {
    if (verify_lanes(verifier, tight, j, V::lanes(rare.matches(j)), end)) return end;
    j += width;
  }
  if (j <= last) {
    // Fewer than `width` starts remain: one last vector ending at `last`,
    // with the lanes before `j` (already searched) cleared. There are at
    // least `width` window starts in all, so it begins at one.
    const std::size_t k = last + 1 - width;
    const std::uint64_t lanes = V::lanes(rare.matches(k)) & (~std::uint64_t{0} << (j - k));
    if (verify_lanes(verifier, tight, k, lanes, end)) return end;
  }
  return {true, {false, last + 1}};
}

// Complexity: O(last + m) time, O(1) space: each window start is scanned
// once (on two bytes or, after tightening, on three) and verification is
// held to about twice the starts passed.
template <ComparingByteVector V>
inline PrefilterResult prefiltered_search_with(const unsigned char* haystack, std::size_t last,
                                               const unsigned char* needle, std::size_t m,
                                               const RareBytes& rare) noexcept {
  CandidateVerifier verifier(haystack, needle, m);
  const ScanEnd loose = scan(RareLanes<V, 2>(haystack, rare), verifier, 0, last);
  if (loose.done || loose.result.resume > last) return loose.result;
  return scan(RareLanes<V, 3>(haystack, rare), verifier, loose.result.resume, last).result;
}

}  // namespace
}  // namespace corvane::scoring
