// Text held as one code point per unit of a fixed width, the way an
// interpreter keeps its strings: one byte (U+0000..U+00FF), two bytes
// (U+0000..U+FFFF) or four (any code point).
//
// Contract: a `FixedWidthText` views `length` units of `width` bytes at
// `data`, in the machine's byte order, which the caller owns. The scoring
// functions take it only when it holds no surrogate code point
// (U+D800..U+DFFF); `holds_surrogate(text)` says whether it does, and
// `holds_surrogate(text, begin, end)` whether units [begin, end) do.
// `encode_utf8_into(text, begin, end, out)` writes the UTF-8 form of units
// [begin, end) into `out`, which holds `utf8_size_bound(width, end - begin)`
// bytes, and returns its length. `lower_latin1_into(text, begin, end, out)`
// (width 1 only) writes the full lowercase conversion of those units as
// UTF-8 in one pass: no Latin-1 code point lowercases outside Latin-1 or
// depends on its neighbours (scoring/unicode/latin1_case.h), so any range
// converts by itself.
// `next_piece_boundary(text, from, limit)` is the code point form of the
// UTF-8 one (scoring/unicode/piece_boundary.h): the first unit at or after
// `from` before which the text may be cut, or `length`.
// Each operation has a file of its own in this folder and takes its vector
// code from the kernel table (scoring/arch/kernel_table.h).
// Complexity: O(end - begin) for the conversions and the surrogate test,
// O(min(distance, limit)) for the boundary.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane::scoring {

struct FixedWidthText {
  const void* data;
  std::size_t length;
  std::size_t width;  // 1, 2 or 4
};

// The most UTF-8 bytes that one unit of `width` bytes gives.
constexpr std::size_t utf8_bytes_per_unit(std::size_t width) noexcept {
  return width == 1 ? 2 : width == 2 ? 3 : 4;
}

// Room for the UTF-8 form of `units` units, and for the vector code's last
// store past it.
constexpr std::size_t utf8_size_bound(std::size_t width, std::size_t units) noexcept {
  return units * utf8_bytes_per_unit(width) + 16;
}

bool holds_surrogate(const FixedWidthText& text, std::size_t begin, std::size_t end) noexcept;

inline bool holds_surrogate(const FixedWidthText& text) noexcept {
  return holds_surrogate(text, 0, text.length);
}

std::size_t encode_utf8_into(const FixedWidthText& text, std::size_t begin, std::size_t end,
                             char* out) noexcept;

std::size_t lower_latin1_into(const FixedWidthText& text, std::size_t begin, std::size_t end,
                              char* out) noexcept;

std::size_t next_piece_boundary(const FixedWidthText& text, std::size_t from,
                                std::size_t limit) noexcept;

}  // namespace corvane::scoring
