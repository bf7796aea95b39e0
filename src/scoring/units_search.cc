#include "scoring/units_search.h"

#include <algorithm>
#include <array>
#include <bit>

#include "scoring/arch/kernel_table.h"
#include "scoring/search/byte_frequency.h"
#include "scoring/transcode/units.h"
#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/final_sigma.h"
#include "scoring/unicode/lowercase_sources.h"

namespace corvane::scoring {
namespace {

constexpr char32_t kCombiningDotAbove = 0x0307;

// The anchor with its unused values set to its first.
UnitAnchor repeat_first_value(UnitAnchor anchor) noexcept {
  std::fill(anchor.values + anchor.count, anchor.values + 3, anchor.values[0]);
  return anchor;
}

// The units that may lowercase to `c`, folded where two of them differ in
// one bit; nothing when more than three values are left.
std::optional<UnitAnchor> look_up_anchor(char32_t c) noexcept {
  if (c == U'i' || c == kCombiningDotAbove) return std::nullopt;
  const std::span<const char32_t> others = lowercase_sources(c);
  if (others.size() > 3) return std::nullopt;
  char32_t sources[4] = {c};
  std::copy(others.begin(), others.end(), sources + 1);
  const std::size_t n = others.size() + 1;
  UnitAnchor anchor{0, {}, 0};
  for (std::size_t x = 0; x < n && anchor.fold == 0; ++x) {
    for (std::size_t y = x + 1; y < n; ++y) {
      if (std::has_single_bit(static_cast<std::uint32_t>(sources[x] ^ sources[y]))) {
        anchor.fold = sources[x] ^ sources[y];
        break;
      }
    }
  }
  for (std::size_t k = 0; k < n; ++k) {
    const char32_t value = sources[k] | anchor.fold;
    if (std::find(anchor.values, anchor.values + anchor.count, value) !=
        anchor.values + anchor.count) {
      continue;
    }
    if (anchor.count == 3) return std::nullopt;
    anchor.values[anchor.count++] = value;
  }
  return repeat_first_value(anchor);
}

// The same, with the ASCII code points' anchors looked up once: most
// words of most queries are made of them.
std::optional<UnitAnchor> anchor_for(char32_t c) noexcept {
  if (c >= 0x80) return look_up_anchor(c);
  static const auto ascii = [] {
    std::array<std::optional<UnitAnchor>, 0x80> anchors;
    for (char32_t a = 0; a < 0x80; ++a) anchors[a] = look_up_anchor(a);
    return anchors;
  }();
  return ascii[c];
}

// A capital sigma's context is read at most this far on each side before
// the check gives up.
constexpr std::size_t kSigmaContext = 64;

template <class Unit>
struct Check {
  const Unit* units;
  std::size_t length;
  const UnitWord* word;
  // Units the checks of this word may still read; none left gives up.
  std::size_t budget;
  bool gave_up = false;

  // Unit j lowercased, but for U+0130; nothing when the budget ran out.
  std::optional<char32_t> lowered(std::size_t j) noexcept {
    const char32_t c = units[j];
    if (c != kCapitalSigma) return simple_lowercase(c);
    std::size_t before = j;
    std::size_t after = j + 1;
    std::size_t steps = 0;
    bool over = false;
    // Past the limit, a space ends the reading; the answer is then dropped.
    const auto step = [&](std::size_t at) -> char32_t {
      if (++steps > 2 * kSigmaContext) {
        over = true;
        return U' ';
      }
      return units[at];
    };
    const bool final = final_sigma_rule([&] { return before == 0 ? kNoCodePoint : step(--before); },
                                        [&] {
                                          if (after >= length) return kNoCodePoint;
                                          return step(after++);
                                        });
    if (over || steps > budget) return std::nullopt;
    budget -= steps;
    return final ? char32_t{0x03C2} : char32_t{0x03C3};
  }

