// Turning arbitrary fuzzer bytes into the scoring core's inputs.
//
// Contract: `decode_lenient` reads any bytes as UTF-8 and gives Unicode
// scalar values only: each well-formed sequence gives its code point; a byte
// that does not begin one (a stray continuation byte, an overlong form, an
// encoded surrogate, a value beyond U+10FFFF, a truncated sequence, 0xF5 to
// 0xFF) gives U+FFFD and decoding resumes at the next byte. `encode_utf8`
// gives the UTF-8 form of scalar values; it is written here on its own, not
// borrowed from the core, so that the two sides of a comparison share no
// code. `ByteReader` hands out the input one byte at a time and zeros once
// it runs out, so a harness can draw any number of choices from any input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/allocation.h"

namespace corvane::fuzz {

using CodePoints = Vector<char32_t>;

// Complexity: O(len(bytes)).
CodePoints decode_lenient(std::span<const std::uint8_t> bytes);

// Precondition: every element is a scalar value.
// Complexity: O(len(code_points)).
Text encode_utf8(const CodePoints& code_points);

// The part of `bytes` before the first `separator` and the part after it;
// without a separator, all of `bytes` and nothing.
struct SplitBytes {
  std::span<const std::uint8_t> first;
  std::span<const std::uint8_t> second;
  bool separated;
};
SplitBytes split_at(std::span<const std::uint8_t> bytes, std::uint8_t separator);

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t next() { return position_ < bytes_.size() ? bytes_[position_++] : 0; }
  std::uint16_t next16() {
    const std::uint16_t low = next();
    return static_cast<std::uint16_t>(low | (next() << 8));
  }
  // A value in [0, bound); 0 when bound is 0.
  std::size_t below(std::size_t bound) { return bound == 0 ? 0 : next16() % bound; }
  std::span<const std::uint8_t> rest() const {
    return bytes_.subspan(position_ < bytes_.size() ? position_ : bytes_.size());
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace corvane::fuzz
