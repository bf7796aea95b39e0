#include "fuzz_input.h"

namespace corvane::fuzz {

CodePoints decode_lenient(std::span<const std::uint8_t> bytes) {
  constexpr char32_t replacement = 0xFFFD;
  CodePoints out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t lead = bytes[i];
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    std::size_t length = 0;
    char32_t cp = 0;
    // Bounds of the second byte; they exclude overlong forms, surrogates
    // and values beyond U+10FFFF.
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      cp = lead & 0x0Fu;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      cp = lead & 0x07u;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    }
    bool valid = length != 0 && i + length <= bytes.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const std::uint8_t b = bytes[i + k];
      const std::uint8_t lo = k == 1 ? low : 0x80;
      const std::uint8_t hi = k == 1 ? high : 0xBF;
      if (b < lo || b > hi) {
        valid = false;
      } else {
        cp = (cp << 6) | (b & 0x3Fu);
      }
    }
    if (valid) {
      out.push_back(cp);
      i += length;
    } else {
      out.push_back(replacement);
      ++i;
    }
  }
  return out;
}

Text encode_utf8(const CodePoints& code_points) {
  Text out;
  out.reserve(code_points.size() * 4);
  for (const char32_t cp : code_points) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

SplitBytes split_at(std::span<const std::uint8_t> bytes, std::uint8_t separator) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == separator) return {bytes.first(i), bytes.subspan(i + 1), true};
  }
  return {bytes, {}, false};
}

}  // namespace corvane::fuzz
