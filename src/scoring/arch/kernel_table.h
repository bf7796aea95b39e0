// The one table of vector code: which kernel serves each family, chosen
// once for the process.
//
// Contract: `kernels()` gives the table of the level the process runs at:
// the CPU's best (`cpu_features()`), capped by the environment variable
// CORVANE_ISA when it names a level (scoring/arch/isa_levels.h) that the
// CPU has. The variable is read once, at the first call, which the library
// makes while it loads; a value that names no level, or a level the CPU
// lacks, leaves the CPU's best in place and makes `isa_override_error()`
// say why (empty otherwise), for the module to refuse to load.
// `kernel_table_for(isa)` gives the table of any level the CPU has, for
// tests that run every level's kernels in one process. Every scoring
// function takes its vector code from `kernels()` and from nowhere else;
// a family's null entry means no kernel serves it at that level and the
// caller's scalar code does. All tables give identical results.
// Complexity: O(1) after the first call.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "scoring/arch/isa_levels.h"
#include "scoring/arch/kernel_types.h"

namespace corvane::scoring {

struct KernelTable {
  Isa isa;

  // Lowercasing (scoring/lowercase/): each run with the input size from
  // which calling it pays. Below `ascii_min_size`, or where no ASCII run is
  // set, callers run the baseline loop inlined (scoring/arch/ascii_run.h).
  LowerAsciiRun* lower_ascii_run;
  std::size_t ascii_min_size;
  LowerSequenceRun* lower_two_byte_run;
  std::size_t two_byte_min_size;
  LowerSequenceRun* lower_long_run;
  std::size_t long_min_size;

  // Code units to UTF-8 (scoring/transcode/).
  EncodeUnits16* encode_units16;
  EncodeUnits32* encode_units32;
  LowerLatin1Units* lower_latin1_units;
  HoldsSurrogate16* holds_surrogate16;
  HoldsSurrogate32* holds_surrogate32;

  // Substring search (scoring/search/): the widest kernel whose width the
  // haystack's window starts reach, widest first; the last set entry takes
  // any haystack.
  struct Prefilter {
    PrefilteredSearch* search;
    std::size_t min_window_starts;
  };
  std::array<Prefilter, 4> prefilters;

  // The short-input scorer (scoring/short_input_score.h), for a query as
  // given and for one whose words are lowercased already.
  ShortInputHits* short_input_hits;
  ShortInputPreparedHits* short_input_prepared_hits;
  // The match over a short fixed-width text's code points
  // (scoring/short_units_score.h).
  ShortUnitsHits* short_units_hits;
  // Where a word may lie in fixed-width text not yet lowercased
  // (scoring/units_search.h).
  FindUnitPair* find_unit_pair;
  // The low bytes of wider units, which that search scans in their place.
  KeepLowBytes* keep_low_bytes;
  // The same search for a short text, held in registers.
  KeepShortLowBytes* keep_short_low_bytes;
  ShortPairStarts* short_pair_starts;
};

const KernelTable& kernels() noexcept;

// Precondition: cpu_features().has(isa).
const KernelTable& kernel_table_for(Isa isa) noexcept;

std::string_view isa_override_error() noexcept;

}  // namespace corvane::scoring
