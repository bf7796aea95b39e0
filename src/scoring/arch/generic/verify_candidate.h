// Verification of prefilter candidates, with the budget that keeps the
// prefiltered search linear and worth its while.
//
// Contract: for a needle of at least two bytes, `CandidateVerifier::check(j,
// tight)` compares the needle with the haystack window starting at j
// (candidates must come in increasing order; `tight` says whether they were
// chosen on three bytes rather than two) and says `found`, `rejected`,
// `tighten` (rejected, and candidates on two bytes have come so thick that
// the caller should choose them on three from j + 1 on), or `give_up`: the
// candidates have become too costly, all window starts up to j are ruled
// out, and the caller should go on from j + 1 with a search that needs no
// prefilter. Verification reads at most 2 * (j + 1) + 2m + 8 bytes
// in total up to candidate j, so a prefiltered search stays O(n + m). Only
// the files holding the candidate loops include this header; everything
// here has internal linkage, so each copy is compiled for its file's
// instruction set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace corvane::scoring {
namespace {

enum class Candidate { Rejected, Found, Tighten, GiveUp };

class CandidateVerifier {
 public:
  CandidateVerifier(const unsigned char* haystack, const unsigned char* needle,
                    std::size_t size) noexcept
      : haystack_(haystack), needle_(needle), size_(size) {}

  // Complexity: O(len(needle)) time, O(1) space.
  Candidate check(std::size_t j, bool tight) noexcept {
    const unsigned char* window = haystack_ + j;
    std::size_t compared = size_;
    if (size_ < 8) {
      // Two overlapping loads cover 2 to 7 bytes.
      const std::size_t half = size_ < 4 ? 2 : 4;
      if (load(window, half) == load(needle_, half) &&
          load(window + size_ - half, half) == load(needle_ + size_ - half, half)) {
        return Candidate::Found;
      }
    } else {
      // Eight bytes at a time; the tail as the last eight bytes.
      std::size_t i = 0;
      while (i + 8 <= size_ && load(window + i) == load(needle_ + i)) i += 8;
      if (i + 8 <= size_) {
        compared = i + 8;
      } else if (load(window + size_ - 8) == load(needle_ + size_ - 8)) {
        return Candidate::Found;
      }
    }
    ++candidates_;
    compared_ += compared;
    const std::size_t passed = j + 1;  // window starts ruled out so far
    if (compared_ > 2 * passed + size_) return Candidate::GiveUp;
    if (!tight && candidates_ >= kTightenAfter && passed < candidates_ * kTightStride) {
      return Candidate::Tighten;
    }
    if (candidates_ >= kWarmUp && passed < candidates_ * kMinStride) return Candidate::GiveUp;
    return Candidate::Rejected;
  }

 private:
  // The prefilter is kept while it pays: after `kWarmUp` candidates, each
  // must on average stand for at least `kMinStride` window starts.
  static constexpr std::size_t kWarmUp = 32;
  static constexpr std::size_t kMinStride = 16;
  // Candidates on two bytes that come more often than once per
  // `kTightStride` window starts cost more, in verification and in
  // mispredicted branches, than a third comparison per window.
  static constexpr std::size_t kTightenAfter = 8;
  static constexpr std::size_t kTightStride = 4096;

  static std::uint64_t load(const unsigned char* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
  }
  static std::uint32_t load(const unsigned char* p, std::size_t bytes) noexcept {
    if (bytes == 2) {
      std::uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }

  const unsigned char* haystack_;
  const unsigned char* needle_;
  std::size_t size_;
  std::size_t candidates_ = 0;
  std::size_t compared_ = 0;
};

}  // namespace
}  // namespace corvane::scoring
