// Compiling a region of a file for an instruction set beyond the build's
// baseline, the same way under GCC and clang.
//
// Contract: `CORVANE_TARGET_BEGIN(Avx2)` switches on the target features of
// that level (`CORVANE_ISA_TARGET_Avx2`, scoring/arch/isa_levels.h) for
// every function defined after it, up to `CORVANE_TARGET_END()`; headers
// included before the region stay at the baseline. Code compiled so may run
// only where the CPU has the level (`cpu_features()`), which the kernel
// table sees to. The per-level files use it around the kernels they
// instantiate.
#pragma once

#include "scoring/arch/isa_levels.h"

#define CORVANE_PRAGMA(text) _Pragma(#text)

#if defined(__clang__)
#define CORVANE_TARGET_BEGIN_FEATURES(features) \
  CORVANE_PRAGMA(clang attribute push(__attribute__((target(features))), apply_to = function))
#define CORVANE_TARGET_END() CORVANE_PRAGMA(clang attribute pop)
#else
#define CORVANE_TARGET_BEGIN_FEATURES(features) \
  CORVANE_PRAGMA(GCC push_options) CORVANE_PRAGMA(GCC target(features))
#define CORVANE_TARGET_END() CORVANE_PRAGMA(GCC pop_options)
#endif

#define CORVANE_TARGET_BEGIN(level) CORVANE_TARGET_BEGIN_FEATURES(CORVANE_ISA_TARGET_##level)
