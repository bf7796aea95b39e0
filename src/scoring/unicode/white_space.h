// White space, trimming and words.
//
// Contract: white space is exactly the 25 code points of the Unicode
// property White_Space (U+0009-000D, 0020, 0085, 00A0, 1680, 2000-200A,
// 2028, 2029, 202F, 205F, 3000); every other code point, U+0000 and U+200B
// included, is an ordinary character. Views are byte ranges of well-formed
// UTF-8 that begin and end on code point boundaries. Trimming and splitting
// copy nothing.
#pragma once

#include <cstddef>
#include <string_view>

#include "scoring/unicode/utf8.h"

namespace corvane::scoring {

constexpr bool is_white_space(char32_t cp) noexcept {
  if (cp <= 0x20) return cp == 0x20 || (cp >= 0x09 && cp <= 0x0D);
  if (cp < 0x85) return false;
  // Most letters lie between the white space of Latin-1 and U+1680, or
  // past U+3000.
  if ((cp > 0xA0 && cp < 0x1680) || cp > 0x3000) return false;
  switch (cp) {
    case 0x0085:
    case 0x00A0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

// Byte length of the white-space code point starting at `text[i]`, or 0 when
// the code point there is not white space.
// Complexity: O(1).
constexpr std::size_t white_space_length_at(std::string_view text, std::size_t i) noexcept {
  const auto at = [&](std::size_t k) {
    return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u;
  };
  const unsigned char lead = at(0);
  if (lead < 0x80) return (lead == 0x20 || (lead >= 0x09 && lead <= 0x0D)) ? 1 : 0;
  switch (lead) {
    case 0xC2:  // U+0085, U+00A0
      return (at(1) == 0x85 || at(1) == 0xA0) ? 2 : 0;
    case 0xE1:  // U+1680
      return (at(1) == 0x9A && at(2) == 0x80) ? 3 : 0;
    case 0xE2:
      if (at(1) == 0x80) {  // U+2000-200A, U+2028, U+2029, U+202F
        const unsigned char c = at(2);
        return (c <= 0x8A || c == 0xA8 || c == 0xA9 || c == 0xAF) ? 3 : 0;
      }
      return (at(1) == 0x81 && at(2) == 0x9F) ? 3 : 0;  // U+205F
    case 0xE3:                                          // U+3000
      return (at(1) == 0x80 && at(2) == 0x80) ? 3 : 0;
    default:
      return 0;
  }
}

// `text` without its leading and trailing white space (possibly empty).
// Complexity: O(len(text)).
std::string_view trim_white_space(std::string_view text) noexcept;

// Calls `visit(word)` for each word of `text` (a maximal run of
// non-white-space code points), in order, repeats included.
// Complexity: O(len(text)).
template <class Visit>
constexpr void for_each_word(std::string_view text, Visit&& visit) {
  std::size_t i = 0;
  std::size_t word_start = 0;
  bool in_word = false;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    // Printable ASCII other than space is never white space.
    if (lead > 0x20 && lead < 0x80) {
      if (!in_word) {
        word_start = i;
        in_word = true;
      }
      ++i;
      continue;
    }
    const std::size_t space = white_space_length_at(text, i);
    if (space != 0) {
      if (in_word) visit(text.substr(word_start, i - word_start));
      in_word = false;
      i += space;
      continue;
    }
    if (!in_word) {
      word_start = i;
      in_word = true;
    }
    i += utf8_sequence_length(lead);
  }
  if (in_word) visit(text.substr(word_start));
}

}  // namespace corvane::scoring
