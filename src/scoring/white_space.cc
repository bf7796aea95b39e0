#include "white_space.h"

#include "utf8.h"

namespace corvane::scoring {

std::string_view trim_white_space(std::string_view text) noexcept {
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t n = white_space_length_at(text, begin);
    if (n == 0) break;
    begin += n;
  }
  std::size_t end = text.size();
  while (end > begin) {
    const std::size_t start = end - decode_before(text, end).length;
    if (white_space_length_at(text, start) == 0) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

void split_words(std::string_view text, Vector<std::string_view>& words) {
  std::size_t i = 0;
  std::size_t word_start = 0;
  bool in_word = false;
  while (i < text.size()) {
    const std::size_t space = white_space_length_at(text, i);
    if (space != 0) {
      if (in_word) words.push_back(text.substr(word_start, i - word_start));
      in_word = false;
      i += space;
      continue;
    }
    if (!in_word) {
      word_start = i;
      in_word = true;
    }
    i += utf8_sequence_length(static_cast<unsigned char>(text[i]));
  }
  if (in_word) words.push_back(text.substr(word_start));
}

}  // namespace corvane::scoring
