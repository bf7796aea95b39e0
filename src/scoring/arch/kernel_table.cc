#include "scoring/arch/kernel_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "scoring/arch/cpu_features.h"
#include "scoring/arch/level_kernels.h"

namespace corvane::scoring {
namespace {

using Tables = std::array<KernelTable, kIsaLevelCount>;

// Each level's table is the one below it with the families its own kernels
// serve better; the thresholds are where a call starts to beat the inlined
// baseline loop or the scalar code. This is the one place that says which
// level serves which family.
Tables make_tables() noexcept {
  Tables tables{};
  KernelTable t{};
  const auto level = [&](Isa isa) {
    t.isa = isa;
    tables[static_cast<std::size_t>(isa)] = t;
  };
  // A faster search goes in front of those it outruns.
  const auto prefer_search = [&](PrefilteredSearch* search, std::size_t min_window_starts) {
    for (std::size_t k = t.prefilters.size() - 1; k > 0; --k) t.prefilters[k] = t.prefilters[k - 1];
    t.prefilters[0] = {search, min_window_starts};
  };

  t.lower_ascii_run = portable::kLowerAsciiRun;
  t.ascii_min_size = 0;
  t.prefilters[0] = {portable::kPrefilteredSearch, 0};
  level(Isa::Portable);

#if defined(__x86_64__)
  // SSE2, the baseline: the ASCII loop is inlined at every size.
  t.lower_ascii_run = nullptr;
  prefer_search(sse2::kPrefilteredSearch, 16);
  t.short_input_hits = sse2::kShortInputHits;
  t.short_input_prepared_hits = sse2::kShortInputPreparedHits;
  t.short_units_hits = sse2::kShortUnitsHits;
  t.find_unit_pair = sse2::kFindUnitPair;
  t.keep_low_bytes = sse2::kKeepLowBytes;
  t.keep_short_low_bytes = sse2::kKeepShortLowBytes;
  t.short_pair_starts = sse2::kShortPairStarts;
  level(Isa::Sse2);

  t.lower_two_byte_run = ssse3::kLowerTwoByteRun;
  t.two_byte_min_size = 16;
  t.lower_long_run = ssse3::kLowerLongRun;
  t.long_min_size = 16;
  t.encode_units16 = ssse3::kEncodeUnits16;
  t.lower_latin1_units = ssse3::kLowerLatin1Units;
  level(Isa::Ssse3);

  // Below four AVX2 vectors the inlined SSE2 loop is as fast as a call.
  t.lower_ascii_run = avx2::kLowerAsciiRun;
  t.ascii_min_size = 128;
  t.lower_two_byte_run = avx2::kLowerTwoByteRun;
  t.two_byte_min_size = 32;
  t.lower_long_run = avx2::kLowerLongRun;
  t.long_min_size = 32;
  t.holds_surrogate16 = avx2::kHoldsSurrogate16;
  t.holds_surrogate32 = avx2::kHoldsSurrogate32;
  prefer_search(avx2::kPrefilteredSearch, 32);
  t.short_input_hits = avx2::kShortInputHits;
  t.short_input_prepared_hits = avx2::kShortInputPreparedHits;
  t.short_units_hits = avx2::kShortUnitsHits;
  t.find_unit_pair = avx2::kFindUnitPair;
  t.keep_low_bytes = avx2::kKeepLowBytes;
  t.keep_short_low_bytes = avx2::kKeepShortLowBytes;
  t.short_pair_starts = avx2::kShortPairStarts;
  level(Isa::Avx2);

  // The short-input scorers take a whole short text in one 64-byte
  // register, read by a masked load, and their compares land in mask
  // registers. The search of fixed-width text as it is stays at AVX2: its
  // compares of whole units come back as vectors, which AVX-512 would have
  // to move out of mask registers and back (measured no faster). The low
  // bytes it scans are kept, and ASCII runs lowered, a 64-byte vector at a
  // time.
  t.lower_ascii_run = avx512bw::kLowerAsciiRun;
  t.lower_long_run = avx512bw::kLowerLongRun;
  t.long_min_size = 64;
  // Where 64-byte vectors run as two halves, the search of 32-byte ones
  // stays in front: on Zen 4, 1 MiB of ASCII with three absent words took
  // 90 us with the 64-byte search and 70 us without it.
  if (!cpu_features().halves_512) prefer_search(avx512bw::kPrefilteredSearch, 64);
  t.short_input_hits = avx512bw::kShortInputHits;
  t.short_input_prepared_hits = avx512bw::kShortInputPreparedHits;
  t.short_units_hits = avx512bw::kShortUnitsHits;
  t.keep_low_bytes = avx512bw::kKeepLowBytes;
  t.keep_short_low_bytes = avx512bw::kKeepShortLowBytes;
  t.short_pair_starts = avx512bw::kShortPairStarts;
  level(Isa::Avx512Bw);

  t.lower_two_byte_run = avx512vbmi2::kLowerTwoByteRun;
  t.two_byte_min_size = 64;
  t.encode_units16 = avx512vbmi2::kEncodeUnits16;
  t.encode_units32 = avx512vbmi2::kEncodeUnits32;
  t.lower_latin1_units = avx512vbmi2::kLowerLatin1Units;
  level(Isa::Avx512Vbmi2);
#elif defined(__aarch64__)
  // NEON, the baseline: the ASCII loop is inlined at every size, and every
  // CPU has the table look-up.
  t.lower_ascii_run = nullptr;
  t.lower_two_byte_run = neon::kLowerTwoByteRun;
  t.two_byte_min_size = 16;
  t.lower_long_run = neon::kLowerLongRun;
  t.long_min_size = 16;
  prefer_search(neon::kPrefilteredSearch, 16);
  t.short_input_hits = neon::kShortInputHits;
  t.short_input_prepared_hits = neon::kShortInputPreparedHits;
  t.short_units_hits = neon::kShortUnitsHits;
  t.find_unit_pair = neon::kFindUnitPair;
  t.keep_low_bytes = neon::kKeepLowBytes;
  t.keep_short_low_bytes = neon::kKeepShortLowBytes;
  t.short_pair_starts = neon::kShortPairStarts;
  level(Isa::Neon);
#endif
  return tables;
}

const Tables& tables() noexcept {
  static const Tables made = make_tables();
  return made;
}

// The level chosen and, where CORVANE_ISA was refused, why: a fixed buffer,
// so that the choice allocates nothing and cannot fail.
struct Choice {
  Isa isa;
  std::array<char, 256> error;
  std::size_t error_size;

