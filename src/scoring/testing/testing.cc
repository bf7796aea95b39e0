#include "scoring/testing/testing.h"

#include <cstring>

#include "scoring/lexical_score.h"
#include "scoring/lowercase/to_lower_full.h"
#include "scoring/search/contains_text.h"
#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/sigma_context.h"
#include "scoring/unicode/utf8.h"
#include "scoring/unicode/white_space.h"

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

bool contains_text(std::string_view haystack, std::string_view needle) noexcept {
  return Needle(needle).found_in(haystack);
}

bool is_cased(char32_t c) noexcept {
  return (case_data::properties_of(c) & case_data::kCasedBit) != 0;
}

bool is_case_ignorable(char32_t c) noexcept {
  return (case_data::properties_of(c) & case_data::kCaseIgnorableBit) != 0;
}

bool sigma_ascii_letter(unsigned char b) noexcept { return (b | 0x20) >= 'a' && (b | 0x20) <= 'z'; }

bool sigma_ascii_break(unsigned char b) noexcept {
  return (kSigmaBreakHigh[b >> 4] & kSigmaBreakLow[b & 15]) != 0;
}

std::vector<std::u32string> lowered_code_point_words(std::string_view query) {
  Vector<std::string_view> words;
  split_words(query, words);
  std::vector<std::u32string> lowered;
  for (const std::string_view word : words) {
    const Text bytes = to_lower_full(word);
    std::u32string code_points(bytes.size(), U'\0');
    code_points.resize(decode_code_points(bytes, code_points.data()));
    lowered.push_back(std::move(code_points));
  }
  return lowered;
}

Units::Units(std::string_view utf8, std::size_t width) {
  std::vector<char32_t> code_points(utf8.size());
  code_points.resize(decode_code_points(utf8, code_points.data()));
  for (const char32_t c : code_points) {
    if (c > 0xFF && width < 2) width = 2;
    if (c > 0xFFFF) width = 4;
  }
  bytes.resize(code_points.size() * width + 1);
  for (std::size_t k = 0; k < code_points.size(); ++k) {
    std::memcpy(bytes.data() + k * width, &code_points[k], width);  // little-endian
  }
  text = {bytes.data(), code_points.size(), width};
}

}  // namespace corvane::scoring
