#include "scoring/short_input_score.h"

#include "scoring/arch/kernel_table.h"
#include "scoring/lowercase/to_lower_full.h"

namespace corvane::scoring {

std::optional<ShortWordHits> short_input_hits(std::string_view text,
                                              std::string_view query) noexcept {
  ShortInputHits* const hits = kernels().short_input_hits;
  if (hits == nullptr) return std::nullopt;
  return hits(text, query, to_lower_full_into);
}

}  // namespace corvane::scoring
