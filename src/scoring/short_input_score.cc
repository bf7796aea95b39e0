#include "scoring/short_input_score.h"

#if defined(__x86_64__)

#include "scoring/arch/cpu_features.h"
#include "scoring/arch/x86_64/entry_points.h"

namespace corvane::scoring {

std::optional<ShortWordHits> short_input_hits(std::string_view text,
                                              std::string_view query) noexcept {
  using ShortInputHits =
      std::optional<ShortWordHits> (*)(std::string_view, std::string_view) noexcept;
  static const ShortInputHits chosen =
      cpu_features().avx2 ? short_input_hits_avx2 : short_input_hits_sse2;
  return chosen(text, query);
}

}  // namespace corvane::scoring

#elif defined(__aarch64__)

#include "scoring/arch/aarch64/entry_points.h"

namespace corvane::scoring {

// NEON is the baseline: nothing to choose.
std::optional<ShortWordHits> short_input_hits(std::string_view text,
                                              std::string_view query) noexcept {
  return short_input_hits_neon(text, query);
}

}  // namespace corvane::scoring

#endif
