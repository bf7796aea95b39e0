// The two-byte capitals whose lowercase form is the code point plus an
// offset, in the form the vector lowercase loop tests them: four 16-byte
// look-up tables, indexed by nibbles of the lead and continuation bytes, and
// one more for the offsets of the accented Greek capitals.
//
// Contract: for a two-byte sequence (lead, cont), `case_shift_bits` is the
// AND of `kCaseShiftLeadC[lead & 15]` (leads 0xC0..0xCF) or
// `kCaseShiftLeadD[lead & 15]` (0xD0..0xDF), `kCaseShiftHigh[cont >> 4]`
// and `kCaseShiftLow[cont & 15]`. Where it is not zero, the simple
// lowercase form of the code point is the code point plus
// `case_shift_delta(bits, cont)`: 0x20, plus `bits & 0x30`, plus
// `kCaseShiftAccent[cont & 15]` where bit 0x80 is set; that moves the lead
// byte up by at most one. Where it is zero, nothing is claimed. The ranges
// covered are Latin-1 U+00C0..U+00DE without U+00D7, Greek U+0386,
// U+0388..U+038A, U+038C, U+038E..U+03AB without U+0390 and U+03A2
// (U+03A3 is claimed as U+03C3; Final_Sigma may make it U+03C2, one less),
// and Cyrillic U+0400..U+042F: the capitals of running Latin-1, Greek and
// Russian text, and for their lead bytes 0xC3, 0xCE and 0xD0 every
// sequence that lowercasing changes (`case_shift_claims_lead`).
// `kCaseShiftHigh` is zero for every byte that is not a continuation byte,
// so in well-formed text only a lane holding a two-byte lead can have bits.
// The tables are written from those ranges, not generated; a test checks
// them against the generated data for every two-byte code point.
// Complexity: O(1) per sequence, five table reads (one vector look-up each).
#pragma once

#include <array>
#include <cstdint>

#include "scoring/unicode/latin1_case.h"

