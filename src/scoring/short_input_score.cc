#include "short_input_score.h"

#if defined(__x86_64__)

namespace corvane::scoring {
namespace {

using ShortInputHits = std::optional<ShortWordHits> (*)(std::string_view, std::string_view) noexcept;

ShortInputHits pick_short_input_hits() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2") ? short_input_hits_avx2
                                                                          : short_input_hits_sse2;
}

}  // namespace

std::optional<ShortWordHits> short_input_hits(std::string_view text,
                                              std::string_view query) noexcept {
  static const ShortInputHits chosen = pick_short_input_hits();
  return chosen(text, query);
}

}  // namespace corvane::scoring

#endif  // defined(__x86_64__)
