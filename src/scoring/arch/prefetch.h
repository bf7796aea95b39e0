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
// program can see but its speed. `kPrefetchNextText` says whether a run of
// texts asks for the next text's bytes while it scores one
// (scoring/prepared_query.cc): on x86-64, whose prefetchers leave the next
// text of a list to come in line by line; not on AArch64, where it has not
// been measured.
// Complexity: O(1); `prefetch_lines` O(n / 64).
#pragma once

#include <cstddef>

namespace corvane::scoring {

// Measured, one thread, 1 KiB texts: on an Intel Xeon with AVX-512 VBMI2
// 269 to 226 ns (ASCII), 741 to 615 (2-byte units); on an AMD EPYC Zen 5
// 493 to 442 (2-byte units), 493 to 418 (emoji, 4-byte units), 345 to 308
// (mixed scripts), and no kind of text or title slower. (Asking for only
// the first line of texts further ahead had cost an AMD EPYC a tenth.)
#if defined(__x86_64__)
inline constexpr bool kPrefetchNextText = true;
#else
inline constexpr bool kPrefetchNextText = false;
#endif

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