namespace corvane::scoring {

// One class: a lead byte, the continuation bytes' high and low nibbles it
// takes (one bit per nibble value), and the class's bits. A class's byte
// set is the product of the three, so that ANDing the three look-ups gives
// its bits exactly on its sequences; the classes must be disjoint.
struct CaseShiftClass {
  unsigned char lead;
  std::uint16_t high_nibbles;
  std::uint16_t low_nibbles;
  unsigned char bits;
};

// Every class's offset is 0x20 plus its bits in kCaseShiftExtraBits
// (0x20 + 0x30 = 0x50), and for the class with kCaseShiftAccentBit the
// accent table's entry for the continuation's low nibble.
inline constexpr unsigned char kCaseShiftExtraBits = 0x30;
inline constexpr unsigned char kCaseShiftAccentBit = 0x80;

inline constexpr CaseShiftClass kCaseShiftClasses[] = {
    {0xC3, 1u << 0x8, 0xFFFF, 0x01},                 // U+00C0..U+00CF
    {0xC3, 1u << 0x9, 0x7F7F, 0x02},                 // U+00D0..U+00DE without U+00D7 (and U+00DF)
    {0xCE, 1u << 0x9, 0xFFFE, 0x04},                 // U+0391..U+039F
    {0xCE, 1u << 0xA, 0x0FFB, 0x08},                 // U+03A0..U+03AB without U+03A2
    {0xD0, 3u << 0x9, 0xFFFF, 0x40},                 // U+0410..U+042F
    {0xD0, 1u << 0x8, 0xFFFF, kCaseShiftExtraBits},  // U+0400..U+040F, by 0x50
    // U+0386, U+0388..U+038A, U+038C, U+038E, U+038F, by the accent table
    {0xCE, 1u << 0x8, 0xD740, kCaseShiftAccentBit},
};

// By the continuation's low nibble, what the accented Greek capitals add to
// 0x20: U+0386 to U+03AC, U+0388..U+038A to U+03AD..U+03AF, U+038C to
// U+03CC, U+038E and U+038F to U+03CD and U+03CE.
inline constexpr std::array<unsigned char, 16> kCaseShiftAccent = {
    0, 0, 0, 0, 0, 0, 0x06, 0, 0x05, 0x05, 0x05, 0, 0x20, 0, 0x1F, 0x1F};

constexpr unsigned case_shift_delta(unsigned bits, unsigned char cont) noexcept {
  if (bits == 0) return 0;
  return 0x20 + (bits & kCaseShiftExtraBits) +
         ((bits & kCaseShiftAccentBit) != 0 ? kCaseShiftAccent[cont & 15] : 0);
}

// The lead bytes all of whose changing sequences the classes claim.
constexpr bool case_shift_claims_lead(unsigned char lead) noexcept {
  return lead == 0xC3 || lead == 0xCE || lead == 0xD0;
}

namespace case_shift_detail {

using Table = std::array<unsigned char, 16>;

constexpr Table lead_table(unsigned row) {
  Table t{};
  for (const CaseShiftClass& c : kCaseShiftClasses) {
    if ((c.lead >> 4) == row) t[c.lead & 15] |= c.bits;
  }
  return t;
}

constexpr Table nibble_table(bool high) {
  Table t{};
  for (const CaseShiftClass& c : kCaseShiftClasses) {
    for (unsigned n = 0; n < 16; ++n) {
      if (((high ? c.high_nibbles : c.low_nibbles) >> n) & 1u) t[n] |= c.bits;
    }
  }
  return t;
}

}  // namespace case_shift_detail

inline constexpr case_shift_detail::Table kCaseShiftLeadC = case_shift_detail::lead_table(0xC);
inline constexpr case_shift_detail::Table kCaseShiftLeadD = case_shift_detail::lead_table(0xD);
inline constexpr case_shift_detail::Table kCaseShiftHigh = case_shift_detail::nibble_table(true);
inline constexpr case_shift_detail::Table kCaseShiftLow = case_shift_detail::nibble_table(false);

// The continuation nibbles must name continuation bytes only.
static_assert(kCaseShiftHigh[0] == 0 && kCaseShiftHigh[7] == 0 && kCaseShiftHigh[0xC] == 0 &&
              kCaseShiftHigh[0xF] == 0);

// The tables give each class's bits on its own sequences and nothing else,
// and every offset moves the continuation's low six bits by less than 0x80
// in all, which the vector code's signed carry test needs.
constexpr bool case_shift_tables_match_classes() {
  for (unsigned lead = 0xC0; lead < 0xE0; ++lead) {
    for (unsigned cont = 0x80; cont < 0xC0; ++cont) {
      unsigned want = 0;
      for (const CaseShiftClass& c : kCaseShiftClasses) {
        if (c.lead == lead && ((c.high_nibbles >> (cont >> 4)) & 1u) != 0 &&
            ((c.low_nibbles >> (cont & 15)) & 1u) != 0) {
          if (want != 0) return false;
          want = c.bits;
        }
      }
      const unsigned got = (lead >= 0xD0 ? kCaseShiftLeadD : kCaseShiftLeadC)[lead & 15] &
                           kCaseShiftHigh[cont >> 4] & kCaseShiftLow[cont & 15];
      const unsigned char c = static_cast<unsigned char>(cont);
      if (got != want || (cont & 0x3Fu) + case_shift_delta(got, c) >= 0x80) return false;
    }
  }
  return true;
}
static_assert(case_shift_tables_match_classes());

// The Latin-1 classes claim exactly the Latin-1 capitals of two bytes.
constexpr bool case_shift_matches_latin1_rule() {
  for (unsigned c = 0x80; c < 0x100; ++c) {
    const auto lead = static_cast<unsigned char>(0xC0 | (c >> 6));
    const auto cont = static_cast<unsigned char>(0x80 | (c & 0x3F));
    const unsigned char by_lead = (lead >= 0xD0 ? kCaseShiftLeadD : kCaseShiftLeadC)[lead & 15];
    const unsigned bits = by_lead & kCaseShiftHigh[cont >> 4] & kCaseShiftLow[cont & 15];
    if ((bits != 0) != is_latin1_capital(c)) return false;
    if (bits != 0 && case_shift_delta(bits, cont) != kLatin1CaseShift) return false;
  }
  return true;
}
static_assert(case_shift_matches_latin1_rule());

// `lead` in 0xC0..0xDF.
constexpr unsigned case_shift_bits(unsigned char lead, unsigned char cont) noexcept {
  const unsigned char by_lead = (lead >= 0xD0 ? kCaseShiftLeadD : kCaseShiftLeadC)[lead & 15];
  return by_lead & kCaseShiftHigh[cont >> 4] & kCaseShiftLow[cont & 15];
}

}  // namespace corvane::scoring
