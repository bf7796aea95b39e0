#include "scoring/unicode/white_space.h"

#include "scoring/unicode/utf8.h"

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

}  // namespace corvane::scoring
