// Asking for memory ahead of its use.
//
// Contract: `prefetch_for_writing(p)` asks for the cache line that holds
// `p`, to be written soon: on x86-64 by PREFETCHW where the CPU has it
// (scoring/arch/cpu_features.h), which takes the line from another core's
// cache at once rather than shared first and owned at the write; elsewhere
// by the compiler's prefetch for writing. It never faults, whatever `p`,
// and changes nothing a program can see but its speed.
// Complexity: O(1).
#pragma once

#include "scoring/arch/cpu_features.h"

namespace corvane::scoring {

inline void prefetch_for_writing(const void* p) noexcept {
#if defined(__x86_64__)
  if (cpu_features().prefetchw) {
    // The compiler emits PREFETCHW only where it may assume the CPU has it.
    asm volatile("prefetchw %0" : : "m"(*static_cast<const char*>(p)));
    return;
  }
#endif
  __builtin_prefetch(p, 1);
}

}  // namespace corvane::scoring
