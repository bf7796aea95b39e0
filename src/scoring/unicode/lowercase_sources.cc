#include "scoring/unicode/lowercase_sources.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "base/allocation.h"
#include "scoring/unicode/case_tables.h"

namespace corvane::scoring {
namespace {

// Every mapping that changes a code point, ordered by its result; the
// sources of one result lie side by side.
struct Inverse {
  Vector<char32_t> results;
  Vector<char32_t> sources;
};

Inverse make_inverse() {
  using case_data::kBlockShift;
  constexpr std::size_t block_size = std::size_t{1} << kBlockShift;
  Vector<std::pair<char32_t, char32_t>> pairs;
  // Most blocks share the block of no change: each distinct block is
  // looked at once.
  std::array<std::int8_t, 256> changes{};  // 0 unknown, 1 some, -1 none
  for (std::size_t block = 0; block < (std::size_t{0x110000} >> kBlockShift); ++block) {
    const std::uint8_t id = case_data::kLowercaseBlockIndex[block];
    if (changes[id] == 0) {
      const auto& deltas = case_data::kLowercaseBlocks[id];
      changes[id] =
          std::any_of(deltas, deltas + block_size, [](std::uint16_t d) { return d != 0; }) ? 1 : -1;
    }
    if (changes[id] < 0) continue;
    for (std::size_t k = 0; k < block_size; ++k) {
      const auto c = static_cast<char32_t>((block << kBlockShift) | k);
      const char32_t lower = simple_lowercase(c);
      if (lower != c) pairs.emplace_back(lower, c);
    }
  }
  // A capital sigma that ends a word lowercases to final sigma.
  pairs.emplace_back(char32_t{0x03C2}, char32_t{0x03A3});
  std::sort(pairs.begin(), pairs.end());
  Inverse inverse;
  inverse.results.reserve(pairs.size());
  inverse.sources.reserve(pairs.size());
  for (const auto& [result, source] : pairs) {
    inverse.results.push_back(result);
    inverse.sources.push_back(source);
  }
  return inverse;
}

}  // namespace

std::span<const char32_t> lowercase_sources(char32_t c) noexcept {
  static const Inverse inverse = make_inverse();
  const auto [first, last] = std::equal_range(inverse.results.begin(), inverse.results.end(), c);
  const auto at = static_cast<std::size_t>(first - inverse.results.begin());
  return {inverse.sources.data() + at, static_cast<std::size_t>(last - first)};
}

}  // namespace corvane::scoring
