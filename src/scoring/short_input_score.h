// Scoring of a short text against a short query without the setup that
// pays off only on longer input.
//
// Contract: `fits_short_input(text, query)` says whether both arguments are
// short enough (at most kShortInputBytes bytes each) for `short_input_hits`,
// which counts the words of `query` and how many of them, lowercased each by
// itself, occur in the lowercased `text`: the same two counts that the
// general scoring gives, so the score made from them is the same. A query
// without words is seen before `text` is read, and gives {0, 0}. It gives
// nothing (and the general scoring must serve) in the rare case that the
// lowercased text outgrows kShortInputBytes. It allocates nothing, keeps
// nothing, and runs the kernel (scoring/arch/generic/short_input_kernel.h)
// for the widest vector unit of the running CPU (`cpu_features()`; NEON on
// AArch64). Where the project has no vector code (`kHasShortInputPath`
// false) `fits_short_input` is always false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace corvane::scoring {

struct ShortWordHits {
  std::uint64_t hits;
  std::uint64_t words;
};

constexpr std::size_t kShortInputBytes = 64;

#if defined(__x86_64__) || defined(__aarch64__)
inline constexpr bool kHasShortInputPath = true;
#else
inline constexpr bool kHasShortInputPath = false;
#endif

constexpr bool fits_short_input(std::string_view text, std::string_view query) noexcept {
  return kHasShortInputPath && text.size() <= kShortInputBytes && query.size() <= kShortInputBytes;
}

// Precondition: fits_short_input(text, query).
// Complexity: O(len(text) / vector width * (bytes of the words) + len(query)),
// with both lengths bounded.
std::optional<ShortWordHits> short_input_hits(std::string_view text,
                                              std::string_view query) noexcept;

}  // namespace corvane::scoring
