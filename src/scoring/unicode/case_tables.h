// Unicode case data: simple lowercase mappings and the Cased and
// Case_Ignorable properties, looked up in constant time.
//
// Contract: every function takes a Unicode scalar value (at most U+10FFFF).
// `simple_lowercase` gives the code point's simple lowercase mapping from the
// Unicode Character Database, or the code point itself when it has none
// (U+0130 gives U+0069 and U+03A3 gives U+03C3 here; their full and
// context-dependent forms are the converter's business).
// `case_data::properties_of` gives the derived properties Cased and
// Case_Ignorable as bits; a code point may have both.
// `lowered_size_bound` bounds the growth of a whole conversion.
// `two_byte_lowercase_at` serves the converter's
// fast path for code points U+0080..U+07FF: the UTF-8 bytes of the lowercase
// form when it is again one two-byte code point, or two zero bytes for
// U+0130, U+03A3 and the mappings that change the byte length; for each lead
// byte, the tables also bound the continuation bytes whose sequences that
// look-up changes, so that vector code can skip the rest.
// The tables are generated (case_tables_data.cc); nothing allocates, nothing
// fails, and the data is read-only, so any thread may call these.
// Complexity: O(1): two array reads per look-up, no search.
#pragma once

#include <cstdint>

namespace corvane::scoring {

namespace case_data {

// Code points are split into blocks of 256; each block's entries live in one
// deduplicated block, found through the block index.
inline constexpr unsigned kBlockShift = 8;

// Lowercase: per code point, the 16-bit difference to its mapping, added
// modulo 2^16 within the code point's plane (no mapping leaves its plane).
extern const std::uint8_t kLowercaseBlockIndex[0x110000 >> kBlockShift];
extern const std::uint16_t kLowercaseBlocks[][1u << kBlockShift];

// Properties: two bits per code point, four code points to a byte.
inline constexpr unsigned kCasedBit = 1;
inline constexpr unsigned kCaseIgnorableBit = 2;
extern const std::uint8_t kPropertyBlockIndex[0x110000 >> kBlockShift];
extern const std::uint8_t kPropertyBlocks[][(1u << kBlockShift) / 4];

extern const unsigned char kTwoByteLowercase[0x800][2];
// Indexed by a two-byte lead byte's low five bits: the range of continuation
// bytes (low..high, or the empty 0xFF..0x00) outside which kTwoByteLowercase
// leaves every sequence of that lead unchanged.
extern const unsigned char kTwoByteDirtyLow[32];
extern const unsigned char kTwoByteDirtyHigh[32];
// Indexed by the low five bits of a three- or four-byte sequence's lead
// (0xE0..0xF4): the range of second bytes (low..high, or the empty
// 0xFF..0x00) outside which lowercasing leaves every sequence of that lead
// unchanged.
extern const unsigned char kLongDirtyLow[32];
extern const unsigned char kLongDirtyHigh[32];
// The same for the third byte: outside kLongDirtyThirdLow..High of its lead,
// lowercasing leaves a sequence unchanged whatever its second byte.
extern const unsigned char kLongDirtyThirdLow[32];
extern const unsigned char kLongDirtyThirdHigh[32];

inline unsigned properties_of(char32_t c) noexcept {
  const std::uint8_t packed =
      kPropertyBlocks[kPropertyBlockIndex[c >> kBlockShift]][(c & ((1u << kBlockShift) - 1)) >> 2];
  return (packed >> ((c & 3u) * 2)) & 3u;
}

}  // namespace case_data

inline char32_t simple_lowercase(char32_t c) noexcept {
  const std::uint16_t delta =
      case_data::kLowercaseBlocks[case_data::kLowercaseBlockIndex[c >> case_data::kBlockShift]]
                                 [c & ((1u << case_data::kBlockShift) - 1)];
  return (c & ~char32_t{0xFFFF}) | ((c + delta) & 0xFFFF);
}

// The most bytes that lowercasing `size` bytes can give: a code point grows
// by at most half (two bytes to three), and never from one byte.
constexpr std::size_t lowered_size_bound(std::size_t size) noexcept { return size + size / 2 + 4; }

// `c` must lie in U+0080..U+07FF.
inline const unsigned char* two_byte_lowercase_at(char32_t c) noexcept {
  return case_data::kTwoByteLowercase[c];
}

}  // namespace corvane::scoring
