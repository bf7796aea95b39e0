// The kernels of every instruction set level, declared once for all.
//
// Contract: for each level of scoring/arch/isa_levels.h, the namespace
// named after it in lower case (`portable`, `sse2`, `avx2`, ...) declares
// one constant pointer per kernel family of `CORVANE_KERNEL_FAMILIES`
// (`kLowerAsciiRun`, ...), of the family's type (scoring/arch/kernel_types.h). A level's file
// defines those it has (scoring/arch/<architecture>/<level>.cc and transcode_<level>.cc) and the
// kernel table (scoring/arch/kernel_table.cc) names them; one it lacks stays undeclared in effect,
// and naming it is a link error. A pointer to a kernel of a level beyond the baseline may be called
// only where the CPU has that level.
#pragma once

#include "scoring/arch/isa_levels.h"
#include "scoring/arch/kernel_types.h"

// X(kName, FunctionType): every kernel family, by the constant that holds a
// level's kernel of it.
#define CORVANE_KERNEL_FAMILIES(X)                   \
  X(kLowerAsciiRun, LowerAsciiRun)                   \
  X(kLowerTwoByteRun, LowerSequenceRun)              \
  X(kLowerLongRun, LowerSequenceRun)                 \
  X(kEncodeUnits16, EncodeUnits16)                   \
  X(kEncodeUnits32, EncodeUnits32)                   \
  X(kLowerLatin1Units, LowerLatin1Units)             \
  X(kHoldsSurrogate16, HoldsSurrogate16)             \
  X(kHoldsSurrogate32, HoldsSurrogate32)             \
  X(kPrefilteredSearch, PrefilteredSearch)           \
  X(kShortInputHits, ShortInputHits)                 \
  X(kShortInputPreparedHits, ShortInputPreparedHits) \
  X(kShortUnitsHits, ShortUnitsHits)                 \
  X(kFindUnitPair, FindUnitPair)                     \
  X(kKeepLowBytes, KeepLowBytes)                     \
  X(kKeepShortLowBytes, KeepShortLowBytes)           \
  X(kShortPairStarts, ShortPairStarts)

// A declaration takes no parentheses around its name.
// NOLINTNEXTLINE(bugprone-macro-parentheses)
#define CORVANE_DECLARE_KERNEL(kName, Type) extern Type* const kName;

#define CORVANE_DECLARE_LEVEL_KERNELS(Name, name) \
  namespace corvane::scoring::name {              \
  CORVANE_KERNEL_FAMILIES(CORVANE_DECLARE_KERNEL) \
  }
CORVANE_ISA_LEVELS(CORVANE_DECLARE_LEVEL_KERNELS)
#undef CORVANE_DECLARE_LEVEL_KERNELS
#undef CORVANE_DECLARE_KERNEL
