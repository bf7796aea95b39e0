// Compiling a region of a file for an instruction set beyond the build's
// baseline, the same way under GCC and clang.
//
// Contract: `CORVANE_TARGET_BEGIN("avx2,bmi2")` switches the given target
// features on for every function defined after it, up to
// `CORVANE_TARGET_END()`; headers included before the region stay at the
// baseline. Code compiled so may run only after a run-time check that the
// CPU has those features. The per-architecture files use it around the
// kernels they instantiate.
#pragma once

#define CORVANE_PRAGMA(text) _Pragma(#text)

#if defined(__clang__)
#define CORVANE_TARGET_BEGIN(features) \
  CORVANE_PRAGMA(clang attribute push(__attribute__((target(features))), apply_to = function))
#define CORVANE_TARGET_END() CORVANE_PRAGMA(clang attribute pop)
#else
#define CORVANE_TARGET_BEGIN(features) \
  CORVANE_PRAGMA(GCC push_options) CORVANE_PRAGMA(GCC target(features))
#define CORVANE_TARGET_END() CORVANE_PRAGMA(GCC pop_options)
#endif
