// Two-Way exact string search (Crochemore-Perrin).
//
// Contract: `TwoWaySearcher` is built once from a non-empty needle, which it
// views and does not copy (the needle must outlive the searcher), and then
// finds the first occurrence of that needle in any haystack at or after a
// start offset. It keeps O(1) state besides the view, allocates nothing,
// never reads outside either view, and is safe to use from several threads
// at once (searching does not modify it).
//
// `critical_factorization` splits a needle x = u v at a critical position:
// the local period there equals the period of x, and |u| < period(x). It
// gives |u| and the period of v.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane::scoring {

struct CriticalFactorization {
  std::size_t position;      // length of the left factor u
  std::size_t right_period;  // smallest period of the right factor v
};

// Precondition: `needle` is not empty.
// Complexity: O(len(needle)) time, O(1) space.
CriticalFactorization critical_factorization(std::string_view needle) noexcept;

class TwoWaySearcher {
 public:
  static constexpr std::size_t kNpos = static_cast<std::size_t>(-1);

  // Precondition: `needle` is not empty.
  // Complexity: O(len(needle)) time, O(1) space.
  explicit TwoWaySearcher(std::string_view needle) noexcept;

  // Start of the first occurrence of the needle in `haystack` that begins
  // at or after `from`, or `npos`.
  // Complexity: O(len(haystack) - from) time (linear, whatever the needle
  // and haystack), O(1) space.
  std::size_t find(std::string_view haystack, std::size_t from = 0) const noexcept;

 private:
  std::size_t find_periodic(const unsigned char* haystack, std::size_t size,
                            std::size_t from) const noexcept;
  std::size_t find_aperiodic(const unsigned char* haystack, std::size_t size,
                             std::size_t from) const noexcept;
  bool may_contain(unsigned char byte) const noexcept {
    return ((byte_set_ >> (byte & 63u)) & 1u) != 0;
  }

  const unsigned char* needle_;
  std::size_t size_;
  std::size_t critical_;
  // The needle's period when `periodic_`, else a safe shift after a match
  // of the right factor followed by a mismatch in the left one.
  std::size_t shift_;
  bool periodic_;
  // Bit (b mod 64) is set for each byte b of the needle: a haystack byte
  // whose bit is clear cannot lie inside any occurrence.
  std::uint64_t byte_set_;
};

}  // namespace corvane::scoring
