// The lowercase form of one two-byte UTF-8 sequence when it is again one
// two-byte sequence.
//
// Contract: `lower_two_byte_sequence(text, at)` takes well-formed UTF-8
// `text` with a two-byte sequence at byte `at` and gives the two bytes of
// its full lowercase form when that form is one two-byte sequence: by the
// case tables, and for U+03A3 by the Final_Sigma rule over `text`
// (scoring/unicode/final_sigma.h). It gives {0, 0} for the code points
// whose form is longer or shorter (U+0130 and the simple mappings out of
// the two-byte range), which the caller converts otherwise. The scalar
// conversion and the vector loops' patches share it. Internal linkage, so
// that vector code built for another instruction set can include it.
// Complexity: O(1), and the Final_Sigma scan for a capital sigma.
#pragma once

#include <cstddef>
#include <string_view>

#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/final_sigma.h"

namespace corvane::scoring {
namespace {

struct TwoBytes {
  unsigned char first;
  unsigned char second;
};

inline TwoBytes lower_two_byte_sequence(std::string_view text, std::size_t at) noexcept {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data()) + at;
  const char32_t cp = (char32_t{in[0] & 0x1Fu} << 6) | (in[1] & 0x3Fu);
  const unsigned char* mapped = two_byte_lowercase_at(cp);
  if (mapped[0] != 0) return {mapped[0], mapped[1]};
  if (cp == kCapitalSigma) {
    return {0xCF, static_cast<unsigned char>(sigma_ends_word(text, at) ? 0x82 : 0x83)};
  }  // U+03C2 : U+03C3
  return {0, 0};
}

}  // namespace
}  // namespace corvane::scoring
