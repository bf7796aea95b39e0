// What the vector lowercase loop can tell about the code points next to a
// capital sigma without the Unicode property tables: 16-byte look-up tables
// that pick out, from one or two bytes, code points that are certainly
// cased and not case-ignorable ("letters") and ones that are certainly
// neither ("breaks"). Everything else (case-ignorables such as the
// apostrophe, full stop or combining marks, and code points these tables
// leave out) is left to sigma_ends_word.
//
// Contract: an ASCII byte b is a letter where (b | 0x20) is in 'a'..'z', and
// a break where `kSigmaBreakHigh[b >> 4] & kSigmaBreakLow[b & 15]` is not
// zero; the break tables give zero for every byte of 0x80 or more. A
// two-byte sequence (lead, cont) is a letter where
// `kSigmaLetterLead[lead - 0xC3]` (leads 0xC3..0xD2, zero for the rest) &
// `kSigmaLetterHigh[cont >> 4]` & `kSigmaLetterLow[cont & 15]` is not
// zero: Latin-1 letters U+00C0..U+00FF without U+00D7 and U+00F7, Greek
// U+0386, U+0388..U+038A, U+038C, U+038E..U+03CF without U+03A2, and
// Cyrillic U+0400..U+047F. `kSigmaLetterHigh` is zero for every byte that
// is not a continuation byte. A test checks both against the generated
// properties for every ASCII byte and two-byte code point.
// Complexity: O(1) per code point, two or three table reads.
#pragma once

#include <array>
#include <cstdint>

namespace corvane::scoring {

namespace sigma_context_detail {

using Table = std::array<unsigned char, 16>;

// A set of byte pairs (or single bytes, with one lead) given as a product:
// leads (one bit per lead), continuation high and low nibbles.
struct Product {
  std::uint32_t leads;
  std::uint16_t high_nibbles;
  std::uint16_t low_nibbles;
};

template <std::size_t N>
constexpr Table lead_table(const Product (&products)[N]) {
  Table t{};
  for (std::size_t b = 0; b < N; ++b) {
    for (unsigned k = 0; k < 16; ++k) {
      if ((products[b].leads >> k) & 1u) t[k] |= static_cast<unsigned char>(1u << b);
    }
  }
  return t;
}

template <std::size_t N>
constexpr Table nibble_table(const Product (&products)[N], bool high) {
  Table t{};
  for (std::size_t b = 0; b < N; ++b) {
    const unsigned set = high ? products[b].high_nibbles : products[b].low_nibbles;
    for (unsigned k = 0; k < 16; ++k) {
      if ((set >> k) & 1u) t[k] |= static_cast<unsigned char>(1u << b);
    }
  }
  return t;
}

// Breaks among ASCII: controls, space and the punctuation, digits and
// symbols that are neither letters nor ' . : ^ `. The "lead" is unused.
inline constexpr Product kAsciiBreaks[] = {
    {1, 0x0003, 0xFFFF},  // 0x00..0x1F
    {1, 0x0004, 0xBF7F},  // 0x20..0x2F without ' and .
    {1, 0x0008, 0xFBFF},  // 0x30..0x3F without :
    {1, 0x0010, 0x0001},  // @
    {1, 0x0020, 0xB800},  // [ \ ] _
    {1, 0x0080, 0xF800},  // { | } ~ DEL
};

// Two-byte letters; lead bit k stands for lead 0xC3 + k.
constexpr std::uint32_t lead_bit(unsigned lead) { return std::uint32_t{1} << (lead - 0xC3); }
inline constexpr Product kTwoByteLetters[] = {
    {lead_bit(0xCE), 0x0100, 0xD740},  // U+0386, U+0388..U+038A, U+038C, U+038E, U+038F
    {lead_bit(0xCE) | lead_bit(0xD0) | lead_bit(0xD1), 0x0A00, 0xFFFF},  // rows 9 and B
    {lead_bit(0xCE), 0x0400, 0xFFFB},  // U+03A0..U+03AF without U+03A2
    {lead_bit(0xCF) | lead_bit(0xD0) | lead_bit(0xD1), 0x0100, 0xFFFF},  // row 8
    {lead_bit(0xD0) | lead_bit(0xD1), 0x0400, 0xFFFF},                   // row A
    {lead_bit(0xC3), 0x0500, 0xFFFF},  // U+00C0..U+00CF, U+00E0..U+00EF
    {lead_bit(0xC3), 0x0A00, 0xFF7F},  // U+00D0..U+00DF, U+00F0..U+00FF without ×, ÷
};

}  // namespace sigma_context_detail

inline constexpr sigma_context_detail::Table kSigmaBreakHigh =
    sigma_context_detail::nibble_table(sigma_context_detail::kAsciiBreaks, true);
inline constexpr sigma_context_detail::Table kSigmaBreakLow =
    sigma_context_detail::nibble_table(sigma_context_detail::kAsciiBreaks, false);
inline constexpr sigma_context_detail::Table kSigmaLetterLead =
    sigma_context_detail::lead_table(sigma_context_detail::kTwoByteLetters);
inline constexpr sigma_context_detail::Table kSigmaLetterHigh =
    sigma_context_detail::nibble_table(sigma_context_detail::kTwoByteLetters, true);
inline constexpr sigma_context_detail::Table kSigmaLetterLow =
    sigma_context_detail::nibble_table(sigma_context_detail::kTwoByteLetters, false);

static_assert(kSigmaBreakHigh[8] == 0 && kSigmaBreakHigh[15] == 0);
static_assert(kSigmaLetterHigh[0] == 0 && kSigmaLetterHigh[7] == 0 && kSigmaLetterHigh[0xC] == 0 &&
              kSigmaLetterHigh[0xF] == 0);

constexpr bool sigma_two_byte_letter(unsigned char lead, unsigned char cont) noexcept {
  if (lead < 0xC3 || lead > 0xD2) return false;
  return (kSigmaLetterLead[lead - 0xC3] & kSigmaLetterHigh[cont >> 4] &
          kSigmaLetterLow[cont & 15]) != 0;
}

}  // namespace corvane::scoring
