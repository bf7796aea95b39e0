// Decoding of well-formed UTF-8.
//
// Contract: the input is well-formed UTF-8 of Unicode scalar values (the
// scoring core's text invariant); nothing here validates it. `decode_at`
// reads the code point that starts at byte `i`; `decode_before` the one that
// ends just before byte `i`. Both give the code point and its byte length.
// `decode_code_points` decodes a whole text.
#pragma once

#include <cstddef>
#include <string_view>

namespace corvane::scoring {

struct Decoded {
  char32_t code_point;
  std::size_t length;
};

// Byte length of the sequence that starts with `lead`.
constexpr std::size_t utf8_sequence_length(unsigned char lead) noexcept {
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

constexpr Decoded decode_at(std::string_view text, std::size_t i) noexcept {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char lead = b(0);
  if (lead < 0x80) return {lead, 1};
  if (lead < 0xE0) return {(char32_t{lead & 0x1Fu} << 6) | (b(1) & 0x3Fu), 2};
  if (lead < 0xF0) {
    return {(char32_t{lead & 0x0Fu} << 12) | (char32_t{b(1) & 0x3Fu} << 6) | (b(2) & 0x3Fu), 3};
  }
  return {(char32_t{lead & 0x07u} << 18) | (char32_t{b(1) & 0x3Fu} << 12) |
              (char32_t{b(2) & 0x3Fu} << 6) | (b(3) & 0x3Fu),
          4};
}

constexpr Decoded decode_before(std::string_view text, std::size_t i) noexcept {
  std::size_t start = i - 1;
  while ((static_cast<unsigned char>(text[start]) & 0xC0u) == 0x80u) --start;
  return decode_at(text, start);
}

// The code points of `text` into `out`, which holds text.size() of them;
// gives how many.
constexpr std::size_t decode_code_points(std::string_view text, char32_t* out) noexcept {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Decoded d = decode_at(text, i);
    out[count++] = d.code_point;
    i += d.length;
  }
  return count;
}

// Appends the UTF-8 form of `cp` at `out` and returns the end.
constexpr char* encode_utf8(char32_t cp, char* out) noexcept {
  if (cp < 0x80) {
    *out++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out++ = static_cast<char>(0xC0 | (cp >> 6));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (cp >> 12));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (cp >> 18));
    *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

}  // namespace corvane::scoring
