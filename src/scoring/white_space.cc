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
  for_each_word(text, [&](std::string_view word) { words.push_back(word); });
}

}  // namespace corvane::scoring
