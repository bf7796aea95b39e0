#include "scoring/unicode/fixed_width_text.h"

#include <type_traits>

#include "scoring/arch/baseline_bytes.h"
#include "scoring/arch/cpu_features.h"
#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/arch/generic/surrogate_scan.h"
#include "scoring/unicode/piece_boundary.h"
#include "scoring/unicode/utf8.h"

#if defined(__x86_64__)
#include "scoring/arch/x86_64/entry_points.h"
#endif

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

// The vector code for fixed-width text that the running CPU has, chosen
// once, like `LowerRuns`: each converts whole blocks and leaves the rest to
// the loops below; null where there is none.
struct FixedWidthRuns {
  std::size_t (*encode16)(const std::uint16_t*, std::size_t, char*, std::size_t&) noexcept;
  std::size_t (*encode32)(const std::uint32_t*, std::size_t, char*, std::size_t&) noexcept;
  std::size_t (*lower_latin1)(const std::uint8_t*, std::size_t, char*, std::size_t&) noexcept;
  bool (*surrogate16)(const std::uint16_t*, std::size_t) noexcept;
  bool (*surrogate32)(const std::uint32_t*, std::size_t) noexcept;
};

FixedWidthRuns choose_fixed_width_runs(const CpuFeatures& cpu) noexcept {
  FixedWidthRuns runs{};
#if defined(__x86_64__)
  if (cpu.avx2) {
    runs.surrogate16 = holds_surrogate_avx2;
    runs.surrogate32 = holds_surrogate_avx2;
  }
  if (cpu.avx512vbmi2) {
    runs.encode16 = encode_utf8_units_avx512vbmi2;
    runs.encode32 = encode_utf8_units_avx512vbmi2;
    runs.lower_latin1 = lower_latin1_units_avx512vbmi2;
  } else if (cpu.ssse3) {
    runs.encode16 = encode_utf8_two_byte_units_ssse3;
    runs.lower_latin1 = lower_latin1_units_ssse3;
  }
#else
  static_cast<void>(cpu);
#endif
  return runs;
}

const FixedWidthRuns& fixed_width_runs() noexcept {
  static const FixedWidthRuns chosen = choose_fixed_width_runs(cpu_features());
  return chosen;
}

// The record's encoder and surrogate scan for units of type `Unit`.
template <class Unit>
auto units_encoder() noexcept {
  if constexpr (sizeof(Unit) == 2)
    return fixed_width_runs().encode16;
  else
    return fixed_width_runs().encode32;
}

template <class Unit>
auto surrogate_scan() noexcept {
  if constexpr (sizeof(Unit) == 2)
    return fixed_width_runs().surrogate16;
  else
    return fixed_width_runs().surrogate32;
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

template <class Unit>
std::size_t boundary(const Unit* units, std::size_t length, std::size_t from,
                     std::size_t limit) noexcept {
  const std::size_t stop = length - from > limit ? from + limit : length;
  if (from >= stop) return length;
  // from > 0, so a code point ends just before it.
  PieceCut cut(units[from - 1]);
  for (std::size_t i = from; i < stop; ++i) {
    if (cut.may_cut_before(units[i])) return i;
  }
  return length;
}

template <class F>
decltype(auto) with_units(const FixedWidthText& text, F&& f) noexcept {
  switch (text.width) {
    case 1:
      return f(static_cast<const std::uint8_t*>(text.data));
    case 2:
      return f(static_cast<const std::uint16_t*>(text.data));
    default:
      return f(static_cast<const std::uint32_t*>(text.data));
  }
}

}  // namespace

bool holds_surrogate(const FixedWidthText& text, std::size_t begin, std::size_t end) noexcept {
  return with_units(text, [&](const auto* units) {
    using Unit = std::remove_cvref_t<decltype(*units)>;
    if constexpr (sizeof(Unit) == 1) {
      return false;
    } else {
      const auto scan = surrogate_scan<Unit>();
      return scan != nullptr ? scan(units + begin, end - begin)
                             : any_surrogate(units + begin, end - begin);
    }
  });
}

std::size_t encode_utf8_into(const FixedWidthText& text, std::size_t begin, std::size_t end,
                             char* out) noexcept {
  return with_units(text, [&](const auto* units) { return encode_units(units, begin, end, out); });
}

std::size_t lower_latin1_into(const FixedWidthText& text, std::size_t begin, std::size_t end,
                              char* out) noexcept {
  const auto* in = static_cast<const unsigned char*>(text.data);
  std::size_t o = 0;
  std::size_t i = begin;
  if (const auto lower = fixed_width_runs().lower_latin1) {
    std::size_t consumed = 0;
    o = lower(in + i, end - i, out, consumed);
    i += consumed;
  }
  while (i < end) {
    const std::size_t run =
        lower_ascii_run<BaselineBytes>(reinterpret_cast<const char*>(in) + i, end - i, out + o);
    i += run;
    o += run;
    // Then the code points from U+0080 on, one at a time, while they last:
    // U+00C0..U+00DE but U+00D7 lowercase 0x20 up, the rest stay.
    while (i < end && in[i] >= 0x80) {
      const unsigned c = in[i++];
      const unsigned lower = c >= 0xC0 && c <= 0xDE && c != 0xD7 ? c + 0x20 : c;
      out[o++] = static_cast<char>(0xC0 | (lower >> 6));
      out[o++] = static_cast<char>(0x80 | (lower & 0x3F));
    }
  }
  return o;
}

std::size_t next_piece_boundary(const FixedWidthText& text, std::size_t from,
                                std::size_t limit) noexcept {
  return with_units(text,
                    [&](const auto* units) { return boundary(units, text.length, from, limit); });
}

}  // namespace corvane::scoring