  UnitCheck at(std::size_t start) noexcept {
    const std::u32string_view w = word->word;
    // The word from its anchor on, then the part before it backwards.
    std::size_t i = word->anchor;
    for (std::size_t j = start; i < w.size(); ++j) {
      if (j >= length) return UnitCheck::Rejected;
      if (budget == 0) return give_up();
      --budget;
      if (units[j] == kDottedCapitalI) {
        // U+0069 U+0307, the word ending after the first of them or not.
        if (w[i] != U'i' || (i + 1 < w.size() && w[i + 1] != kCombiningDotAbove)) {
          return UnitCheck::Rejected;
        }
        i += 2;
        continue;
      }
      const auto lower = lowered(j);
      if (!lower) return give_up();
      if (*lower != w[i]) return UnitCheck::Rejected;
      ++i;
    }
    i = word->anchor;
    for (std::size_t j = start; i > 0;) {
      if (j == 0) return UnitCheck::Rejected;
      --j;
      if (budget == 0) return give_up();
      --budget;
      if (units[j] == kDottedCapitalI) {
        // The same two code points read backwards, the word starting at
        // the second of them or not.
        if (w[i - 1] != kCombiningDotAbove || (i >= 2 && w[i - 2] != U'i')) {
          return UnitCheck::Rejected;
        }
        i = i >= 2 ? i - 2 : 0;
        continue;
      }
      const auto lower = lowered(j);
      if (!lower) return give_up();
      if (*lower != w[i - 1]) return UnitCheck::Rejected;
      --i;
    }
    return UnitCheck::Found;
  }

  UnitCheck give_up() noexcept {
    gave_up = true;
    return UnitCheck::GiveUp;
  }

  static UnitCheck call(void* context, std::size_t start) noexcept {
    return static_cast<Check*>(context)->at(start);
  }
};

// Texts of wider units up to this long are searched by their low bytes:
// a copy on the stack.
constexpr std::size_t kLowBytesUnits = 8192;

// An anchor for the low bytes of units: a unit u with (u | fold) == v has
// (low(u) | low(fold)) == low(v), so the low bytes admit every unit the
// anchor does, and a few more that the check rules out.
UnitAnchor low_bytes_of(const UnitAnchor& anchor) noexcept {
  UnitAnchor low{anchor.fold & 0xFF, {}, 0};
  for (std::size_t k = 0; k < anchor.count; ++k) {
    const char32_t value = anchor.values[k] & 0xFF;
    if (std::find(low.values, low.values + low.count, value) == low.values + low.count) {
      low.values[low.count++] = value;
    }
  }
  return repeat_first_value(low);
}

UnitPair low_bytes_of(const UnitPair& pair) noexcept {
  return {low_bytes_of(pair.first), low_bytes_of(pair.second), pair.distance};
}

}  // namespace

std::optional<UnitWord> UnitWord::make(std::u32string_view word) noexcept {
  // The two rarest code points fit to anchor the word, by the rank of
  // their byte in English text for ASCII and a middle rank for the rest;
  // of equals, the first, and then the one farthest from it. Between two
  // anchors the text has as many units as the word has code points, unless
  // a U+0130 there stands for two of them, which needs a U+0307 in the word:
  // such a word has one anchor. A code point's anchor is looked up only
  // where it would be chosen: most of a word's code points lose on their
  // rank or their distance alone, and a query is prepared for every call
  // of the scoring function.
  const auto rank = [](char32_t c) { return c < 0x80 ? kByteFrequencyRank[c] : 128; };
  std::size_t rarest = 0;
  std::optional<UnitAnchor> rarest_anchor;
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (rarest_anchor && rank(word[k]) >= rank(word[rarest])) continue;
    if (const auto anchor = anchor_for(word[k])) {
      rarest = k;
      rarest_anchor = anchor;
    }
  }
  if (!rarest_anchor) return std::nullopt;
  std::size_t other = rarest;
  std::optional<UnitAnchor> other_anchor;
  if (word.find(kCombiningDotAbove) == std::u32string_view::npos) {
    // Best is the lowest rank, then the farthest from the rarest, then the
    // first. The code points are visited farthest first, so that of equal
    // ranks the first fit one found wins and the others need no lookup.
    const auto better = [&](std::size_t k) {
      if (!other_anchor || rank(word[k]) != rank(word[other])) {
        return !other_anchor || rank(word[k]) < rank(word[other]);
      }
      const std::size_t k_apart = k > rarest ? k - rarest : rarest - k;
      const std::size_t other_apart = other > rarest ? other - rarest : rarest - other;
      return k_apart != other_apart ? k_apart > other_apart : k < other;
    };
    const auto visit = [&](std::size_t k) {
      if (!better(k)) return;
      if (const auto anchor = anchor_for(word[k])) {
        other = k;
        other_anchor = anchor;
      }
    };
    for (std::size_t apart = std::max(rarest, word.size() - 1 - rarest); apart > 0; --apart) {
      if (apart <= rarest) visit(rarest - apart);
      if (rarest + apart < word.size()) visit(rarest + apart);
    }
  }
  if (!other_anchor) other_anchor = rarest_anchor;
  const bool rarest_first = rarest <= other;
  const UnitPair pair{rarest_first ? *rarest_anchor : *other_anchor,
                      rarest_first ? *other_anchor : *rarest_anchor,
                      rarest_first ? other - rarest : rarest - other};
  return UnitWord{word, std::min(rarest, other), pair, low_bytes_of(pair)};
}

