#include "scoring/arch/kernel_table.h"
#include "scoring/transcode/fixed_width_text.h"
#include "scoring/transcode/units.h"
#include "scoring/unicode/utf8.h"

namespace corvane::scoring {
namespace {

// Eight two-byte units (no surrogates) without a branch on each unit's
// length, which in running text of most scripts no predictor foresees:
// three bytes are written for each, as many kept as it needs.
inline std::size_t encode_block(const std::uint16_t* units, char* out) noexcept {
  std::size_t o = 0;
  for (std::size_t k = 0; k < 8; ++k) {
    const unsigned c = units[k];
    const bool two = c >= 0x80;
    const bool three = c >= 0x800;
    const unsigned low = 0x80 | (c & 0x3F);
    const unsigned middle = 0x80 | ((c >> 6) & 0x3F);
    out[o] = static_cast<char>(three ? 0xE0 | (c >> 12) : two ? 0xC0 | (c >> 6) : c);
    out[o + 1] = static_cast<char>(three ? middle : low);
    out[o + 2] = static_cast<char>(low);
    o += 1 + static_cast<std::size_t>(two) + static_cast<std::size_t>(three);
  }
  return o;
}

// The kernel table's encoder for units of type `Unit`, or null.
template <class Unit>
auto units_encoder() noexcept {
  if constexpr (sizeof(Unit) == 2) {
    return kernels().encode_units16;
  } else {
    return kernels().encode_units32;
  }
}

template <class Unit>
std::size_t encode_units(const Unit* units, std::size_t begin, std::size_t end,
                         char* out) noexcept {
  std::size_t o = 0;
  std::size_t i = begin;
  if constexpr (sizeof(Unit) > 1) {
    if (const auto encode = units_encoder<Unit>()) {
      std::size_t consumed = 0;
      o += encode(units + i, end - i, out + o, consumed);
      i += consumed;
    }
  }
  // Eight units at a time: copied as bytes when all are ASCII (the common
  // case in most scripts' text), else each by itself.
  while (end - i >= 8) {
    Unit seen = 0;
    for (std::size_t k = 0; k < 8; ++k) seen |= units[i + k];
    if (seen < 0x80) {
      for (std::size_t k = 0; k < 8; ++k) out[o + k] = static_cast<char>(units[i + k]);
      o += 8;
    } else if constexpr (sizeof(Unit) == 2) {
      o += encode_block(units + i, out + o);
    } else {
      for (std::size_t k = 0; k < 8; ++k)
        o = static_cast<std::size_t>(encode_utf8(units[i + k], out + o) - out);
    }
    i += 8;
  }
  for (; i < end; ++i) o = static_cast<std::size_t>(encode_utf8(units[i], out + o) - out);
  return o;
}

}  // namespace

std::size_t encode_utf8_into(const FixedWidthText& text, std::size_t begin, std::size_t end,
                             char* out) noexcept {
  return with_units(text, [&](const auto* units) { return encode_units(units, begin, end, out); });
}

}  // namespace corvane::scoring
