// The instruction set levels of the running CPU that the vector code may
// use.
//
// Contract: `cpu_features()` gives one record, read from the CPU once per
// process (at the first call, which the library makes while it loads) and
// never changed; every choice of vector code in the scoring core reads it
// (through scoring/arch/kernel_table.h), and nothing else asks the CPU.
// `best` is the highest level (scoring/arch/isa_levels.h) whose every
// target feature the CPU has, counting only registers that the operating
// system saves; `has(isa)` says whether a level is at or below it.
// `prefetchw` says whether an x86-64 CPU has PREFETCHW, which asks for a
// cache line to be written (scoring/arch/prefetch.h). `halves_512` says
// whether the CPU runs each 512-bit operation as two 256-bit halves (AMD
// Zen 4), where a kernel of 64-byte vectors may lose to one of 32
// (scoring/arch/kernel_table.cc says which).
// Complexity: O(1) after the first call.
#pragma once

#include "scoring/arch/isa_levels.h"

namespace corvane::scoring {

struct CpuFeatures {
  Isa best;
  bool prefetchw;
  bool halves_512;

  constexpr bool has(Isa isa) const noexcept { return isa <= best; }
};

const CpuFeatures& cpu_features() noexcept;

}  // namespace corvane::scoring