bool can_search_units() noexcept { return kernels().find_unit_pair != nullptr; }

std::optional<std::uint64_t> count_words_in_units(const FixedWidthText& text,
                                                  std::span<const UnitWord> words) noexcept {
  FindUnitPair* const find = kernels().find_unit_pair;
  if (find == nullptr) return std::nullopt;
  return count_words_in_units(find, kernels().keep_low_bytes, text, words);
}

std::optional<std::uint64_t> count_words_in_units(FindUnitPair* find, KeepLowBytes* keep_low_bytes,
                                                  const FixedWidthText& text,
                                                  std::span<const UnitWord> words) noexcept {
  return with_units(text, [&](const auto* units) -> std::optional<std::uint64_t> {
    using Unit = std::remove_cv_t<std::remove_pointer_t<decltype(units)>>;
    // Wider units are searched by their low bytes, kept once for all the
    // words: a vector holds two or four times as many of them as of units.
    // The starts found are checked on the units themselves.
    unsigned char low[kLowBytesUnits];
    const bool by_low_bytes =
        sizeof(Unit) > 1 && keep_low_bytes != nullptr && text.length <= kLowBytesUnits;
    if (by_low_bytes) keep_low_bytes(units, text.length, text.width, low);
    std::uint64_t hits = 0;
    for (const UnitWord& word : words) {
      // Both anchors must fit in the text.
      if (word.pair.distance >= text.length) continue;
      Check<Unit> check{units, text.length, &word, 4 * text.length + 64};
      const std::size_t start =
          by_low_bytes
              ? find(low, text.length, 1, word.low_pair, &Check<Unit>::call, &check)
              : find(units, text.length, text.width, word.pair, &Check<Unit>::call, &check);
      if (check.gave_up) return std::nullopt;
      if (start < text.length - word.pair.distance) ++hits;
    }
    return hits;
  });
}

std::optional<std::uint64_t> count_words_in_short_units(KeepShortLowBytes* keep,
                                                        ShortPairStarts* starts,
                                                        const FixedWidthText& text,
                                                        std::span<const UnitWord> words) noexcept {
  alignas(64) unsigned char low[kShortInputUnits];
  if (!keep(text.data, text.length, text.width, low)) return std::nullopt;
  return with_units(text, [&](const auto* units) -> std::optional<std::uint64_t> {
    using Unit = std::remove_cv_t<std::remove_pointer_t<decltype(units)>>;
    std::uint64_t hits = 0;
    for (const UnitWord& word : words) {
      std::uint64_t left = starts(low, text.length, word.low_pair);
      if (left == 0) continue;
      Check<Unit> check{units, text.length, &word, 4 * text.length + 64};
      for (; left != 0; left &= left - 1) {
        const UnitCheck found = check.at(static_cast<std::size_t>(std::countr_zero(left)));
        if (found == UnitCheck::GiveUp) return std::nullopt;
        if (found == UnitCheck::Found) {
          ++hits;
          break;
        }
      }
    }
    return hits;
  });
}

}  // namespace corvane::scoring
