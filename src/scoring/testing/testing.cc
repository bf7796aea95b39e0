#include "scoring/testing/testing.h"

#include "scoring/lexical_score.h"
#include "scoring/unicode/to_lower_full.h"
#include "scoring/white_space.h"

namespace corvane::scoring {

void split_words(std::string_view text, Vector<std::string_view>& words) {
  for_each_word(text, [&](std::string_view word) { words.push_back(word); });
}

Text to_lower_full(std::string_view text) {
  Text lowered;
  lowered.resize_and_overwrite(
      lowered_size_bound(text.size()),
      [&](char* out, std::size_t) noexcept { return to_lower_full_into(text, out); });
  return lowered;
}

float word_hit_ratio(std::string_view text, std::string_view query) {
  if (trim_white_space(query).empty()) return 0.0f;
  return *compute_lexical_score(text, query);
}

}  // namespace corvane::scoring
