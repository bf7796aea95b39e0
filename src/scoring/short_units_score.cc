#include "scoring/short_units_score.h"

#include "scoring/arch/kernel_table.h"
#include "scoring/transcode/units.h"
#include "scoring/unicode/final_sigma.h"
#include "scoring/unicode/utf8.h"
#include "scoring/unicode/white_space.h"

namespace corvane::scoring {

namespace {

// The words of a query of at most kShortInputUnits code points, each
// lowercased by itself by the full rules straight from code points: the
// simple mappings, U+0130's two, and a capital sigma by Final_Sigma within
// its word. Room for every code point twice, and a word for every other.
struct QueryWords {
  char32_t lowered[2 * kShortInputUnits];
  std::u32string_view words[kShortInputUnits / 2 + 1];
  std::size_t count = 0;
  bool ascii = true;  // every code point of every word

  explicit QueryWords(const char32_t* query, std::size_t length) noexcept {
    std::size_t used = 0;
    for (std::size_t i = 0; i < length;) {
      if (is_white_space(query[i])) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < length && !is_white_space(query[end])) ++end;
      const char32_t* word = query + i;
      const std::size_t size = end - i;
      char32_t* out = lowered + used;
      std::size_t n = 0;
      char32_t seen = 0;
      for (std::size_t j = 0; j < size; ++j) {
        const char32_t c = word[j];
        char32_t lower = c;
        // ASCII is lowercased in place, without the tables (a branch that
        // a query's words of one script take alike). Gating the rest on
        // the quick test of may_lowercase.h cost Greek queries a tenth: the
        // capitals among their letters made that branch a guess.
        if (c < 0x80) {
          if (c - U'A' < 26) lower = c + 0x20;
        } else if (c == kDottedCapitalI) {
          out[n++] = U'i';
          lower = 0x0307;
        } else {
          lower = lowercase_at(word, size, j);
        }
        out[n++] = lower;
        seen |= lower;
      }
      ascii = ascii && seen < 0x80;
      words[count++] = std::u32string_view(out, n);
      used += n;
      i = end;
    }
  }
};

std::optional<ShortWordHits> hits_for(const FixedWidthText& text, const char32_t* query,
                                      std::size_t length) noexcept {
  ShortUnitsHits* const hits = kernels().short_units_hits;
  if (hits == nullptr) return std::nullopt;
  const QueryWords words(query, length);
  if (words.count == 0) return ShortWordHits{0, 0};
  return hits(text.data, text.length, text.width,
              std::span<const std::u32string_view>(words.words, words.count), words.ascii);
}

template <class Unit>
std::optional<ShortWordHits> hits_for(const FixedWidthText& text, const Unit* query,
                                      std::size_t length) noexcept {
  char32_t code_points[kShortInputUnits];
  for (std::size_t i = 0; i < length; ++i) code_points[i] = query[i];
  return hits_for(text, code_points, length);
}

}  // namespace

std::optional<ShortWordHits> short_units_hits(const FixedWidthText& text,
                                              std::string_view query) noexcept {
  char32_t code_points[kShortInputBytes];
  return hits_for(text, code_points, decode_code_points(query, code_points));
}

std::optional<ShortWordHits> short_units_hits(const FixedWidthText& text,
                                              const FixedWidthText& query) noexcept {
  return with_units(query, [&](const auto* units) { return hits_for(text, units, query.length); });
}

}  // namespace corvane::scoring
