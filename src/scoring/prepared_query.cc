#include "scoring/prepared_query.h"

#include <algorithm>
#include <variant>

#include "scoring/arch/prefetch.h"
#include "scoring/short_input_score.h"
#include "scoring/short_units_score.h"
#include "scoring/transcode/fixed_width_text.h"
#include "scoring/unicode/utf8.h"

namespace corvane::scoring {

std::expected<PreparedQuery, ScoreError> PreparedQuery::make(std::string_view query) {
  PreparedQuery prepared;
  prepared.short_input_ = kernels().short_input_prepared_hits;
  prepared.short_units_ = kernels().short_units_hits;
  prepared.keep_short_low_bytes_ = kernels().keep_short_low_bytes;
  prepared.short_pair_starts_ = kernels().short_pair_starts;
  prepared.lowered_.resize(lowered_words_bound(query.size()));
  // The needles view the pool, which keeps its place from here on.
  for_each_lowered_word(query, prepared.lowered_.data(), [&](std::string_view word) {
    prepared.needles_.emplace_back(word);
    prepared.lowered_words_.push_back(word);
    if (word.size() > prepared.longest_) prepared.longest_ = word.size();
  });
  if (prepared.needles_.empty()) {
    return std::unexpected(ScoreError::invalid_input("query cannot be empty"));
  }
  // Lowercased words have no more code points than bytes, so the pool is
  // sized once and the views into it stay put.
  prepared.code_points_.resize(lowered_words_bound(query.size()));
  std::size_t used = 0;
  for (const std::string_view word : prepared.lowered_words_) {
    char32_t* const at = prepared.code_points_.data() + used;
    const std::size_t n = decode_code_points(word, at);
    prepared.code_point_words_.emplace_back(at, n);
    used += n;
  }
  prepared.ascii_words_ = words_are_ascii(prepared.code_point_words_);
  for (const std::u32string_view word : prepared.code_point_words_) {
    const auto anchored = UnitWord::make(word);
    if (!anchored) {
      prepared.unit_words_.clear();
      break;
    }
    prepared.unit_words_.push_back(*anchored);
  }
  prepared.short_by_anchors_ = prepared.keep_short_low_bytes_ != nullptr &&
                               !prepared.unit_words_.empty() &&
                               std::ranges::all_of(prepared.unit_words_, [](const UnitWord& word) {
                                 return word.word[word.anchor] >= 0x80 &&
                                        word.word[word.anchor + word.pair.distance] >= 0x80;
                               });
  return prepared;
}

// Each form's short path, a short text scored in registers against the
// words as prepared (or nothing where that does not serve), and then its
// search. Inline down to the searches: a run's loop reaches them through
// `score_if_readable` for every text.
inline float PreparedQuery::short_utf8(std::string_view text) const noexcept {
  if (short_input_ == nullptr || text.size() > kShortInputBytes) return kNoScore;
  const auto counts = short_input_(text, lowered_words_, to_lower_full_into);
  if (!counts) return kNoScore;
  return hit_ratio(counts->hits, counts->words);
}

inline float PreparedQuery::short_units(const FixedWidthText& units) const noexcept {
  if (units.length > kShortInputUnits) return kNoScore;
  // The text is not lowercased where the anchors serve: only the few places
  // they leave are.
  if (short_by_anchors_) {
    if (const auto hits = count_words_in_short_units(keep_short_low_bytes_, short_pair_starts_,
                                                     units, unit_words_)) {
      return hit_ratio(*hits, word_count());
    }
  }
  if (short_units_ == nullptr) return kNoScore;
  const auto counts =
      short_units_(units.data, units.length, units.width, code_point_words_, ascii_words_);
  if (!counts) return kNoScore;
  return hit_ratio(counts->hits, counts->words);
}

inline float PreparedQuery::score_utf8(std::string_view text) const noexcept {
  if (const float score = short_utf8(text); score >= 0.0f) return score;
  return search_utf8(text);
}

float PreparedQuery::search_utf8(std::string_view text) const noexcept {
  return hit_ratio(find_words(text, words(), nullptr), word_count());
}

inline float PreparedQuery::score_units(const FixedWidthText& units) const noexcept {
  if (const float score = short_units(units); score >= 0.0f) return score;
  return search_units(units);
}

float PreparedQuery::search_units(const FixedWidthText& units) const noexcept {
  // The general search finds a surrogate as it goes; the others need it
  // found first.
  if (units.width > 1 && (!unit_words_.empty() || units.length <= kShortInputBytes) &&
      holds_surrogate(units)) {
    return kNoScore;
  }
  // Text of code points is searched as it is where every word has anchors.
  if (!unit_words_.empty()) {
    if (const auto hits = count_words_in_units(units, unit_words_)) {
      return hit_ratio(*hits, word_count());
    }
  }
  if (units.length <= kShortInputBytes) {
    char bytes[utf8_size_bound(4, kShortInputBytes)];
    return score_utf8(std::string_view(bytes, encode_utf8_into(units, 0, units.length, bytes)));
  }
  const auto hits = find_words(units, words(), nullptr);
  if (!hits) return kNoScore;
  return hit_ratio(*hits, word_count());
}

inline float PreparedQuery::score_if_readable(const ScoreText& text) const noexcept {
  if (const auto* utf8 = std::get_if<std::string_view>(&text)) return score_utf8(*utf8);
  // A variant holds one of its two forms.
  return score_units(*std::get_if<FixedWidthText>(&text));
}

std::size_t PreparedQuery::score_each(std::span<const ScoreText> texts,
                                      float* scores) const noexcept {
  for (std::size_t k = 0; k < texts.size(); ++k) {
    if (kPrefetchNextText && k + 1 < texts.size()) {
      const ScoreText& next = texts[k + 1];
      prefetch_lines(text_start(next), std::min(text_bytes(next), kBytesAhead));
    }
    const float score = score_if_readable(texts[k]);
    if (score < 0.0f) return k;
    scores[k] = score;
  }
  return texts.size();
}

std::expected<float, ScoreError> PreparedQuery::score(const ScoreText& text) const {
  if (const float score = score_if_readable(text); score >= 0.0f) return score;
  return std::unexpected(ScoreError::surrogate_in_text());
}

std::expected<std::uint64_t, ScoreError> PreparedQuery::match(const ScoreText& text,
                                                              std::span<bool> found) const {
  if (const auto* utf8 = std::get_if<std::string_view>(&text)) {
    return find_words(*utf8, words(), found.data());
  }
  return find_words(std::get<FixedWidthText>(text), words(), found.data());
}

}  // namespace corvane::scoring
