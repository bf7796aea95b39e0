// The byte-vector concept: what the kernels in arch/generic/ ask of an
// instruction set, stated once.
//
// Contract: a trait `V` names a vector of `V::kWidth` bytes, `V::Vector`,
// whose lane 0 holds the byte at the lowest address, and the result of a
// lane-wise comparison, `V::Mask`: either the vector itself with all ones in
// the lanes where the comparison holds and zero elsewhere, or a type of the
// trait's own (a mask register) that every operation taking a comparison's
// result takes as well. Operations are static, constant time, and never
// read or write outside the bytes they are given. Each instruction set has
// exactly one trait (arch/portable/, arch/x86_64/, arch/aarch64/); each
// kernel names the concept it needs:
// - `ByteVector`: `splat(b)` (every lane b), `load(p)` and `store(p, v)`
//   (unaligned), `either` and `both` (or, and), `in_range(v, lo, hi)` (the
//   lanes whose byte b has lo <= b <= hi, for 0 < lo <= hi < 0x80; lanes
//   holding 0x80 or more may give anything) and `ascii_prefix(v)` (the
//   number of leading lanes below 0x80).
// - `ComparingByteVector` adds `equal(a, b)`, `both` and `either` of masks,
//   and `lanes(m)` (one bit per lane, lane 0 lowest, as a 64-bit integer;
//   where masks are vectors, each lane's high bit, so that it also tells
//   which lanes of any vector hold 0x80 or more).
// - `PartialLoadByteVector` adds `load_partial(p, size)`: p[0, size) for
//   size <= width in the low lanes and zero above, reading nothing past
//   p + size.
// - `ShuffleByteVector` adds what the two-byte lowercase loop needs:
//   `table16(p)` (the 16 bytes at p in every 16-byte lane), `look_up(table,
//   index)` (lane-wise table[index & 0x0F] for indexes below 0x80, zero for
//   0x80 and up), `high_nibbles` (each byte shifted right by four), `add` and
//   `subtract` (lane-wise modulo 256), `saturating_add` (unsigned),
//   `unless(mask, v)` (v where mask is clear, else zero), `select(mask, a,
//   b)`, `greater` (signed), `at_least` and `at_most` (unsigned) and
//   `shift_up_from(v, before)` (lane k of v to lane k + 1, before's last
//   lane into lane 0).
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>

namespace corvane::scoring {

template <class V>
concept ByteVector = requires(const char* in, char* out, typename V::Vector v, char b) {
  { V::kWidth } -> std::convertible_to<std::size_t>;
  { V::splat(b) } -> std::same_as<typename V::Vector>;
  { V::load(in) } -> std::same_as<typename V::Vector>;
  V::store(out, v);
  { V::either(v, v) } -> std::same_as<typename V::Vector>;
  { V::both(v, v) } -> std::same_as<typename V::Vector>;
  V::in_range(v, b, b);
  { V::ascii_prefix(v) } -> std::convertible_to<std::size_t>;
};

template <class V>
concept ComparingByteVector = ByteVector<V> && requires(typename V::Vector v, typename V::Mask m) {
  { V::equal(v, v) } -> std::same_as<typename V::Mask>;
  { V::both(m, m) } -> std::same_as<typename V::Mask>;
  { V::either(m, m) } -> std::same_as<typename V::Mask>;
  { V::lanes(m) } -> std::same_as<std::uint64_t>;
};

template <class V>
concept PartialLoadByteVector =
    ComparingByteVector<V> && requires(const char* in, std::size_t size) {
      { V::load_partial(in, size) } -> std::same_as<typename V::Vector>;
    };

template <class V>
concept ShuffleByteVector =
    ComparingByteVector<V> && requires(typename V::Vector v, const unsigned char* table) {
      { V::table16(table) } -> std::same_as<typename V::Vector>;
      { V::look_up(v, v) } -> std::same_as<typename V::Vector>;
      { V::high_nibbles(v) } -> std::same_as<typename V::Vector>;
      { V::add(v, v) } -> std::same_as<typename V::Vector>;
      { V::subtract(v, v) } -> std::same_as<typename V::Vector>;
      { V::saturating_add(v, v) } -> std::same_as<typename V::Vector>;
      { V::shift_up_from(v, v) } -> std::same_as<typename V::Vector>;
      V::greater(v, v);
      V::at_least(v, v);
      V::at_most(v, v);
    };

}  // namespace corvane::scoring
