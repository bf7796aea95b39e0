#include "scoring/search/contains_text.h"

#include <cstring>
#include <optional>

#include "scoring/search/prefilter.h"
#include "scoring/search/two_way.h"

namespace corvane::scoring {
namespace {

// Needles of two bytes or more, shorter than the haystack.
// Complexity: O(n + m) time, O(1) space: the prefiltered search is linear
// (it reads each window start once and holds verification to about twice
// the starts it has passed), and when it gives up, Two-Way (linear) takes
// over from where it stopped.
bool search(std::string_view haystack, std::string_view needle, const RareBytes& rare) noexcept {
  const auto* h = reinterpret_cast<const unsigned char*>(haystack.data());
  const auto* x = reinterpret_cast<const unsigned char*>(needle.data());
  const std::size_t m = needle.size();
  const std::size_t last = haystack.size() - m;  // the last window start

  PrefilteredSearch* const prefiltered = prefiltered_search_for(last + 1);
  const PrefilterResult result = prefiltered(h, last, x, m, rare);
  if (result.found) return true;
  if (result.resume > last) return false;
  return TwoWaySearcher(needle).find(haystack, result.resume) != TwoWaySearcher::kNpos;
}

// Haystacks of at most kShortHaystack bytes: setting up the prefilter costs
// more than comparing at every place where the first byte matches.
// Complexity: O(n * m) with n <= kShortHaystack, so O(m) for every input.
constexpr std::size_t kShortHaystack = 64;

bool search_short(std::string_view haystack, std::string_view needle) noexcept {
  const char first = needle[0];
  const std::size_t rest = needle.size() - 1;
  const char* h = haystack.data();
  const std::size_t last = haystack.size() - needle.size();
  for (std::size_t j = 0; j <= last; ++j) {
    if (h[j] == first && std::memcmp(h + j + 1, needle.data() + 1, rest) == 0) return true;
  }
  return false;
}

// The answer when it needs no prefilter (empty, one-byte or too long
// needles, haystacks no longer than the needle or short); nothing otherwise.
// Complexity: O(len(haystack)) for what it answers, O(1) otherwise.
std::optional<bool> found_without_prefilter(std::string_view haystack,
                                            std::string_view needle) noexcept {
  const std::size_t m = needle.size();
  if (m == 0) return true;
  if (m > haystack.size()) return false;
  if (m == haystack.size()) return std::memcmp(haystack.data(), needle.data(), m) == 0;
  if (m == 1) return std::memchr(haystack.data(), needle[0], haystack.size()) != nullptr;
  if (haystack.size() <= kShortHaystack) return search_short(haystack, needle);
  return std::nullopt;
}

}  // namespace

Needle::Needle(std::string_view bytes) noexcept
    : bytes_(bytes), rare_(bytes.size() >= 2 ? choose_rare_bytes(bytes) : RareBytes{}) {}

bool Needle::found_in(std::string_view haystack) const noexcept {
  if (const auto found = found_without_prefilter(haystack, bytes_)) return *found;
  return search(haystack, bytes_, rare_);
}

}  // namespace corvane::scoring
