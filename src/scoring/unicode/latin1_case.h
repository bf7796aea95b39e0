// The lowercase rule of Latin-1, the one-byte form of interpreter strings.
//
// Contract: `is_latin1_capital(c)` is true exactly for the code points of
// U+0000..U+00FF whose full lowercase form differs from them: A..Z and
// U+00C0..U+00DE without U+00D7. Each lowercases to c + kLatin1CaseShift,
// again in Latin-1; every other Latin-1 code point lowercases to itself and
// none depends on its neighbours. The scalar and vector conversions of
// Latin-1 (scoring/transcode/, scoring/arch/x86_64/transcode_*.cc) and the
// two-byte case classes (scoring/unicode/two_byte_case_shift.h) state the
// rule with these constants; the exhaustive tests hold it against the
// Unicode data.
// Complexity: O(1).
#pragma once

namespace corvane::scoring {

inline constexpr unsigned kLatin1CaseShift = 0x20;
inline constexpr unsigned kLatin1AccentedCapitalFirst = 0xC0;
inline constexpr unsigned kLatin1AccentedCapitalLast = 0xDE;
inline constexpr unsigned kLatin1MultiplicationSign = 0xD7;  // inside that range, not a letter

constexpr bool is_latin1_capital(unsigned c) noexcept {
  return (c >= 'A' && c <= 'Z') ||
         (c >= kLatin1AccentedCapitalFirst && c <= kLatin1AccentedCapitalLast &&
          c != kLatin1MultiplicationSign);
}

constexpr unsigned lower_latin1(unsigned c) noexcept {
  return is_latin1_capital(c) ? c + kLatin1CaseShift : c;
}

}  // namespace corvane::scoring
