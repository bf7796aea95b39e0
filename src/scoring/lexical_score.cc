#include "lexical_score.h"

#include <cstdint>

#include "contains_text.h"
#include "to_lower_full.h"
#include "white_space.h"

namespace corvane::scoring {

std::expected<float, ScoreError> compute_lexical_score(std::string_view text,
                                                       std::string_view query) {
  if (trim_white_space(query).empty()) {
    return std::unexpected(ScoreError::invalid_input("query cannot be empty"));
  }
  return word_hit_ratio(text, query);
}

float word_hit_ratio(std::string_view text, std::string_view query) {
  Vector<std::string_view> words;
  split_words(query, words);
  if (words.empty()) return 0.0f;

  const Text lowered_text = to_lower_full(text);
  std::uint64_t hits = 0;
  for (const std::string_view word : words) {
    const Text lowered_word = to_lower_full(word);
    if (contains_text(lowered_text, lowered_word)) ++hits;
  }
  const std::uint64_t count = words.size();
  return static_cast<float>(hits) / static_cast<float>(count);
}

}  // namespace corvane::scoring
