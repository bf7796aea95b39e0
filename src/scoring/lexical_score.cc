#include "scoring/lexical_score.h"

#include <cstdint>
#include <memory>

#include "base/small_buffer.h"
#include "scoring/search/contains_text.h"
#include "scoring/short_input_score.h"
#include "scoring/short_units_score.h"
#include "scoring/transcode/fixed_width_text.h"
#include "scoring/unicode/utf8.h"
#include "scoring/unicode/white_space.h"
#include "scoring/units_search.h"
#include "scoring/word_search.h"

namespace corvane::scoring {
namespace {

// The hit ratio of a query with words, for inputs that the short path has
// left over: each word lowercased once, by itself, into one pool and
// prepared for searching once, in one pass over the query, then the text
// searched a piece at a time (scoring/word_search.h). `Text` is UTF-8 or
// fixed-width text.
template <class Text>
auto words_hit_ratio(const Text& text, std::string_view query) {
  SmallBuffer<Needle, 16> needles;
  SmallBuffer<char, 256> pool;
  // The pool does not move once filled: the needles view it.
  char* lowered = pool.grow(lowered_words_bound(query.size()));
  std::size_t count = 0;
  std::size_t longest = 0;
  for_each_lowered_word(query, lowered, [&](std::string_view word) {
    std::construct_at(needles.grow(count + 1, count) + count, word);
    ++count;
    if (word.size() > longest) longest = word.size();
  });
  const WordSet words{std::span<const Needle>(needles.data(), count), longest};
  if constexpr (std::is_same_v<Text, std::string_view>) {
    return count == 0 ? 0.0f : hit_ratio(find_words(text, words, nullptr), count);
  } else {
    return find_words(text, words, nullptr).transform([&](std::uint64_t hits) {
      return count == 0 ? 0.0f : hit_ratio(hits, count);
    });
  }
}

// Text of code points from this many units is searched in its units. The
// words' anchors cost a few hundred nanoseconds a query to prepare, which
// shorter texts do not repay: they are turned into UTF-8 faster, one-byte
// units fastest (measured on x86-64 with AVX-512, Greek, Chinese, emoji
// and typographic English gaining from about 700 to 1,900 units of two or
// four bytes, French from about 3,500 of one byte).
constexpr std::size_t units_search_from(std::size_t width) noexcept {
  return width == 1 ? 4096 : 2048;
}

// The hit ratio of a query with words for a text of code points, searched
// in its units where every word has anchors (scoring/units_search.h): the
// text is neither transcoded nor lowercased, only the places the anchors
// leave are checked. Elsewhere, and where the checks give up, the text is
// searched a piece at a time as UTF-8.
std::expected<float, ScoreError> units_hit_ratio(const FixedWidthText& text,
                                                 std::string_view query) {
  SmallBuffer<char, 256> pool;
  SmallBuffer<char32_t, 256> code_points;
  SmallBuffer<UnitWord, 16> words;
  // Lowercased words have no more code points than bytes: the views into
  // the code points stay put.
  char* lowered = pool.grow(lowered_words_bound(query.size()));
  char32_t* at = code_points.grow(lowered_words_bound(query.size()));
  std::size_t count = 0;
  bool anchored = true;
  for_each_lowered_word(query, lowered, [&](std::string_view word) {
    if (!anchored) return;
    const std::size_t length = decode_code_points(word, at);
    const auto unit_word = UnitWord::make(std::u32string_view(at, length));
    if (!unit_word) {
      anchored = false;
      return;
    }
    std::construct_at(words.grow(count + 1, count) + count, *unit_word);
    ++count;
    at += length;
  });
  if (anchored) {
    // The search in units needs the surrogate found first.
    if (text.width > 1 && holds_surrogate(text)) {
      return std::unexpected(ScoreError::surrogate_in_text());
    }
    const auto hits = count_words_in_units(text, std::span<const UnitWord>(words.data(), count));
    if (hits) return hit_ratio(*hits, count);
  }
  return words_hit_ratio(text, query);
}

// The query refused when it has no word (without looking at the text).
bool refused(std::string_view query) noexcept { return trim_white_space(query).empty(); }

ScoreError empty_query() { return ScoreError::invalid_input("query cannot be empty"); }

}  // namespace

std::expected<float, ScoreError> compute_lexical_score_in_general(std::string_view text,
                                                                  std::string_view query) {
  if (refused(query)) return std::unexpected(empty_query());
  return words_hit_ratio(text, query);
}

std::expected<float, ScoreError> compute_lexical_score_any_form(const ScoreText& text,
                                                                const ScoreText& query) {
  // A short text of code points is scored in them, the query as it comes.
  // A surrogate in the text, or a query without words, leaves it to the
  // checks below.
  if (const auto* units = std::get_if<FixedWidthText>(&text)) {
    const auto counts = std::visit(
        [&](const auto& form) -> std::optional<ShortWordHits> {
          if (!fits_short_units(*units, form)) return std::nullopt;
          return short_units_hits(*units, form);
        },
        query);
    if (counts && counts->words != 0) return hit_ratio(counts->hits, counts->words);
  }
  // The query as UTF-8: a query is short, so it is converted whole.
  SmallBuffer<char, 256> query_bytes;
  std::string_view query_utf8;
  if (const auto* utf8 = std::get_if<std::string_view>(&query)) {
    query_utf8 = *utf8;
  } else {
    const auto& units = std::get<FixedWidthText>(query);
    char* out = query_bytes.grow(utf8_size_bound(units.width, units.length));
    query_utf8 = std::string_view(out, encode_utf8_into(units, 0, units.length, out));
  }
  if (const auto* utf8 = std::get_if<std::string_view>(&text)) {
    return compute_lexical_score(*utf8, query_utf8);
  }
  const auto& units = std::get<FixedWidthText>(text);
  // A surrogate in the text is found before the query is refused and before
  // any score is given: a short text, or one with a query to refuse, is
  // scanned whole first; a longer one piece by piece as it is scored, and
  // what a score that ends early leaves unread, after it.
  if (units.length <= kShortInputBytes || refused(query_utf8)) {
    if (holds_surrogate(units)) return std::unexpected(ScoreError::surrogate_in_text());
  }
  // A short text is converted whole, so that the short path can take it.
  if (units.length <= kShortInputBytes) {
    char bytes[utf8_size_bound(4, kShortInputBytes)];
    return compute_lexical_score(
        std::string_view(bytes, encode_utf8_into(units, 0, units.length, bytes)), query_utf8);
  }
  if (refused(query_utf8)) return std::unexpected(empty_query());
  if (units.length < units_search_from(units.width) || !can_search_units()) {
    return words_hit_ratio(units, query_utf8);
  }
  return units_hit_ratio(units, query_utf8);
}

}  // namespace corvane::scoring
