// Asking for memory ahead of its use.
//
// Contract: `prefetch_for_writing(p, prefetchw)` asks for the cache line
// that holds `p`, to be written soon: on x86-64 by PREFETCHW where the CPU
// has it (`prefetchw` is cpu_features().prefetchw, scoring/arch/
// cpu_features.h, looked up once by the caller), which takes the line from
// another core's cache at once rather than shared first and owned at the
// write; elsewhere by the compiler's prefetch for writing.
// `prefetch_lines(p, n)` asks for the cache lines of [p, p + n), to be read
// soon. Neither faults, whatever `p`, and neither changes anything a
// program can see but its speed.
// Complexity: O(1); `prefetch_lines` O(n / 64).
#pragma once

#include <cstddef>

namespace corvane::scoring {

inline void prefetch_for_writing(const void* p, bool prefetchw) noexcept {
#if defined(__x86_64__)
  if (prefetchw) {
    // The compiler emits PREFETCHW only where it may assume the CPU has it.
    asm volatile("prefetchw %0" : : "m"(*static_cast<const char*>(p)));
    return;
  }
#endif
  static_cast<void>(prefetchw);
  __builtin_prefetch(p, 1);
}

inline void prefetch_lines(const void* p, std::size_t n) noexcept {
  const char* const bytes = static_cast<const char*>(p);
  for (std::size_t at = 0; at < n; at += 64) __builtin_prefetch(bytes + at);
}

}  // namespace corvane::scoring
