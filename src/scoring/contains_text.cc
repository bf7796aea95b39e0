#include "contains_text.h"

#include <cstring>

#include "rare_byte_prefilter.h"
#include "two_way.h"

namespace corvane::scoring {
namespace {

// Needles of two bytes or more, shorter than the haystack.
// Complexity: O(n + m) time, O(1) space: the prefiltered search is linear
// (it reads each window start once and holds verification to about twice
// the starts it has passed), and when it gives up, Two-Way (linear) takes
// over from where it stopped.
bool search(std::string_view haystack, std::string_view needle) noexcept {
  const auto* h = reinterpret_cast<const unsigned char*>(haystack.data());
  const auto* x = reinterpret_cast<const unsigned char*>(needle.data());
  const std::size_t m = needle.size();
  const std::size_t last = haystack.size() - m;  // the last window start

  const PrefilteredSearch prefiltered = prefiltered_search_for(last + 1);
  const PrefilterResult result = prefiltered(h, last, x, m, choose_rare_byte_pair(needle));
  if (result.found) return true;
  if (result.resume > last) return false;
  return TwoWaySearcher(needle).find(haystack, result.resume) != TwoWaySearcher::npos;
}

}  // namespace

bool contains_text(std::string_view haystack, std::string_view needle) noexcept {
  const std::size_t m = needle.size();
  if (m == 0) return true;
  if (m > haystack.size()) return false;
  if (m == haystack.size()) return std::memcmp(haystack.data(), needle.data(), m) == 0;
  if (m == 1) return std::memchr(haystack.data(), needle[0], haystack.size()) != nullptr;
  return search(haystack, needle);
}

}  // namespace corvane::scoring
