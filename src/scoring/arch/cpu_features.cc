#include "scoring/arch/cpu_features.h"

#include <cstddef>
#include <string_view>

namespace corvane::scoring {
namespace {

#if defined(__x86_64__)
// Every feature a level's target string may name, and PREFETCHW. The compiler's checks
// include the operating system's support for the wider registers
// (XGETBV), not only the CPU's feature bits; they take a literal, hence the
// list.
#define CORVANE_X86_64_FEATURES(X) \
  X("sse2")                        \
  X("ssse3")                       \
  X("popcnt")                      \
  X("avx2")                        \
  X("bmi")                         \
  X("bmi2")                        \
  X("avx512f")                     \
  X("avx512bw")                    \
  X("avx512vbmi")                  \
  X("avx512vbmi2")                 \
  X("prfchw")

bool cpu_has_feature(std::string_view feature) noexcept {
#define CORVANE_CHECK_FEATURE(name) \
  if (feature == (name)) return __builtin_cpu_supports(name) != 0;
  CORVANE_X86_64_FEATURES(CORVANE_CHECK_FEATURE)
#undef CORVANE_CHECK_FEATURE
  // A feature the list lacks is taken as absent: the level it belongs to is
  // never chosen, which is safe, and the tests of every level show it.
  return false;
}
#else
bool cpu_has_feature(std::string_view) noexcept { return true; }
#endif

bool cpu_has_all(std::string_view features) noexcept {
  while (!features.empty()) {
    const std::size_t comma = features.find(',');
    if (!cpu_has_feature(features.substr(0, comma))) return false;
    if (comma == std::string_view::npos) break;
    features.remove_prefix(comma + 1);
  }
  return true;
}

CpuFeatures read_cpu_features() noexcept {
#if defined(__x86_64__)
  __builtin_cpu_init();
#endif
  Isa best = Isa::Portable;
  for (std::size_t level = 1; level < kIsaLevelCount; ++level) {
    const auto isa = static_cast<Isa>(level);
    if (!cpu_has_all(isa_target(isa))) break;
    best = isa;
  }
#if defined(__x86_64__)
  const bool halves_512 = __builtin_cpu_is("znver4") != 0;
#else
  const bool halves_512 = false;
#endif
  return {best, cpu_has_feature("prfchw"), halves_512};
}

}  // namespace

const CpuFeatures& cpu_features() noexcept {
  static const CpuFeatures detected = read_cpu_features();
  return detected;
}

}  // namespace corvane::scoring