  void say(std::string_view text) noexcept {
    const std::size_t n = std::min(text.size(), error.size() - error_size);
    std::memcpy(error.data() + error_size, text.data(), n);
    error_size += n;
  }
  void say_levels(Isa last) noexcept {
    for (std::size_t level = 0; level <= static_cast<std::size_t>(last); ++level) {
      if (level != 0) say(", ");
      say(isa_name(static_cast<Isa>(level)));
    }
  }
};

Choice choose() noexcept {
  const Isa best = cpu_features().best;
  Choice chosen{best, {}, 0};
  const char* const value = std::getenv("CORVANE_ISA");
  if (value == nullptr || *value == '\0') return chosen;
  const std::string_view wanted(value);
  for (std::size_t level = 0; level < kIsaLevelCount; ++level) {
    const auto isa = static_cast<Isa>(level);
    if (isa_name(isa) != wanted) continue;
    if (isa <= best) {
      chosen.isa = isa;
      return chosen;
    }
    chosen.say("CORVANE_ISA='");
    chosen.say(wanted);
    chosen.say("' is beyond this CPU; it supports: ");
    chosen.say_levels(best);
    return chosen;
  }
  chosen.say("CORVANE_ISA='");
  chosen.say(wanted.substr(0, 64));
  chosen.say("' is not an instruction set level; valid values: ");
  chosen.say_levels(static_cast<Isa>(kIsaLevelCount - 1));
  return chosen;
}

const Choice& choice() noexcept {
  static const Choice chosen = choose();
  return chosen;
}

}  // namespace

const KernelTable& kernel_table_for(Isa isa) noexcept {
  return tables()[static_cast<std::size_t>(isa)];
}

const KernelTable& kernels() noexcept {
  static const KernelTable& chosen = kernel_table_for(choice().isa);
  return chosen;
}

std::string_view isa_override_error() noexcept {
  return {choice().error.data(), choice().error_size};
}

}  // namespace corvane::scoring
