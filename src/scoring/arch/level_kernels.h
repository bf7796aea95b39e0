// The kernels of every instruction set level, declared once for all.
//
// Contract: for each level of scoring/arch/isa_levels.h, the namespace
// named after it in lower case (`portable`, `sse2`, `avx2`, ...) declares
// one constant pointer per kernel family of `CORVANE_KERNEL_FAMILIES`, of
// the family's type (scoring/arch/kernel_types.h). A level's file defines
// those it has (scoring/arch/<architecture>/<level>.cc and
// transcode_<level>.cc) and the kernel table (scoring/arch/kernel_table.cc)
// names them; one it lacks stays undeclared in effect, and naming it is a
// link error. A pointer to a kernel of a level beyond the baseline may be
// called only where the CPU has that level.
#pragma once

#include "scoring/arch/isa_levels.h"
#include "scoring/arch/kernel_types.h"

// X(name, FunctionType): every kernel family.
#define CORVANE_KERNEL_FAMILIES(X)             \
  X(lower_ascii_run, LowerAsciiRun)            \
  X(lower_two_byte_run, LowerSequenceRun)      \
  X(lower_long_run, LowerSequenceRun)          \
  X(encode_units16, EncodeUnits16)             \
  X(encode_units32, EncodeUnits32)             \
  X(lower_latin1_units, LowerLatin1Units)      \
  X(holds_surrogate16, HoldsSurrogate16)       \
  X(holds_surrogate32, HoldsSurrogate32)       \
  X(prefiltered_search, PrefilteredSearch)     \
  X(short_input_hits, ShortInputHits)

#define CORVANE_DECLARE_KERNEL(name, Type) extern Type* const name;

#define CORVANE_DECLARE_LEVEL_KERNELS(Name, name) \
  namespace corvane::scoring::name {              \
  CORVANE_KERNEL_FAMILIES(CORVANE_DECLARE_KERNEL) \
  }
CORVANE_ISA_LEVELS(CORVANE_DECLARE_LEVEL_KERNELS)
#undef CORVANE_DECLARE_LEVEL_KERNELS
#undef CORVANE_DECLARE_KERNEL
