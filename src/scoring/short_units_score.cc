#include "scoring/short_units_score.h"

#include "scoring/arch/kernel_table.h"
#include "scoring/lowercase/to_lower_full.h"
#include "scoring/unicode/utf8.h"
#include "scoring/unicode/white_space.h"

namespace corvane::scoring {

std::size_t decode_code_points(std::string_view text, char32_t* out) noexcept {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Decoded d = decode_at(text, i);
    out[count++] = d.code_point;
    i += d.length;
  }
  return count;
}

std::optional<ShortWordHits> short_units_prepared_hits(
    const FixedWidthText& text, std::span<const std::u32string_view> words) noexcept {
  ShortUnitsHits* const hits = kernels().short_units_hits;
  if (hits == nullptr) return std::nullopt;
  return hits(text.data, text.length, text.width, words);
}

std::optional<ShortWordHits> short_units_hits(const FixedWidthText& text,
                                              std::string_view query) noexcept {
  ShortUnitsHits* const hits = kernels().short_units_hits;
  if (hits == nullptr) return std::nullopt;
  // Each word lowercased by itself, then as code points: a query of
  // kShortInputBytes bytes has at most half as many words plus one, and
  // lowercases to no more code points than it has bytes (only U+0130, of
  // two bytes, gives two).
  char lowered[lowered_size_bound(kShortInputBytes)];
  char32_t code_points[kShortInputBytes];
  std::u32string_view words[kShortInputBytes / 2 + 1];
  std::size_t count = 0;
  std::size_t used = 0;
  for_each_word(query, [&](std::string_view word) {
    const std::size_t size = to_lower_full_into(word, lowered);
    const std::size_t n = decode_code_points(std::string_view(lowered, size), code_points + used);
    words[count++] = std::u32string_view(code_points + used, n);
    used += n;
  });
  if (count == 0) return ShortWordHits{0, 0};
  return hits(text.data, text.length, text.width,
              std::span<const std::u32string_view>(words, count));
}

}  // namespace corvane::scoring
