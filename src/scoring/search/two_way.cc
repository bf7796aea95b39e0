#include "scoring/search/two_way.h"

#include <algorithm>
#include <cstring>

namespace corvane::scoring {
namespace {

struct MaximalSuffix {
  std::size_t start;   // index where the suffix begins
  std::size_t period;  // its smallest period
};

// Maximal suffix of x[0, m) under the byte order (`reversed` flips it), by
// one left-to-right scan that compares the candidate suffix starting at
// `start` with the one starting at `j` + 1, `k` bytes in, while tracking
// the candidate's period `p`.
// Complexity: O(m) time (fewer than 2m comparisons), O(1) space.
MaximalSuffix maximal_suffix(const unsigned char* x, std::size_t m, bool reversed) noexcept {
  std::size_t start = 0;  // best suffix so far: x[start, m)
  std::size_t j = 1;      // challenger suffix: x[j, m)
  std::size_t k = 0;      // bytes of the two already found equal
  std::size_t p = 1;      // period of x[start, j + k)
  while (j + k < m) {
    const unsigned char challenger = x[j + k];
    const unsigned char current = x[start + k];
    if (challenger == current) {
      // Both continue alike; a full period ends the comparison round.
      if (k + 1 == p) {
        j += p;
        k = 0;
      } else {
        ++k;
      }
    } else if ((challenger < current) != reversed) {
      // The challenger loses; everything up to it extends the best suffix,
      // whose period becomes the whole stretch.
      j += k + 1;
      k = 0;
      p = j - start;
    } else {
      // The challenger wins and becomes the best suffix.
      start = j;
      j = start + 1;
      k = 0;
      p = 1;
    }
  }
  return {start, p};
}

}  // namespace

CriticalFactorization critical_factorization(std::string_view needle) noexcept {
  const auto* x = reinterpret_cast<const unsigned char*>(needle.data());
  const MaximalSuffix ascending = maximal_suffix(x, needle.size(), false);
  const MaximalSuffix descending = maximal_suffix(x, needle.size(), true);
  // The later of the two maximal suffixes starts at a critical position.
  return ascending.start >= descending.start
             ? CriticalFactorization{ascending.start, ascending.period}
             : CriticalFactorization{descending.start, descending.period};
}

TwoWaySearcher::TwoWaySearcher(std::string_view needle) noexcept
    : needle_(reinterpret_cast<const unsigned char*>(needle.data())),
      size_(needle.size()),
      critical_(0),
      shift_(0),
      periodic_(false),
      byte_set_(0) {
  const CriticalFactorization factors = critical_factorization(needle);
  critical_ = factors.position;
  // The needle has the right factor's period exactly when the left factor
  // repeats one period further on.
  // (The right factor's period never exceeds its length, so this stays
  // inside the needle.)
  periodic_ = std::memcmp(needle_, needle_ + factors.right_period, critical_) == 0;
  shift_ = periodic_ ? factors.right_period : std::max(critical_, size_ - critical_) + 1;
  for (std::size_t i = 0; i < size_; ++i) byte_set_ |= std::uint64_t{1} << (needle_[i] & 63u);
}

std::size_t TwoWaySearcher::find(std::string_view haystack, std::size_t from) const noexcept {
  if (haystack.size() < size_ || from > haystack.size() - size_) return kNpos;
  const auto* y = reinterpret_cast<const unsigned char*>(haystack.data());
  return periodic_ ? find_periodic(y, haystack.size(), from)
                   : find_aperiodic(y, haystack.size(), from);
}

// Periodic needle: after a full match of the right factor and a mismatch in
// the left one, the window moves by one period, and the first m - period
// bytes of the next window are known to match (the "memory").
// Complexity: O(size - from) time, O(1) space.
std::size_t TwoWaySearcher::find_periodic(const unsigned char* y, std::size_t size,
                                          std::size_t from) const noexcept {
  const unsigned char* x = needle_;
  const std::size_t m = size_;
  std::size_t j = from;
  std::size_t memory = 0;
  while (j <= size - m) {
    if (!may_contain(y[j + m - 1])) {
      j += m;
      memory = 0;
      continue;
    }
    std::size_t i = std::max(critical_, memory);
    while (i < m && x[i] == y[j + i]) ++i;
    if (i < m) {
      j += i - critical_ + 1;
      memory = 0;
      continue;
    }
    i = critical_;
    while (i > memory && x[i - 1] == y[j + i - 1]) --i;
    if (i <= memory) return j;
    j += shift_;
    memory = m - shift_;
  }
  return kNpos;
}

// Aperiodic needle: no memory is needed; a mismatch in the left factor
// allows a shift longer than either factor.
// Complexity: O(size - from) time, O(1) space.
std::size_t TwoWaySearcher::find_aperiodic(const unsigned char* y, std::size_t size,
                                           std::size_t from) const noexcept {
  const unsigned char* x = needle_;
  const std::size_t m = size_;
  std::size_t j = from;
  while (j <= size - m) {
    if (!may_contain(y[j + m - 1])) {
      j += m;
      continue;
    }
    std::size_t i = critical_;
    while (i < m && x[i] == y[j + i]) ++i;
    if (i < m) {
      j += i - critical_ + 1;
      continue;
    }
    i = critical_;
    while (i > 0 && x[i - 1] == y[j + i - 1]) --i;
    if (i == 0) return j;
    j += shift_;
  }
  return kNpos;
}

}  // namespace corvane::scoring
