// What the kernels take and give: one function type per kernel family and
// the values they pass.
//
// Contract: each family's function type is written here once; the kernels
// of every level (scoring/arch/level_kernels.h) have exactly that type, and
// the kernel table (scoring/arch/kernel_table.h) holds pointers to them.
// What each family does is said where its portable counterpart or generic
// kernel is described:
// - `LowerAsciiRun`, `LowerSequenceRun`: scoring/arch/generic/
//   ascii_lower_kernel.h, two_byte_lower_kernel.h, long_lower_kernel.h.
// - `EncodeUnits*`, `LowerLatin1Units`: convert whole blocks of code units
//   (no surrogates) while a block remains, set `consumed` to the units
//   converted and return the bytes written; the caller converts the rest
//   (the transcoder's contract says how much room `out` needs).
// - `HoldsSurrogate*`: scoring/arch/generic/surrogate_scan_kernel.h.
// - `PrefilteredSearch`: scoring/search/prefilter.h, with the extra
//   precondition that last + 1 is at least the kernel's width.
// - `ShortInputHits`: scoring/short_input_score.h; the words of a query
//   that is not ASCII are lowercased with `lower_word`.
//   `ShortInputPreparedHits` takes the words lowercased already.
// - `ShortUnitsHits`: scoring/short_units_score.h.
// - `FindUnitPair`: scoring/arch/generic/unit_pair_kernel.h.
// - `KeepLowBytes`: scoring/arch/generic/low_bytes_kernel.h.
// - `KeepShortLowBytes`, `ShortPairStarts`: scoring/arch/generic/
//   short_pairs_kernel.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace corvane::scoring {

using LowerAsciiRun = std::size_t(const char* in, std::size_t size, char* out) noexcept;
// Both the two-byte and the long runs.
using LowerSequenceRun = std::size_t(std::string_view text, std::size_t from, char* out) noexcept;

using EncodeUnits16 = std::size_t(const std::uint16_t* units, std::size_t count, char* out,
                                  std::size_t& consumed) noexcept;
using EncodeUnits32 = std::size_t(const std::uint32_t* units, std::size_t count, char* out,
                                  std::size_t& consumed) noexcept;
using LowerLatin1Units = std::size_t(const std::uint8_t* units, std::size_t count, char* out,
                                     std::size_t& consumed) noexcept;
using HoldsSurrogate16 = bool(const std::uint16_t* units, std::size_t length) noexcept;
using HoldsSurrogate32 = bool(const std::uint32_t* units, std::size_t length) noexcept;

// Three offsets of a needle and the bytes there, rarest first
// (`choose_rare_bytes`, scoring/search/prefilter.h).
struct RareBytes {
  std::size_t offset1;
  std::size_t offset2;
  std::size_t offset3;
  unsigned char byte1;
  unsigned char byte2;
  unsigned char byte3;
};

struct PrefilterResult {
  bool found;
  // When not found: every window start before `resume` is ruled out. It is
  // last + 1 when the whole haystack was searched.
  std::size_t resume;
};

// Precondition: m >= 2 and the haystack holds last + m bytes.
// Complexity: O(last + m) time, O(1) space.
using PrefilteredSearch = PrefilterResult(const unsigned char* haystack, std::size_t last,
                                          const unsigned char* needle, std::size_t m,
                                          const RareBytes& rare) noexcept;

struct ShortWordHits {
  std::uint64_t hits;
  std::uint64_t words;
};

// The longest text and query, in bytes, that the short-input scorer takes.
inline constexpr std::size_t kShortInputBytes = 64;

// The full lowercase conversion of one word (`to_lower_full_into`,
// scoring/lowercase/to_lower_full.h).
using LowerFull = std::size_t(std::string_view text, char* out) noexcept;

using ShortInputHits = std::optional<ShortWordHits>(std::string_view text, std::string_view query,
                                                    LowerFull* lower_word) noexcept;
// The same for a query whose words are already lowercased, each by itself:
// `words` counts them all.
using ShortInputPreparedHits = std::optional<ShortWordHits>(std::string_view text,
                                                            std::span<const std::string_view> words,
                                                            LowerFull* lower_word) noexcept;

// The longest text, in code points, that the short-input scorer for
// fixed-width text takes.
inline constexpr std::size_t kShortInputUnits = 64;

// Takes `length` units of `width` bytes (1, 2 or 4) and words lowercased
// already, as code points (at least one each); `ascii_words` says that
// every code point of every word is ASCII.
using ShortUnitsHits = std::optional<ShortWordHits>(const void* units, std::size_t length,
                                                    std::size_t width,
                                                    std::span<const std::u32string_view> words,
                                                    bool ascii_words) noexcept;

// One code point of a word, as the units of a text that may lowercase to
// it: unit u may when (u | fold) is one of values[0, count). Folding may
// admit a few units more; they are ruled out when a start is checked.
// values[count, 3) repeat values[0], so that a kernel may compare all three.
struct UnitAnchor {
  char32_t fold;
  char32_t values[3];
  std::size_t count;
};

// Two such code points of a word, `distance` units apart in the text.
struct UnitPair {
  UnitAnchor first;
  UnitAnchor second;
  std::size_t distance;
};

enum class UnitCheck { Rejected, Found, GiveUp };
// Whether the word lies around a start that the anchors left.
using CheckUnitStart = UnitCheck(void* context, std::size_t start) noexcept;

// Takes `length` units of `width` bytes (1, 2 or 4) and gives the first
// start s in [0, length - distance) where both anchors may lie (unit s and
// unit s + distance) and `check(context, s)` is not Rejected, or
// length - distance when there is none.
// Precondition: pair.distance < length.
using FindUnitPair = std::size_t(const void* units, std::size_t length, std::size_t width,
                                 const UnitPair& pair, CheckUnitStart* check,
                                 void* context) noexcept;

// The low byte of each of `length` units of `width` bytes (2 or 4), into
// low[0, length).
using KeepLowBytes = void(const void* units, std::size_t length, std::size_t width,
                          unsigned char* low) noexcept;

// The low bytes of a short text of `length` <= kShortInputUnits units of
// `width` bytes (1, 2 or 4), zero-padded to kShortInputUnits; false for a
// text holding a surrogate.
using KeepShortLowBytes = bool(const void* units, std::size_t length, std::size_t width,
                               unsigned char* low) noexcept;
// Bit s: both anchors of a low-byte pair may lie at s and s + distance in
// the `length` units whose low bytes were so kept.
using ShortPairStarts = std::uint64_t(const unsigned char* low, std::size_t length,
                                      const UnitPair& pair) noexcept;

}  // namespace corvane::scoring
