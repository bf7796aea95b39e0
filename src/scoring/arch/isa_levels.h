// The instruction set levels that the vector code is built for, lowest
// first: each level's code may use everything of the levels below it.
//
// Contract: `CORVANE_ISA_LEVELS(X)` expands `X(Name, name)` once per level
// of the build's architecture, in order: `portable` (the project's code
// without vector instructions of its own; the compiler may still vectorise
// it for the build's baseline) first. `CORVANE_ISA_TARGET_<Name>` is the
// target string that the level's code is compiled for
// (scoring/arch/target_region.h), and it is also the level's CPU check: a
// CPU has the level when it has every feature the string names
// (scoring/arch/cpu_features.h). `Isa` enumerates the levels in the same
// order, `kIsaLevelCount` counts them and `isa_name` gives a level's name
// (`name`, which also names the namespace of its kernels).
// A new level is one line in the list and one target string here, and one
// row in scoring/arch/kernel_table.cc.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

#if defined(__x86_64__)
#define CORVANE_ISA_LEVELS(X) \
  X(Portable, portable)       \
  X(Sse2, sse2)               \
  X(Ssse3, ssse3)             \
  X(Avx2, avx2)               \
  X(Avx512Bw, avx512bw)       \
  X(Avx512Vbmi2, avx512vbmi2)
// Each level's string repeats the levels below it, so that a region compiled
// for it and the check made for it ask for the same features.
#define CORVANE_ISA_TARGET_Portable ""
#define CORVANE_ISA_TARGET_Sse2 "sse2"
#define CORVANE_ISA_TARGET_Ssse3 "sse2,ssse3"
#define CORVANE_ISA_TARGET_Avx2 "sse2,ssse3,avx2,bmi,bmi2"
#define CORVANE_ISA_TARGET_Avx512Bw "sse2,ssse3,avx2,bmi,bmi2,avx512f,avx512bw"
#define CORVANE_ISA_TARGET_Avx512Vbmi2 \
  "sse2,ssse3,avx2,bmi,bmi2,avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt"
#elif defined(__aarch64__)
// NEON is part of every AArch64 CPU: its level needs no check.
#define CORVANE_ISA_LEVELS(X) \
  X(Portable, portable)       \
  X(Neon, neon)
#define CORVANE_ISA_TARGET_Portable ""
#define CORVANE_ISA_TARGET_Neon ""
#else
#define CORVANE_ISA_LEVELS(X) X(Portable, portable)
#define CORVANE_ISA_TARGET_Portable ""
#endif

namespace corvane::scoring {

#define CORVANE_ISA_ENUMERATOR(Name, name) Name,
enum class Isa : unsigned char { CORVANE_ISA_LEVELS(CORVANE_ISA_ENUMERATOR) };
#undef CORVANE_ISA_ENUMERATOR

#define CORVANE_ISA_NAME(Name, name) #name,
inline constexpr std::string_view kIsaNames[] = {CORVANE_ISA_LEVELS(CORVANE_ISA_NAME)};
#undef CORVANE_ISA_NAME

#define CORVANE_ISA_TARGET(Name, name) CORVANE_ISA_TARGET_##Name,
inline constexpr std::string_view kIsaTargets[] = {CORVANE_ISA_LEVELS(CORVANE_ISA_TARGET)};
#undef CORVANE_ISA_TARGET

inline constexpr std::size_t kIsaLevelCount = std::size(kIsaNames);

constexpr std::string_view isa_name(Isa isa) noexcept {
  return kIsaNames[static_cast<std::size_t>(isa)];
}

constexpr std::string_view isa_target(Isa isa) noexcept {
  return kIsaTargets[static_cast<std::size_t>(isa)];
}

}  // namespace corvane::scoring
